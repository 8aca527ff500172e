#pragma once
// What a wheel pays beyond its headline guarantee: for every way the drawn
// numbers can fall among the chosen ones, the best ticket's hits and how many
// tickets reach each prize level; and, with the lottery's numbers, the chance
// per draw of each prize level. Exact integer counts over every subset of the
// chosen positions (no sampling). Pure functions; callable from any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// How a key wheel's key (position 1) is taken: as drawn (its guarantee), as
// not drawn, or like any other position (abbreviated wheels).
enum class KeyCount { anyPosition, drawn, notDrawn };

struct WinTable {
  int v = 0, k = 0;
  KeyCount key = KeyCount::anyPosition;
  // Indexed [h][j], h = how many drawn numbers lie among the chosen ones
  // (the key included when it counts as drawn), j = hits, both 0..k.
  std::vector<std::vector<uint64_t>> ways;          // the sets of h with a best ticket of exactly j hits
  std::vector<std::vector<uint64_t>> fewestTickets; // the fewest tickets with at least j hits over those sets
  std::vector<std::vector<uint64_t>> ticketSum;     // the sum over those sets of the tickets with at least j
  std::vector<uint64_t> sets;                       // how many sets of h there are
  // The least best-ticket hits for h (what is guaranteed), -1 when no set of h exists.
  int guaranteed(int h) const;
  double averageTickets(int h, int j) const {
    return sets[static_cast<size_t>(h)] ? static_cast<double>(ticketSum[static_cast<size_t>(h)][static_cast<size_t>(j)]) /
                                              static_cast<double>(sets[static_cast<size_t>(h)])
                                        : 0.0;
  }
};

struct WinTableOptions {
  // Called now and then with the share done, 0..1.
  std::function<void(double)> progress;
  // Set from another thread to stop; the result is then empty (v = 0).
  const std::atomic<bool>* cancel = nullptr;
};

// The win table of `tickets` (bit masks over positions 0..v-1, k each).
// REQUIRES: 1 <= k <= v <= 64; every ticket has k positions below v; for
// KeyCount::drawn or notDrawn, v >= 1 and position 0 is the key.
WinTable computeWinTable(int v, int k, const std::vector<uint64_t>& tickets, KeyCount key,
                         const WinTableOptions& options = {});

// The chance that exactly h of the k numbers drawn from `from` lie among the
// v chosen (hypergeometric). With a key counted as drawn, h counts the key
// and the other k - 1 drawn numbers come from from - 1 (v - 1 of them chosen).
double chanceOfAmongChosen(int from, int k, int v, int h, KeyCount key);

// The chance per draw that some ticket of the wheel holds at least j drawn
// numbers: the sum over h of the chance of h times the share of the sets of h
// whose best ticket reaches j.
double chanceOfPrize(const WinTable& table, int from, int j);

// The same for n tickets chosen at random from all tickets of k numbers from
// `from`, each independently.
double chanceOfPrizeRandom(int from, int k, uint64_t n, int j);
