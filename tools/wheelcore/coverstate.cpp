#include "wheelcore/coverstate.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

#include <time.h>

namespace wheelsearch {

namespace {

struct BinomialTable {
  uint64_t c[65][65] = {};
  BinomialTable() {
    for (int n = 0; n <= 64; ++n)
      for (int r = 0; r <= n; ++r) c[n][r] = binomial(n, r);
  }
};
const BinomialTable& binomials() {
  static const BinomialTable table;
  return table;
}

}  // namespace

std::vector<int> positionsOf(Mask mask) {
  std::vector<int> positions;
  while (mask) {
    positions.push_back(std::countr_zero(mask));
    mask &= mask - 1;
  }
  return positions;
}

int nthBit(Mask mask, int n) {
  while (n-- > 0) mask &= mask - 1;
  return std::countr_zero(mask);
}

uint64_t uniform(Rng& rng, uint64_t bound) { return bound <= 1 ? 0 : rng() % bound; }

Rng makeRng(uint64_t seed, uint64_t stream) {
  std::seed_seq sequence{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                         static_cast<uint32_t>(stream), static_cast<uint32_t>(stream >> 32)};
  return Rng(sequence);
}

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

SubsetRanker::SubsetRanker(int v, int r)
    : v_(v), r_(r), chunks_((v + 7) / 8), count_(binomial(v, r)), c_(binomials().c) {
  // table_[chunk][below][byte]: the sum of C(position, index) over the byte's
  // bits, the index counting from below + 1. Sets of more than r bits never
  // occur; their entries stay at what the sum gives, unused.
  table_.assign(static_cast<size_t>(chunks_) * static_cast<size_t>(r + 1) * 256, 0);
  for (int chunk = 0; chunk < chunks_; ++chunk)
    for (int below = 0; below <= r; ++below)
      for (unsigned byte = 0; byte < 256; ++byte) {
        uint64_t sum = 0;
        int index = below;
        for (int b = 0; b < 8; ++b)
          if (byte >> b & 1) {
            ++index;
            const int position = 8 * chunk + b;
            if (index <= 64 && position < 65) sum += c_[position][index];
          }
        table_[(static_cast<size_t>(chunk) * static_cast<size_t>(r + 1) + static_cast<size_t>(below)) * 256 + byte] = sum;
      }
}

Mask SubsetRanker::unrank(uint64_t r) const {
  Mask subset = 0;
  int c = v_ - 1;
  for (int i = r_; i >= 1; --i) {
    while (c_[c][i] > r) --c;
    r -= c_[c][i];
    subset |= bit(c);
    --c;
  }
  return subset;
}

bool SupersetTable::fits(const Design& design) {
  if (design.t < 1 || design.t >= design.m || design.m > design.v) return false;
  const uint64_t entries = binomial(design.v, design.t) * binomial(design.v - design.t, design.m - design.t);
  return entries <= 48'000'000 && binomial(design.v, design.m) <= UINT32_MAX;
}

SupersetTable::SupersetTable(const Design& design) : ranker_(design.v, design.t) {
  const SubsetRanker drawRanker(design.v, design.m);
  const uint64_t per = binomial(design.v - design.t, design.m - design.t);
  counters_.reserve(ranker_.count() * per);
  first_.reserve(ranker_.count() + 1);
  for (uint64_t r = 0; r < ranker_.count(); ++r) {
    const Mask core = ranker_.unrank(r);
    first_.push_back(counters_.size());
    forEachSubset(positionsOf(allPositions(design.v) & ~core), design.m - design.t,
                  [&](Mask rest) { counters_.push_back(static_cast<uint32_t>(drawRanker.rank(core | rest))); });
    // Ascending, so that a move walks the counts in memory order.
    std::sort(counters_.begin() + static_cast<long>(first_.back()), counters_.end());
  }
  first_.push_back(counters_.size());
}

SupersetTable::SupersetTable(const Design& design, const SubsetOrbits& drawOrbits, const SubsetOrbits& coreOrbits)
    : ranker_(design.v, design.t), coreOrbit_(coreOrbits.orbitOf) {
  const SubsetRanker drawRanker(design.v, design.m);
  std::vector<std::vector<uint32_t>> around(coreOrbits.orbitCount());
  for (uint32_t counter = 0; counter < drawOrbits.orbitCount(); ++counter) {
    const Mask draw = drawRanker.unrank(drawOrbits.members[drawOrbits.firstMember[counter]]);
    forEachSubset(positionsOf(draw), design.t, [&](Mask core) { around[coreOf(core)].push_back(counter); });
  }
  first_.reserve(around.size() + 1);
  for (const std::vector<uint32_t>& counters : around) {
    first_.push_back(counters_.size());
    counters_.insert(counters_.end(), counters.begin(), counters.end());
  }
  first_.push_back(counters_.size());
}

CoverState::CoverState(const Design& design, const SubsetOrbits* orbits, const SupersetTable* supersets)
    : d_(design), ranker_(design.v, design.m), orbits_(orbits),
      count_(supersets ? 0 : orbits ? orbits->orbitCount() : ranker_.count(), 0),
      slot_(orbits ? orbits->orbitCount() : ranker_.count(), -1), ticketsAt_(design.v), supersets_(supersets) {
  if (supersets_) {
    coreUnits_.resize(supersets_->coreCount());
    heldCores_.resize(slot_.size());
  }
}

template <class F>
void CoverState::forEachCore(Mask ticket, F&& f) const {
  forEachSubset(positionsOf(ticket), d_.t, [&](Mask core) { f(supersets_->coreOf(core)); });
}

uint64_t CoverState::takeCore(uint32_t core) const {
  uint64_t emptied = 0;
  if (--coreUnits_[core] == 0)
    for (const uint32_t* c = supersets_->begin(core); c != supersets_->end(core); ++c) emptied += --heldCores_[*c] == 0;
  return emptied;
}

uint64_t CoverState::putCore(uint32_t core) const {
  uint64_t filled = 0;
  if (coreUnits_[core]++ == 0)
    for (const uint32_t* c = supersets_->begin(core); c != supersets_->end(core); ++c) filled += heldCores_[*c]++ == 0;
  return filled;
}

void CoverState::holdCore(uint32_t core, bool keepList) {
  if (coreUnits_[core]++ != 0) return;
  for (const uint32_t* c = supersets_->begin(core); c != supersets_->end(core); ++c)
    if (heldCores_[*c]++ == 0 && keepList) unlist(*c);
}

void CoverState::releaseCore(uint32_t core) {
  if (--coreUnits_[core] != 0) return;
  for (const uint32_t* c = supersets_->begin(core); c != supersets_->end(core); ++c)
    if (--heldCores_[*c] == 0) list(*c);
}

void CoverState::addTicket(Mask ticket, bool keepList) {
  tickets_.push_back(ticket);
  if (tickets_.size() > words_ * 64) {
    ++words_;
    for (auto& set : ticketsAt_) set.resize(words_, 0);
  }
  for (Mask rest = ticket; rest; rest &= rest - 1) markTicket(std::countr_zero(rest), tickets_.size() - 1, true);
  if (supersets_) {
    forEachCore(ticket, [&](uint32_t core) { holdCore(core, keepList); });
    return;
  }
  forEachMetSubset(ticket, [&](uint64_t rank) {
    const uint32_t counter = counterOf(rank);
    if (count_[counter]++ == 0 && keepList) unlist(counter);
  });
}

void CoverState::removeTicket(size_t index) {
  const Mask ticket = tickets_[index];
  const size_t last = tickets_.size() - 1;
  for (Mask rest = ticket; rest; rest &= rest - 1) markTicket(std::countr_zero(rest), index, false);
  if (index != last)
    for (Mask rest = tickets_[last]; rest; rest &= rest - 1) {
      markTicket(std::countr_zero(rest), last, false);
      markTicket(std::countr_zero(rest), index, true);
    }
  tickets_[index] = tickets_.back();
  tickets_.pop_back();
  if (supersets_) {
    forEachCore(ticket, [&](uint32_t core) { releaseCore(core); });
    return;
  }
  forEachMetSubset(ticket, [&](uint64_t rank) {
    const uint32_t counter = counterOf(rank);
    if (--count_[counter] == 0) list(counter);
  });
}

void CoverState::rebuildUncovered() {
  uncovered_.clear();
  for (uint32_t counter = 0; counter < slot_.size(); ++counter) {
    slot_[counter] = -1;
    if ((supersets_ ? heldCores_[counter] : count_[counter]) == 0) list(counter);
  }
}

uint64_t CoverState::uniqueCount(size_t index) const {
  uint64_t unique = 0;
  if (supersets_) {
    // Take the unit's t-subsets away from the counts, count the counters
    // left with none, and put them back (in the group search one core may
    // stand for several of the unit's t-subsets).
    std::vector<uint32_t> cores;
    forEachCore(tickets_[index], [&](uint32_t core) { cores.push_back(core); });
    for (uint32_t core : cores) unique += takeCore(core);
    for (auto core = cores.rbegin(); core != cores.rend(); ++core) putCore(*core);
    return unique;
  }
  forEachMetSubset(tickets_[index], [&](uint64_t rank) { unique += count_[counterOf(rank)] == 1; });
  return unique;
}

Mask CoverState::randomUncovered(Rng& rng) const {
  const uint32_t counter = uncovered_[uniform(rng, uncovered_.size())];
  if (!orbits_) return ranker_.unrank(counter);
  const uint32_t first = orbits_->firstMember[counter];
  const uint32_t size = orbits_->firstMember[counter + 1] - first;
  return ranker_.unrank(orbits_->members[first + uniform(rng, size)]);
}

// The m-subsets that meet the unit in exactly t positions, x among them, are
// lost when x leaves (unless they hold y too, then they stay met); the ones
// that would meet the new unit in exactly t positions, y among them, are
// gained. Each is a (t-1)-subset of the unit's other positions, joined with
// an (m-t)-subset of the positions outside both. Calls pair(lost, gained)
// with the counters of each.
template <class F>
void CoverState::forEachChange(F&& pair) {
  const Mask ticket = tickets_[pendingIndex_];
  const int x = pendingX_, y = pendingY_;
  inner_.clear();
  for (Mask rest = ticket & ~bit(x); rest; rest &= rest - 1) inner_.push_back(std::countr_zero(rest));
  const Mask bx = bit(x), by = bit(y);
  if (d_.m == d_.t) {
    // A covering: the subsets lie inside the unit.
    forEachSubset(inner_, d_.t - 1, [&](Mask core) {
      pair(counterOf(ranker_.rank(core | bx)), counterOf(ranker_.rank(core | by)));
    });
    return;
  }
  outside_.clear();
  for (Mask rest = allPositions(d_.v) & ~ticket & ~bit(y); rest; rest &= rest - 1)
    outside_.push_back(std::countr_zero(rest));
  outsideSets_.clear();
  forEachSubset(outside_, d_.m - d_.t, [&](Mask mask) { outsideSets_.push_back(mask); });
  forEachSubset(inner_, d_.t - 1, [&](Mask core) {
    for (Mask rest : outsideSets_) {
      const Mask common = core | rest;
      pair(counterOf(ranker_.rank(common | bx)), counterOf(ranker_.rank(common | by)));
    }
  });
}

int64_t CoverState::evaluate(size_t index, int x, int y) {
  pendingIndex_ = index, pendingX_ = x, pendingY_ = y;
  lose_.clear();
  gain_.clear();
  int64_t delta = 0;
  if (supersets_) {
    // The t-subsets holding x leave the unit, those holding y join it. Only
    // the cores that no other unit holds, or none did, change counters: the
    // change is made on the counts in order, judged, and undone in reverse.
    coresOut_.clear();
    coresIn_.clear();
    inner_.clear();
    for (Mask rest = tickets_[index] & ~bit(x); rest; rest &= rest - 1) inner_.push_back(std::countr_zero(rest));
    forEachSubset(inner_, d_.t - 1, [&](Mask core) {
      coresOut_.push_back(supersets_->coreOf(core | bit(x)));
      coresIn_.push_back(supersets_->coreOf(core | bit(y)));
    });
    for (uint32_t core : coresOut_) delta += static_cast<int64_t>(takeCore(core));
    for (uint32_t core : coresIn_) delta -= static_cast<int64_t>(putCore(core));
    for (auto core = coresIn_.rbegin(); core != coresIn_.rend(); ++core) takeCore(*core);
    for (auto core = coresOut_.rbegin(); core != coresOut_.rend(); ++core) putCore(*core);
    return delta;
  }
  if (!orbits_) {
    // Every m-subset appears once among the lost and once among the gained,
    // and no subset is both: each can be judged on its own count.
    forEachChange([&](uint32_t lost, uint32_t gained) {
      lose_.push_back(lost);
      gain_.push_back(gained);
      delta += (count_[lost] == 1) - (count_[gained] == 0);
    });
    return delta;
  }
  forEachChange([&](uint32_t lost, uint32_t gained) {
    lose_.push_back(lost);
    gain_.push_back(gained);
  });
  // Orbits: one counter may be lost several times and gained in the same
  // move, so the move is made on the counts, judged, and undone.
  for (uint32_t c : lose_) delta += --count_[c] == 0;
  for (uint32_t c : gain_) delta -= count_[c]++ == 0;
  for (uint32_t c : lose_) ++count_[c];
  for (uint32_t c : gain_) --count_[c];
  return delta;
}

void CoverState::apply() {
  if (supersets_) {
    // Losses first: an m-subset that loses its last t-subset and gains
    // another in the same move ends up unlisted.
    for (uint32_t core : coresOut_) releaseCore(core);
    for (uint32_t core : coresIn_) holdCore(core, true);
  } else if (!orbits_) {
    for (uint32_t c : lose_)
      if (--count_[c] == 0) list(c);
    for (uint32_t c : gain_)
      if (count_[c]++ == 0) unlist(c);
  } else {
    // Losses first, gains second: a counter that drops to zero and is met
    // again in the same move must end up unlisted.
    touched_.clear();
    for (uint32_t c : lose_)
      if (--count_[c] == 0) touched_.push_back(c);
    for (uint32_t c : gain_)
      if (count_[c]++ == 0) touched_.push_back(c);
    for (uint32_t c : touched_) {
      if (count_[c] == 0 && slot_[c] < 0) list(c);
      else if (count_[c] > 0 && slot_[c] >= 0) unlist(c);
    }
  }
  const Mask before = tickets_[pendingIndex_];
  markTicket(pendingX_, pendingIndex_, false);
  markTicket(pendingY_, pendingIndex_, true);
  tickets_[pendingIndex_] = (before & ~bit(pendingX_)) | bit(pendingY_);
}

void CoverState::ticketsMeeting(Mask subset, int common, std::vector<uint32_t>& out) const {
  out.clear();
  for (size_t w = 0; w < words_; ++w) {
    uint64_t planes[6] = {0, 0, 0, 0, 0, 0};
    for (Mask rest = subset; rest; rest &= rest - 1) {
      uint64_t carry = ticketsAt_[std::countr_zero(rest)][w];
      for (int b = 0; b < 6 && carry; ++b) {
        const uint64_t next = planes[b] & carry;
        planes[b] ^= carry;
        carry = next;
      }
    }
    uint64_t equal = ~uint64_t{0};
    for (int b = 0; b < 6; ++b) equal &= (common >> b & 1) ? planes[b] : ~planes[b];
    const size_t valid = std::min<size_t>(64, tickets_.size() - w * 64);
    if (valid < 64) equal &= (uint64_t{1} << valid) - 1;
    for (; equal; equal &= equal - 1) out.push_back(static_cast<uint32_t>(w * 64 + std::countr_zero(equal)));
  }
}

template <class F>
void CoverState::forEachMetSubset(Mask ticket, F&& f) const {
  const std::vector<int> inside = positionsOf(ticket);
  const std::vector<int> outside = positionsOf(allPositions(d_.v) & ~ticket);
  for (int j = d_.t; j <= std::min(d_.k, d_.m); ++j) {
    std::vector<Mask> rests;
    forEachSubset(outside, d_.m - j, [&](Mask mask) { rests.push_back(mask); });
    forEachSubset(inside, j, [&](Mask core) {
      for (Mask rest : rests) f(ranker_.rank(core | rest));
    });
  }
}

void CoverState::markTicket(int position, size_t index, bool on) {
  uint64_t& word = ticketsAt_[position][index / 64];
  const uint64_t mask = uint64_t{1} << (index % 64);
  word = on ? word | mask : word & ~mask;
}

void CoverState::list(uint32_t counter) {
  slot_[counter] = static_cast<int32_t>(uncovered_.size());
  uncovered_.push_back(counter);
}

void CoverState::unlist(uint32_t counter) {
  const int32_t at = slot_[counter];
  if (at < 0) return;
  const uint32_t last = uncovered_.back();
  uncovered_[at] = last;
  slot_[last] = at;
  uncovered_.pop_back();
  slot_[counter] = -1;
}

namespace {

// Fills an attempt's state: the search's start on the first attempt, else the
// best covering less one random unit (three attempts in four) or random units
// as many. Returns whether the start was random.
bool startAttempt(CoverState& state, const Design& design, const std::vector<Mask>& start,
                  const std::vector<Mask>& best, uint64_t attempt, Rng& rng) {
  const bool randomStart = best.empty() ? attempt > 0 : attempt % 4 == 3;
  const size_t size = best.empty() ? start.size() : best.size() - 1;
  if (best.empty() && attempt == 0) {
    for (Mask ticket : start) state.addTicket(ticket, false);
  } else if (!randomStart) {
    std::vector<Mask> tickets = best;
    tickets.erase(tickets.begin() + static_cast<long>(uniform(rng, tickets.size())));
    for (Mask ticket : tickets) state.addTicket(ticket, false);
  } else {
    const std::vector<int> all = positionsOf(allPositions(design.v));
    for (size_t i = 0; i < size; ++i) {
      std::vector<int> shuffled = all;
      std::shuffle(shuffled.begin(), shuffled.end(), rng);
      Mask ticket = 0;
      for (int j = 0; j < design.k; ++j) ticket |= bit(shuffled[j]);
      state.addTicket(ticket, false);
    }
  }
  state.rebuildUncovered();
  return randomStart;
}

// A move aimed at an unmet draw: a unit that holds t - 1 of its positions
// (any unit when none does) gives up a position outside the draw for one in it.
struct Move {
  size_t index = 0;
  int x = 0, y = 0;
};
Move proposeMove(const CoverState& state, const Design& design, Rng& rng, std::vector<uint32_t>& closeTickets) {
  const Mask draw = state.randomUncovered(rng);
  const std::vector<Mask>& tickets = state.tickets();
  state.ticketsMeeting(draw, design.t - 1, closeTickets);
  Move move;
  move.index = closeTickets.empty() ? uniform(rng, tickets.size()) : closeTickets[uniform(rng, closeTickets.size())];
  const Mask ticket = tickets[move.index];
  const Mask away = ticket & ~draw, into = draw & ~ticket;
  move.x = nthBit(away, static_cast<int>(uniform(rng, std::popcount(away))));
  move.y = nthBit(into, static_cast<int>(uniform(rng, std::popcount(into))));
  return move;
}

// The temperature at which an average uphill step, over a sample of moves, is
// accepted half the time; a start from a covering is already close, and
// heating it fully would only throw that away, so it starts where such a step
// is accepted about one time in three thousand.
double startingTemperature(CoverState& state, const Design& design, bool randomStart, Rng& rng,
                           std::vector<uint32_t>& closeTickets) {
  double uphill = 0;
  int uphillCount = 0;
  for (int i = 0; i < 200 && state.cost() > 0; ++i) {
    const Move move = proposeMove(state, design, rng, closeTickets);
    const int64_t delta = state.evaluate(move.index, move.x, move.y);
    if (delta > 0) uphill += static_cast<double>(delta), ++uphillCount;
  }
  const double temperature = uphillCount ? (uphill / uphillCount) / std::log(2.0) : 1.0;
  return randomStart ? temperature : temperature / 8;
}

// The unit whose loss leaves the fewest counters unmet, where finding it is
// cheap (`exact`); a random unit otherwise.
size_t leastUsefulUnit(const CoverState& state, bool exact, Rng& rng) {
  size_t drop = uniform(rng, state.tickets().size());
  if (!exact) return drop;
  uint64_t least = UINT64_MAX;
  for (size_t i = 0; i < state.tickets().size(); ++i) {
    const uint64_t unique = state.uniqueCount(i);
    if (unique < least) least = unique, drop = i;
  }
  return drop;
}

}  // namespace

uint64_t metPerTicket(const Design& design) {
  uint64_t met = 0;
  for (int j = design.t; j <= std::min(design.k, design.m); ++j)
    met += binomial(design.k, j) * binomial(design.v - design.k, design.m - j);
  return met;
}

// Flattened: the state's per-move calls are inlined into the loop, which
// saves about a sixth of the instructions of a move.
[[gnu::flatten]] AnnealCounters annealUnits(const Design& design, const SubsetOrbits* orbits,
                                            const SupersetTable* supersets, const std::vector<Mask>& start,
                                            const SearchOptions& options,
                                            const std::function<bool(const std::vector<Mask>&)>& record) {
  AnnealCounters counters;
  if (start.empty()) return counters;
  using Clock = std::chrono::steady_clock;
  // The budget counts processor time of this thread, so a search on a busy
  // machine gets the same work done as on an idle one, only later.
  const double startCpu = threadCpuSeconds();
  uint64_t& moves = counters.moves;
  bool outOfBudget = false, done = false;
  auto lastReport = Clock::now();
  auto budgetLeft = [&]() {
    if (options.moves && moves >= options.moves) outOfBudget = true;
    if (!options.moves && options.seconds > 0 && (moves & 1023) == 0 &&
        threadCpuSeconds() - startCpu >= options.seconds)
      outOfBudget = true;
    if (!options.moves && options.seconds <= 0) outOfBudget = true;
    return !outOfBudget && !done;
  };
  // Finding the unit that matters least costs one walk over the m-subsets
  // each unit meets; worth it unless that walk is long.
  const bool cheapUnique = metPerTicket(design) <= 20000;

  std::vector<Mask> best;  // the fewest units that met every counter so far
  {
    CoverState check(design, orbits, supersets);
    for (Mask ticket : start) check.addTicket(ticket, false);
    check.rebuildUncovered();
    if (check.cost() == 0) {
      best = start;
      if (record(best)) return counters;
    }
  }
  std::vector<uint32_t> closeTickets;
  for (uint64_t attempt = 0; budgetLeft(); ++attempt) {
    if (!best.empty() && best.size() == 1) break;
    Rng rng = makeRng(options.seed, attempt);
    CoverState state(design, orbits, supersets);
    const bool randomStart = startAttempt(state, design, start, best, attempt, rng);
    double temperature = startingTemperature(state, design, randomStart, rng, closeTickets);
    // Moves per temperature grow with the neighbourhood (units x positions in
    // x positions out); cooling by 0.99; ten idle temperatures end a run of a
    // covering. A lotto design's cost falls in long flat stretches, and so
    // does that of a search over orbits, whose moves shift whole orbits of
    // tickets: their runs reach smaller wheels when they go on for a hundred.
    constexpr double lengthFactor = 0.5, cooling = 0.99;
    const int idleLimit = design.t < design.m || orbits ? 100 : 10;
    const uint64_t perTemperature = std::max<uint64_t>(
        500, static_cast<uint64_t>(lengthFactor * static_cast<double>(state.tickets().size()) * design.k *
                                   (design.v - design.k)));
    // exp(-delta / temperature) for the small uphill steps, made once per temperature.
    double acceptTable[64];
    auto fillAcceptance = [&] {
      for (int d = 0; d < 64; ++d) acceptTable[d] = std::exp(-d / temperature);
    };
    auto acceptance = [&](int64_t delta) {
      return delta < 64 ? acceptTable[delta] : std::exp(-static_cast<double>(delta) / temperature);
    };
    fillAcceptance();
    uint64_t bestCost = UINT64_MAX;
    int idleTemperatures = 0;
    bool warmedUp = false;

    while (idleTemperatures < idleLimit && budgetLeft()) {
      for (uint64_t step = 0; step < perTemperature && budgetLeft(); ++step) {
        // Every counter is met: report it, then drop the unit that matters
        // least; again while the units left still meet every counter.
        while (state.cost() == 0 && !done) {
          best = state.tickets();
          if (record(best)) {
            done = true;
            break;
          }
          if (options.progress)
            options.progress("found " + std::to_string(best.size()) + (orbits ? " orbits" : " tickets") + " after " +
                             std::to_string(moves) + " moves");
          if (best.size() <= 1) {
            done = true;
            break;
          }
          state.removeTicket(leastUsefulUnit(state, cheapUnique, rng));
          bestCost = state.cost();
          idleTemperatures = 0;
        }
        if (done) break;
        const Move move = proposeMove(state, design, rng, closeTickets);
        const int64_t delta = state.evaluate(move.index, move.x, move.y);
        ++moves;
        if (delta <= 0 || std::generate_canonical<double, 53>(rng) < acceptance(delta)) {
          state.apply();
          if (warmedUp && state.cost() < bestCost) bestCost = state.cost(), idleTemperatures = -1;
        }
      }
      if (done) break;
      if (!warmedUp) warmedUp = true, bestCost = state.cost();
      temperature *= cooling;
      fillAcceptance();
      ++idleTemperatures;
      if (options.progress && Clock::now() - lastReport > std::chrono::seconds(2)) {
        lastReport = Clock::now();
        options.progress("attempt " + std::to_string(attempt + 1) + ": " + std::to_string(state.tickets().size()) +
                         (orbits ? " orbits, " : " tickets, ") + std::to_string(state.cost()) +
                         " draws not met, best " + std::to_string(best.size()) + ", " + std::to_string(moves) +
                         " moves");
      }
    }
  }
  counters.cpuSeconds = threadCpuSeconds() - startCpu;
  return counters;
}

}  // namespace wheelsearch
