#include "wheelcore/wheelfile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

bool parsePattern(const std::string& text, Ticket& ticket, std::string& error) {
  ticket.clear();
  if (text.empty()) {
    error = "empty pattern";
    return false;
  }
  size_t start = 0;
  while (true) {
    const size_t dash = text.find('-', start);
    const std::string token = text.substr(start, dash == std::string::npos ? std::string::npos : dash - start);
    if (token.empty()) {
      error = "empty position in pattern \"" + text + "\"";
      return false;
    }
    if (token.size() > 2 || !std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      error = "\"" + token + "\" is not a position of one or two digits in pattern \"" + text + "\"";
      return false;
    }
    ticket.push_back(std::stoi(token));
    if (dash == std::string::npos) break;
    start = dash + 1;
  }
  return true;
}

std::string formatPattern(const Ticket& ticket) {
  std::string text;
  for (size_t i = 0; i < ticket.size(); ++i) {
    if (i) text += '-';
    if (ticket[i] < 10) text += '0';
    text += std::to_string(ticket[i]);
  }
  return text;
}

namespace {

bool parseInteger(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  value = std::stoi(text);
  return true;
}

std::string trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

bool parseWheelFile(const std::string& text, WheelFile& wheel, std::string& error) {
  wheel = WheelFile{};
  std::map<std::string, std::string> header;
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  bool ticketsStarted = false;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(lineNumber) + ": " + why;
    return false;
  };
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return fail("empty line");
    if (line[0] == '#') {
      if (ticketsStarted) return fail("header line after the first ticket");
      const std::string body = line.substr(1);
      const auto colon = body.find(':');
      if (colon == std::string::npos) return fail("header line without \"name: value\"");
      const std::string name = trimmed(body.substr(0, colon));
      const std::string value = trimmed(body.substr(colon + 1));
      if (name.empty()) return fail("header line without a name");
      if (header.count(name)) return fail("header \"" + name + "\" given twice");
      header[name] = value;
      continue;
    }
    ticketsStarted = true;
    Ticket ticket;
    std::string why;
    if (!parsePattern(line, ticket, why)) return fail(why);
    wheel.tickets.push_back(std::move(ticket));
  }
  lineNumber = 0;
  for (const char* required : {"pick", "type", "formula", "v", "tickets"})
    if (!header.count(required)) return fail(std::string("header \"") + required + "\" is missing");
  WheelSpec& spec = wheel.spec;
  if (!parseInteger(header["pick"], spec.pick)) return fail("pick \"" + header["pick"] + "\" is not a number");
  if (!parseInteger(header["v"], spec.v)) return fail("v \"" + header["v"] + "\" is not a number");
  if (header["type"] == "a") spec.type = WheelType::abbreviated;
  else if (header["type"] == "k") spec.type = WheelType::key;
  else return fail("type \"" + header["type"] + "\" is neither a nor k");
  if (!parseFormula(header["formula"], spec.t, spec.m))
    return fail("formula \"" + header["formula"] + "\" is not of the form <t>if<m>");
  int count = 0;
  if (!parseInteger(header["tickets"], count)) return fail("tickets \"" + header["tickets"] + "\" is not a number");
  if (count != static_cast<int>(wheel.tickets.size()))
    return fail("the header says " + std::to_string(count) + " tickets but the file holds " +
                std::to_string(wheel.tickets.size()));
  const std::string problem = checkSpec(spec);
  if (!problem.empty()) return fail(describeSpec(spec) + ": " + problem);
  wheel.method = header.count("method") ? header["method"] : "";
  wheel.seed = header.count("seed") ? header["seed"] : "";
  wheel.budget = header.count("budget") ? header["budget"] : "";
  return true;
}

std::string formatWheelFile(const WheelFile& wheel) {
  std::string text;
  text += "# pick: " + std::to_string(wheel.spec.pick) + "\n";
  text += std::string("# type: ") + wheelTypeLetter(wheel.spec.type) + "\n";
  text += "# formula: " + formulaText(wheel.spec.t, wheel.spec.m) + "\n";
  text += "# v: " + std::to_string(wheel.spec.v) + "\n";
  text += "# tickets: " + std::to_string(wheel.tickets.size()) + "\n";
  if (!wheel.method.empty()) text += "# method: " + wheel.method + "\n";
  if (!wheel.seed.empty()) text += "# seed: " + wheel.seed + "\n";
  if (!wheel.budget.empty()) text += "# budget: " + wheel.budget + "\n";
  for (const Ticket& ticket : wheel.tickets) text += formatPattern(ticket) + "\n";
  return text;
}

std::string wheelFileName(const WheelSpec& spec) {
  return "pick" + std::to_string(spec.pick) + "/" + wheelTypeLetter(spec.type) + "/" +
         formulaText(spec.t, spec.m) + "-of-" + std::to_string(spec.v) + ".txt";
}

std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

bool readTextFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

bool readWheelFile(const std::string& path, WheelFile& wheel, std::string& error) {
  std::string text;
  if (!readTextFile(path, text)) {
    error = path + ": cannot be opened";
    return false;
  }
  if (!parseWheelFile(text, wheel, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

namespace {

// A bare file name has no folder to make.
bool makeParentFolder(const std::string& path, std::string& error) {
  const fs::path parent = fs::path(path).parent_path();
  if (parent.empty()) return true;
  std::error_code ec;
  fs::create_directories(parent, ec);
  if (ec) {
    error = path + ": cannot create its folder: " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

bool checkWritable(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "the output file name is empty";
    return false;
  }
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = path + ": is a folder, not a file";
    return false;
  }
  if (!makeParentFolder(path, error)) return false;
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = path + ": cannot be written: " + std::strerror(errno);
      return false;
    }
  }
  fs::remove(temporary, ec);
  return true;
}

bool writeWheelFile(const std::string& path, const WheelFile& wheel, std::string& error) {
  if (!makeParentFolder(path, error)) return false;
  std::error_code ec;
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << formatWheelFile(wheel);
    out.flush();
    if (!out) {
      error = temporary + ": write failed";
      return false;
    }
  }
  fs::rename(temporary, path, ec);
  if (ec) {
    error = path + ": cannot replace: " + ec.message();
    return false;
  }
  return true;
}

bool readWheelFolder(const std::string& folder, std::vector<CatalogueEntry>& entries, std::string& error) {
  entries.clear();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    error = folder + ": not a folder";
    return false;
  }
  std::vector<std::string> paths;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file() && it->path().extension() == ".txt") paths.push_back(it->path().string());
  if (ec) {
    error = folder + ": " + ec.message();
    return false;
  }
  std::sort(paths.begin(), paths.end());
  for (const std::string& path : paths) {
    CatalogueEntry entry;
    entry.path = path;
    if (!readWheelFile(path, entry.wheel, error)) return false;
    const std::string expected = wheelFileName(entry.wheel.spec);
    const std::string relative = fs::path(path).lexically_relative(folder).generic_string();
    if (relative != expected) {
      error = path + ": its header describes " + describeSpec(entry.wheel.spec) + ", which belongs in " + expected;
      return false;
    }
    entries.push_back(std::move(entry));
  }
  std::stable_sort(entries.begin(), entries.end(), [](const CatalogueEntry& a, const CatalogueEntry& b) {
    const WheelSpec& x = a.wheel.spec;
    const WheelSpec& y = b.wheel.spec;
    return std::make_tuple(x.pick, static_cast<int>(x.type), x.v, a.wheel.tickets.size(), x.t, x.m) <
           std::make_tuple(y.pick, static_cast<int>(y.type), y.v, b.wheel.tickets.size(), y.t, y.m);
  });
  return true;
}
