#pragma once
// Internal to the wheel library: the coverage bookkeeping and the annealing
// loop shared by the plain search (search.cpp) and the group-invariant search
// (group.cpp).
//
// A state holds a list of "units", k-subsets of the v positions as bit masks.
// In the plain search a unit is a ticket and every m-subset has its own
// counter. In the group search a unit stands for its whole orbit under a
// permutation group and the m-subsets share one counter per orbit: an orbit of
// m-subsets is met by the orbit of a unit exactly when one of its members is
// met by the unit itself, so counting the members each unit meets is enough.
// Not thread-safe; one state per thread.

#include <bit>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "wheelcore/search.h"

namespace wheelsearch {

using Mask = uint64_t;
using Rng = std::mt19937_64;

inline Mask bit(int position) { return Mask{1} << position; }
inline Mask allPositions(int v) { return v == 64 ? ~Mask{0} : bit(v) - 1; }
std::vector<int> positionsOf(Mask mask);
int nthBit(Mask mask, int n);
uint64_t uniform(Rng& rng, uint64_t bound);
Rng makeRng(uint64_t seed, uint64_t stream);
double threadCpuSeconds();

// Calls f(mask) for every r-subset of items.
template <class F>
void forEachSubset(const std::vector<int>& items, int r, F&& f) {
  const int n = static_cast<int>(items.size());
  if (r < 0 || r > n) return;
  if (r == 0) {
    f(Mask{0});
    return;
  }
  int index[64];
  for (int i = 0; i < r; ++i) index[i] = i;
  while (true) {
    Mask mask = 0;
    for (int i = 0; i < r; ++i) mask |= bit(items[index[i]]);
    f(mask);
    int i = r - 1;
    while (i >= 0 && index[i] == n - r + i) --i;
    if (i < 0) return;
    ++index[i];
    for (int j = i + 1; j < r; ++j) index[j] = index[j - 1] + 1;
  }
}

// Colex ranks of the r-subsets of v positions. For larger r the rank is summed
// a byte of the mask at a time from a table made for (v, r): a byte's share
// depends only on its bits and on how many bits lie below it.
class SubsetRanker {
 public:
  SubsetRanker(int v, int r);
  uint64_t count() const { return count_; }
  uint64_t rank(Mask subset) const {
    uint64_t result = 0;
    if (r_ <= 4) {
      // A few bits: one step per bit is cheaper than a step per byte.
      for (int i = 1; subset; ++i) {
        result += c_[std::countr_zero(subset)][i];
        subset &= subset - 1;
      }
      return result;
    }
    int below = 0;
    for (int chunk = 0; chunk < chunks_; ++chunk) {
      const unsigned byte = static_cast<unsigned>(subset >> (8 * chunk)) & 255u;
      result += table_[(static_cast<size_t>(chunk) * (r_ + 1) + static_cast<size_t>(below)) * 256 + byte];
      below += std::popcount(byte);
      if (below > r_) break;
    }
    return result;
  }
  Mask unrank(uint64_t r) const;

 private:
  int v_, r_, chunks_;
  uint64_t count_;
  const uint64_t (*c_)[65];  // c_[n][r] = binomial(n, r), shared
  std::vector<uint64_t> table_;
};

// The orbits of the m-subsets under a group: every m-subset's orbit number,
// and the members of each orbit (ranks), grouped.
struct SubsetOrbits {
  std::vector<uint32_t> orbitOf;      // by rank
  std::vector<uint32_t> firstMember;  // by orbit, one extra at the end
  std::vector<uint32_t> members;      // ranks, orbit by orbit
  size_t orbitCount() const { return firstMember.empty() ? 0 : firstMember.size() - 1; }
};

// For a lotto design (t < m): the m-subsets around every t-subset. With it a
// state counts, per counter of m-subsets, how many t-subsets of the counter's
// m-subset lie in some unit, and a move touches only the counters around the
// t-subsets that it takes out of every unit or brings into the first one: a
// few increments from a table instead of ranking every m-subset the unit
// meets. In the group search a "core" is an orbit of t-subsets (held when one
// member lies in a unit) and a counter is an orbit of m-subsets, judged on its
// first member: the table lists, per core, the counters whose first member
// holds one of the core's t-subsets, once for each such t-subset.
class SupersetTable {
 public:
  explicit SupersetTable(const Design& design);
  SupersetTable(const Design& design, const SubsetOrbits& drawOrbits, const SubsetOrbits& coreOrbits);
  // Whether the plain table stays within its memory budget for this design.
  static bool fits(const Design& design);
  uint32_t coreOf(Mask subset) const {
    const uint64_t rank = ranker_.rank(subset);
    return coreOrbit_.empty() ? static_cast<uint32_t>(rank) : coreOrbit_[rank];
  }
  size_t coreCount() const { return first_.size() - 1; }
  const uint32_t* begin(uint32_t core) const { return counters_.data() + first_[core]; }
  const uint32_t* end(uint32_t core) const { return counters_.data() + first_[core + 1]; }

