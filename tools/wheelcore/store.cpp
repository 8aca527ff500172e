#include "wheelcore/store.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

std::vector<WheelSpec> catalogueSpecs() {
  std::vector<WheelSpec> specs;
  for (int pick = 5; pick <= 7; ++pick)
    for (WheelType type : {WheelType::abbreviated, WheelType::key})
      for (int v = pick + 1; v <= 30; ++v)
        for (int t = 2; t <= pick; ++t)
          for (int m = t; m <= pick; ++m) specs.push_back({pick, type, t, m, v});
  return specs;
}

bool parseBlockList(const std::string& text, const WheelSpec& spec, std::vector<Ticket>& tickets,
                    std::string& credit, std::string& error) {
  tickets.clear();
  credit.clear();
  const bool key = spec.type == WheelType::key;
  int number = 0;
  for (const std::string& line : textLines(text)) {
    ++number;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    if (line[first] == '#') {
      if (credit.empty()) {
        credit = line.substr(first + 1);
        credit.erase(0, credit.find_first_not_of(" \t"));
      }
      continue;
    }
    auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    };
    Ticket ticket;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      if (word.size() > 3 || word.find_first_not_of("0123456789") != std::string::npos)
        return fail("\"" + word + "\" is not a position");
      ticket.push_back(std::stoi(word));
    }
    std::sort(ticket.begin(), ticket.end());
    if (std::adjacent_find(ticket.begin(), ticket.end()) != ticket.end()) return fail("a position appears twice");
    if (key && static_cast<int>(ticket.size()) == spec.pick - 1) {
      // The blocks of the other positions: the key joins every ticket.
      for (int& position : ticket) ++position;
      ticket.insert(ticket.begin(), 1);
    }
    if (static_cast<int>(ticket.size()) != spec.pick)
      return fail(std::to_string(ticket.size()) + " numbers, not " + std::to_string(spec.pick));
    if (ticket.front() < 1 || ticket.back() > spec.v)
      return fail("a position outside 1.." + std::to_string(spec.v));
    tickets.push_back(std::move(ticket));
  }
  if (tickets.empty()) {
    error = "no tickets";
    return false;
  }
  return true;
}

bool storeDesignWheel(const std::string& folder, const Design& design, const std::vector<uint64_t>& tickets,
                      const std::string& method, const std::string& seed, const std::string& budget,
                      StoreOutcome& outcome, std::string& error) {
  outcome = StoreOutcome{};
  if (tickets.size() > kMaxCatalogueTickets) return true;
  for (const WheelSpec& spec : catalogueSpecs()) {
    if (spec.type == WheelType::key && spec.t < 2) continue;
    if (!(designOf(spec) == design)) continue;
    const std::string name = wheelFileName(spec);
    const std::string path = (fs::path(folder) / name).string();
    std::error_code ec;
    if (fs::exists(path, ec)) {
      WheelFile held;
      if (!readWheelFile(path, held, error)) return false;
      const size_t size = held.tickets.size();
      if (outcome.smallestBefore == 0 || size < outcome.smallestBefore) outcome.smallestBefore = size;
      if (size <= tickets.size()) continue;
    }
    WheelFile wheel;
    wheel.spec = spec;
    wheel.tickets = wheelTickets(spec, tickets);
    wheel.method = method;
    wheel.seed = seed;
    wheel.budget = budget;
    const VerifyResult result = verifyWheel(spec, wheel.tickets);
    if (!result.holds) {
      error = describeSpec(spec) + ": " + result.message;
      return false;
    }
    if (!writeWheelFile(path, wheel, error)) return false;
    outcome.written.push_back(name);
  }
  return true;
}

ImportOutcome importWheel(const std::string& text, const WheelSpec* spec, const std::string& credit,
                          const std::string& folder) {
  ImportOutcome outcome;
  std::vector<Ticket> tickets;
  std::string method, seed, budget = "none", error;
  WheelFile wheel;
  if (parseWheelFile(text, wheel, error)) {
    if (spec && (wheel.spec.pick != spec->pick || wheel.spec.type != spec->type || wheel.spec.t != spec->t ||
                 wheel.spec.m != spec->m || wheel.spec.v != spec->v)) {
      outcome.message = "its header describes " + describeSpec(wheel.spec) + ", not " + describeSpec(*spec);
      return outcome;
    }
    outcome.spec = wheel.spec;
    tickets = wheel.tickets;
    method = wheel.method;
    seed = wheel.seed;
    if (!wheel.budget.empty()) budget = wheel.budget;
  } else {
    if (!spec) {
      outcome.message = "a block list needs the wheel's pick, type, formula and v";
      return outcome;
    }
    outcome.spec = *spec;
    std::string listCredit;
    if (!parseBlockList(text, *spec, tickets, listCredit, error)) {
      outcome.message = error;
      return outcome;
    }
    method = "import: " + (credit.empty() ? listCredit : credit);
  }
  outcome.tickets = tickets.size();
  const VerifyResult result = verifyWheel(outcome.spec, tickets);
  if (!result.holds) {
    outcome.verdict = ImportVerdict::fails;
    outcome.message = "refused, the list is not a wheel " + describeSpec(outcome.spec) + ": " + result.message;
    return outcome;
  }
  if (!storeDesignWheel(folder, designOf(outcome.spec), designTickets(outcome.spec, tickets), method, seed, budget,
                        outcome.stored, error)) {
    outcome.verdict = ImportVerdict::fails;
    outcome.message = error;
    return outcome;
  }
  if (outcome.stored.written.empty()) {
    outcome.verdict = ImportVerdict::notSmaller;
    outcome.message = "not written, " + std::to_string(tickets.size()) + " tickets are not fewer than the " +
                      std::to_string(outcome.stored.smallestBefore) + " the catalogue holds for " +
                      describeSpec(outcome.spec);
    return outcome;
  }
  outcome.verdict = ImportVerdict::written;
  return outcome;
}
