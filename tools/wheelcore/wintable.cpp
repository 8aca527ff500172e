#include "wheelcore/wintable.h"

#include <algorithm>
#include <bit>

#include "wheelcore/wheel.h"

int WinTable::guaranteed(int h) const {
  const auto& row = ways[static_cast<size_t>(h)];
  for (int j = 0; j <= k; ++j)
    if (row[static_cast<size_t>(j)]) return j;
  return -1;
}

WinTable computeWinTable(int v, int k, const std::vector<uint64_t>& tickets, KeyCount key,
                         const WinTableOptions& options) {
  WinTable table;
  table.v = v, table.k = k, table.key = key;
  const size_t size = static_cast<size_t>(k) + 1;
  table.ways.assign(size, std::vector<uint64_t>(size, 0));
  table.ticketSum.assign(size, std::vector<uint64_t>(size, 0));
  table.fewestTickets.assign(size, std::vector<uint64_t>(size, 0));
  table.sets.assign(size, 0);

  // The positions a set may take freely; the key is added or left out.
  std::vector<int> free;
  for (int p = (key == KeyCount::anyPosition ? 0 : 1); p < v; ++p) free.push_back(p);
  const uint64_t fixed = key == KeyCount::drawn ? 1 : 0;
  const int fixedCount = key == KeyCount::drawn ? 1 : 0;
  const int n = static_cast<int>(free.size());

  uint64_t total = 0, done = 0;
  for (int h = fixedCount; h <= k; ++h) total += binomial(n, h - fixedCount);
  std::vector<uint64_t> atLeast(size);
  std::vector<bool> seen(size, false);
  for (int h = fixedCount; h <= k; ++h) {
    const int r = h - fixedCount;
    if (r > n) break;
    int index[64];
    for (int i = 0; i < r; ++i) index[i] = i;
    auto& ways = table.ways[static_cast<size_t>(h)];
    auto& sums = table.ticketSum[static_cast<size_t>(h)];
    auto& fewest = table.fewestTickets[static_cast<size_t>(h)];
    bool first = true;
    while (true) {
      uint64_t drawn = fixed;
      for (int i = 0; i < r; ++i) drawn |= uint64_t{1} << free[static_cast<size_t>(index[i])];
      std::fill(atLeast.begin(), atLeast.end(), 0);
      for (uint64_t ticket : tickets) ++atLeast[static_cast<size_t>(std::popcount(ticket & drawn))];
      // From "exactly j" to "at least j".
      for (int j = k - 1; j >= 0; --j) atLeast[static_cast<size_t>(j)] += atLeast[static_cast<size_t>(j) + 1];
      int best = 0;
      for (int j = k; j >= 0; --j)
        if (atLeast[static_cast<size_t>(j)]) {
          best = j;
          break;
        }
      ++ways[static_cast<size_t>(best)];
      for (size_t j = 0; j < size; ++j) {
        sums[j] += atLeast[j];
        fewest[j] = first ? atLeast[j] : std::min(fewest[j], atLeast[j]);
      }
      first = false;
      ++table.sets[static_cast<size_t>(h)];
      if ((++done & 4095) == 0) {
        if (options.cancel && options.cancel->load(std::memory_order_relaxed)) return WinTable{};
        if (options.progress) options.progress(static_cast<double>(done) / static_cast<double>(total));
      }
      int i = r - 1;
      while (i >= 0 && index[i] == n - r + i) --i;
      if (i < 0) break;
      ++index[i];
      for (int j = i + 1; j < r; ++j) index[j] = index[j - 1] + 1;
    }
  }
  if (options.progress) options.progress(1.0);
  return table;
}

namespace {

double ratio(uint64_t numerator, uint64_t denominator) {
  return denominator ? static_cast<double>(numerator) / static_cast<double>(denominator) : 0.0;
}

double choose(int n, int r) { return n < 0 || r < 0 || r > n ? 0.0 : static_cast<double>(binomial(n, r)); }

}  // namespace

double chanceOfAmongChosen(int from, int k, int v, int h, KeyCount key) {
  switch (key) {
    case KeyCount::anyPosition:
      return choose(v, h) * choose(from - v, k - h) / choose(from, k);
    case KeyCount::drawn:
      return choose(v - 1, h - 1) * choose(from - v, k - h) / choose(from - 1, k - 1);
    case KeyCount::notDrawn:
      return choose(v - 1, h) * choose(from - v, k - h) / choose(from - 1, k);
  }
  return 0.0;
}

double chanceOfPrize(const WinTable& table, int from, int j) {
  double chance = 0;
  for (int h = 0; h <= table.k; ++h) {
    const auto& ways = table.ways[static_cast<size_t>(h)];
    uint64_t reaching = 0;
    for (int i = j; i <= table.k; ++i) reaching += ways[static_cast<size_t>(i)];
    chance += chanceOfAmongChosen(from, table.k, table.v, h, table.key) * ratio(reaching, table.sets[static_cast<size_t>(h)]);
  }
  return chance;
}

double chanceOfPrizeRandom(int from, int k, uint64_t n, int j) {
  double single = 0;
  for (int i = j; i <= k; ++i) single += choose(k, i) * choose(from - k, k - i) / choose(from, k);
  double none = 1;
  for (uint64_t t = 0; t < n; ++t) none *= 1 - single;
  return 1 - none;
}