 private:
  SubsetRanker ranker_;
  std::vector<uint32_t> coreOrbit_;  // by rank of a t-subset; empty in the plain table
  std::vector<uint64_t> first_;      // by core, one extra at the end
  std::vector<uint32_t> counters_;
};

class CoverState {
 public:
  // `orbits` (may be null: one counter per m-subset) must outlive the state.
  // `supersets` (may be null: count the m-subsets each unit meets; made for
  // the same design and orbits) must too.
  CoverState(const Design& design, const SubsetOrbits* orbits, const SupersetTable* supersets = nullptr);

  // Adds a unit to the counts. With `keepList` false the uncovered list is
  // left stale (call rebuildUncovered after adding a batch).
  void addTicket(Mask ticket, bool keepList = true);
  void removeTicket(size_t index);
  void rebuildUncovered();

  // How many counters this unit alone keeps above zero (in the group search
  // an estimate: a unit may meet one orbit several times).
  uint64_t uniqueCount(size_t index) const;

  uint64_t cost() const { return uncovered_.size(); }
  const std::vector<Mask>& tickets() const { return tickets_; }

  // An m-subset that no unit meets (a random member of an unmet orbit).
  Mask randomUncovered(Rng& rng) const;

  // Replacing position x of unit `index` by y: the change of cost. The move is
  // remembered for apply().
  int64_t evaluate(size_t index, int x, int y);
  void apply();

  // The units that hold exactly `common` positions of `subset`, counted for
  // 64 units at a time with bit-sliced adders over the per-position sets.
  void ticketsMeeting(Mask subset, int common, std::vector<uint32_t>& out) const;

 private:
  uint32_t counterOf(uint64_t rank) const {
    return orbits_ ? orbits_->orbitOf[rank] : static_cast<uint32_t>(rank);
  }
  // The counters of the m-subsets that the pending move takes away from the
  // unit and brings to it, in pairs.
  template <class F>
  void forEachChange(F&& pair);
  template <class F>
  void forEachMetSubset(Mask ticket, F&& f) const;
  void markTicket(int position, size_t index, bool on);
  // The superset mode: a t-subset's units change from `before`; true when
  // it is held by no unit before or after, and its m-subsets change.
  // The same on the counts alone, for judging a change and undoing it:
  // how many counters are left with none, or had none.
  uint64_t takeCore(uint32_t core) const;
  uint64_t putCore(uint32_t core) const;
  void holdCore(uint32_t core, bool keepList);
  void releaseCore(uint32_t core);
  template <class F>
  void forEachCore(Mask ticket, F&& f) const;
  void list(uint32_t counter);
  void unlist(uint32_t counter);

  Design d_;
  SubsetRanker ranker_;
  const SubsetOrbits* orbits_;
  std::vector<uint32_t> count_;
  std::vector<int32_t> slot_;
  std::vector<uint32_t> uncovered_;
  std::vector<Mask> tickets_;
  // ticketsAt_[p]: bit i set when unit i holds position p.
  std::vector<std::vector<uint64_t>> ticketsAt_;
  size_t words_ = 0;
  std::vector<uint32_t> lose_, gain_, touched_;
  std::vector<Mask> outsideSets_;
  std::vector<int> inner_, outside_;
  // The superset mode: units holding each t-subset, and for each m-subset
  // the number of its t-subsets that some unit holds (at most C(7, 3)).
  const SupersetTable* supersets_ = nullptr;
  mutable std::vector<uint16_t> coreUnits_;  // changed and restored by uniqueCount
  mutable std::vector<uint8_t> heldCores_;  // changed and restored by uniqueCount
  std::vector<uint32_t> coresOut_, coresIn_;
  size_t pendingIndex_ = 0;
  int pendingX_ = 0, pendingY_ = 0;
};

// How many m-subsets one ticket meets in t positions or more.
uint64_t metPerTicket(const Design& design);

// Drops tickets that meet no m-subset alone, in random order; returns them sorted.
std::vector<Mask> pruneRedundant(const Design& design, std::vector<Mask> tickets, Rng& rng);

// Annealing over a fixed number of units: the cost is the number of unmet
// counters; a move replaces one position of one unit, aimed at an unmet
// m-subset; when the cost reaches 0, record(units) is told and the unit that
// matters least is dropped. Runs of exponential cooling end after ten
// temperatures without progress and restart from the best covering less one
// unit (three runs in four) or from random units. Returns when record()
// returns true or the budget is spent.
struct AnnealCounters {
  uint64_t moves = 0;
  double cpuSeconds = 0;
};
// `supersets` (may be null) as for CoverState.
AnnealCounters annealUnits(const Design& design, const SubsetOrbits* orbits, const SupersetTable* supersets,
                           const std::vector<Mask>& start, const SearchOptions& options,
                           const std::function<bool(const std::vector<Mask>&)>& record);

}  // namespace wheelsearch
