#include "wheelcore/winreport.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <sstream>

std::string wheelReportProblem(int from, int v, int k, const std::vector<uint64_t>& tickets, bool keyWheel) {
  if (k < 1 || k > v || v > 64 || v > from || k >= from)
    return "a wheel of " + std::to_string(v) + " numbers with tickets of " + std::to_string(k) +
           " cannot be counted for a lottery of " + std::to_string(k) + " from " + std::to_string(from) +
           " (at most 64 chosen numbers)";
  if (tickets.empty()) return "the wheel has no tickets";
  for (size_t i = 0; i < tickets.size(); ++i) {
    const uint64_t outside = v == 64 ? 0 : tickets[i] >> v;
    if (std::popcount(tickets[i]) != k || outside != 0)
      return "ticket " + std::to_string(i + 1) + " does not hold " + std::to_string(k) + " of the chosen numbers";
    if (keyWheel && !(tickets[i] & 1)) return "ticket " + std::to_string(i + 1) + " does not hold the key";
  }
  return {};
}

std::optional<WheelReport> computeWheelReport(int from, int v, int k, const std::vector<uint64_t>& tickets,
                                              bool keyWheel, const WinTableOptions& options) {
  WheelReport report;
  report.from = from, report.v = v, report.k = k, report.keyWheel = keyWheel, report.tickets = tickets.size();
  const std::vector<KeyCount> counts =
      keyWheel ? std::vector<KeyCount>{KeyCount::drawn, KeyCount::notDrawn} : std::vector<KeyCount>{KeyCount::anyPosition};
  for (size_t i = 0; i < counts.size(); ++i) {
    WinTableOptions part = options;
    if (options.progress) {
      const double share = 1.0 / static_cast<double>(counts.size()), start = static_cast<double>(i) * share;
      part.progress = [&, share, start](double done) { options.progress(start + done * share); };
    }
    WinTable table = computeWinTable(v, k, tickets, counts[i], part);
    if (table.v == 0) return std::nullopt;
    report.tables.push_back(std::move(table));
  }
  // A key wheel's chances: the key is drawn in k of every `from` draws.
  const double keyDrawn = static_cast<double>(k) / static_cast<double>(from);
  for (int j = 0; j <= k; ++j) {
    report.wheelChance.push_back(keyWheel ? keyDrawn * chanceOfPrize(report.tables[0], from, j) +
                                                (1 - keyDrawn) * chanceOfPrize(report.tables[1], from, j)
                                          : chanceOfPrize(report.tables[0], from, j));
    report.randomChance.push_back(chanceOfPrizeRandom(from, k, report.tickets, j));
  }
  return report;
}

std::string oddsText(double chance) {
  if (chance <= 0) return "never";
  const double n = 1 / chance;
  char text[64];
  if (n < 10)
    std::snprintf(text, sizeof text, "1 in %.1f", n);
  else
    std::snprintf(text, sizeof text, "1 in %.0f", std::round(n));
  return text;
}

namespace {

const char* keyName(KeyCount key) { return key == KeyCount::drawn ? "drawn" : "not_drawn"; }

std::string number(double value, const char* format) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string reportText(const WheelReport& r) {
  std::ostringstream out;
  out << r.tickets << " tickets of " << r.k << " over " << r.v << " chosen numbers, a lottery of " << r.k
      << " from " << r.from << (r.keyWheel ? ", key wheel" : "") << "\n";
  for (const WinTable& t : r.tables) {
    out << "\n";
    if (r.keyWheel)
      out << (t.key == KeyCount::drawn ? "With the key drawn (h counts it):\n" : "With the key not drawn:\n");
    out << "drawn among chosen | sets | best ticket holds exactly j: ";
    for (int j = 0; j <= r.k; ++j) out << (j ? " " : "") << "j=" << j;
    out << " | guaranteed\n";
    for (int h = 0; h <= r.k; ++h) {
      if (t.sets[h] == 0) continue;
      out << "h=" << h << " | " << t.sets[h] << " |";
      for (int j = 0; j <= r.k; ++j) out << " " << t.ways[h][j];
      out << " | " << t.guaranteed(h) << "\n";
    }
    out << "tickets with at least j hits, worst / average:\n";
    for (int h = 0; h <= r.k; ++h) {
      if (t.sets[h] == 0) continue;
      out << "h=" << h << " |";
      for (int j = 1; j <= r.k; ++j)
        out << " j=" << j << ": " << t.fewestTickets[h][j] << " / " << number(t.averageTickets(h, j), "%.2f");
      out << "\n";
    }
  }
  out << "\nchance per draw of at least j hits on one ticket: this wheel | " << r.tickets << " random tickets\n";
  for (int j = 1; j <= r.k; ++j)
    out << "j=" << j << " | " << oddsText(r.wheelChance[j]) << " | " << oddsText(r.randomChance[j]) << "\n";
  return out.str();
}

std::string reportTsv(const WheelReport& r) {
  std::ostringstream out;
  const std::string key = r.keyWheel ? "key\t" : "";
  out << key << "drawn_among_chosen\tbest_hits\tways\n";
  for (const WinTable& t : r.tables)
    for (int h = 0; h <= r.k; ++h)
      for (int j = 0; j <= r.k && t.sets[h]; ++j)
        out << (r.keyWheel ? std::string(keyName(t.key)) + "\t" : "") << h << "\t" << j << "\t" << t.ways[h][j] << "\n";
  out << key << "drawn_among_chosen\thits\ttickets_worst\ttickets_average\n";
  for (const WinTable& t : r.tables)
    for (int h = 0; h <= r.k; ++h)
      for (int j = 0; j <= r.k && t.sets[h]; ++j)
        out << (r.keyWheel ? std::string(keyName(t.key)) + "\t" : "") << h << "\t" << j << "\t"
            << t.fewestTickets[h][j] << "\t" << number(t.averageTickets(h, j), "%.6f") << "\n";
  out << "prize_hits\twheel_chance\trandom_chance\n";
  for (int j = 0; j <= r.k; ++j)
    out << j << "\t" << number(r.wheelChance[j], "%.10g") << "\t" << number(r.randomChance[j], "%.10g") << "\n";
  return out.str();
}
