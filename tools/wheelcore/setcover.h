#pragma once
// A small set-cover solver for wheel searches whose candidate tickets can be
// listed: every orbit of k-sets under a group, each with the orbits of draws
// it meets. Weighted local search: each step swaps one set of the cover for
// one holding an uncovered element, and when that leaves as much uncovered
// as before, the uncovered elements grow heavier, so the search is pushed out
// of the covers it keeps falling back to, which plain annealing on the same
// problem does not escape.
// Deterministic for its seed and step budget. Not thread-safe per instance.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SetCoverInstance {
  uint32_t elementCount = 0;
  // Set s covers elements[first[s] .. first[s + 1]), no element twice.
  std::vector<uint64_t> first{0};
  std::vector<uint32_t> elements;
  // What each set costs (the tickets of an orbit); the search keeps the
  // total below the cheapest cover found.
  std::vector<uint32_t> cost;
  size_t setCount() const { return first.size() - 1; }
  void addSet(std::vector<uint32_t> members, uint32_t setCost = 1);  // sorts and removes repeats
};

struct SetCoverOptions {
  uint64_t seed = 1;
  double seconds = 10;  // processor time
  uint64_t steps = 0;   // when non-zero, the budget instead of seconds
  std::vector<uint32_t> start;  // sets to start from (a cover held), completed greedily
  std::function<void(const std::string&)> progress;
};

// Searches for ever cheaper covers from a greedy one, or from options.start.
// record(cover) is called with each cover as cheap as the cheapest so far (a
// few hundred times at most for one cost) and ends the search by returning
// true. Returns the number of steps made; 0 when some element is in no set.
uint64_t searchSetCover(const SetCoverInstance& instance, const SetCoverOptions& options,
                        const std::function<bool(const std::vector<uint32_t>&)>& record);
