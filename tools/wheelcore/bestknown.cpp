#include "wheelcore/bestknown.h"

#include "wheelcore/wheelfile.h"

#include <fstream>
#include <sstream>
#include <vector>

bool parseBestKnown(const std::string& text, BestKnownTable& table, std::string& error) {
  table.clear();
  int number = 0;
  for (const std::string& line : textLines(text)) {
    ++number;
    if (line.empty() || line[0] == '#' || line.rfind("k\t", 0) == 0) continue;
    std::vector<std::string> cells;
    std::istringstream row(line);
    std::string cell;
    while (std::getline(row, cell, '\t')) cells.push_back(cell);
    int values[5];
    bool ok = cells.size() >= 6;
    for (int i = 0; ok && i < 5; ++i) {
      const std::string& word = cells[static_cast<size_t>(i)];
      ok = !word.empty() && word.size() <= 9 && word.find_first_not_of("0123456789") == std::string::npos;
      if (ok) values[i] = std::stoi(word);
    }
    if (!ok || values[0] < 1 || values[1] < 1 || values[1] > values[2] || values[4] < 1) {
      error = "line " + std::to_string(number) + ": expected k, t, m, v, size, kind, source separated by tabs";
      return false;
    }
    table[{values[0], values[1], values[2], values[3]}] =
        BestKnown{static_cast<uint64_t>(values[4]), cells[5] == "proven exact"};
  }
  if (table.empty()) {
    error = "no rows";
    return false;
  }
  return true;
}

bool readBestKnown(const std::string& path, BestKnownTable& table, std::string& error) {
  std::string text;
  if (!readTextFile(path, text)) {
    error = path + ": cannot be read";
    return false;
  }
  if (!parseBestKnown(text, table, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

std::optional<BestKnown> bestKnownFor(const BestKnownTable& table, const Design& design) {
  const auto found = table.find({design.k, design.t, design.m, design.v});
  if (found == table.end()) return std::nullopt;
  return found->second;
}
