#include "wheelcore/search.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <set>

#include <time.h>

#include "wheelcore/designs.h"

namespace {

using Mask = uint64_t;
using Rng = std::mt19937_64;

Mask bit(int position) { return Mask{1} << position; }
Mask allPositions(int v) { return v == 64 ? ~Mask{0} : bit(v) - 1; }

std::vector<int> positionsOf(Mask mask) {
  std::vector<int> positions;
  while (mask) {
    positions.push_back(std::countr_zero(mask));
    mask &= mask - 1;
  }
  return positions;
}

// The position of the n-th set bit (0-based) of mask.
int nthBit(Mask mask, int n) {
  while (n-- > 0) mask &= mask - 1;
  return std::countr_zero(mask);
}

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

// Binomial coefficients for ranking subsets in colex order.
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

std::mt19937_64 makeRng(uint64_t seed, uint64_t stream) {
  std::seed_seq sequence{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                         static_cast<uint32_t>(stream), static_cast<uint32_t>(stream >> 32)};
  return std::mt19937_64(sequence);
}

uint64_t uniform(Rng& rng, uint64_t bound) { return bound <= 1 ? 0 : rng() % bound; }

// Coverage counts of every m-subset of the v positions: how many tickets meet
// it in at least t positions, with the list of m-subsets that none meets.
class CoverState {
 public:
  explicit CoverState(const Design& design)
      : d_(design), table_(binomials()), count_(binomial(design.v, design.m), 0),
        slot_(count_.size(), -1), ticketsAt_(design.v) {}

  // Adds a ticket to the counts. With `keepList` false the uncovered list is
  // left stale (call rebuildUncovered after adding a batch).
  void addTicket(Mask ticket, bool keepList = true) {
    tickets_.push_back(ticket);
    if (tickets_.size() > words_ * 64) {
      ++words_;
      for (auto& set : ticketsAt_) set.resize(words_, 0);
    }
    for (Mask rest = ticket; rest; rest &= rest - 1) markTicket(std::countr_zero(rest), tickets_.size() - 1, true);
    forEachMetSubset(ticket, [&](uint64_t rank) {
      if (count_[rank]++ == 0 && keepList) unlist(rank);
    });
  }
  void removeTicket(size_t index) {
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
    forEachMetSubset(ticket, [&](uint64_t rank) {
      if (--count_[rank] == 0) list(rank);
    });
  }
  void rebuildUncovered() {
    uncovered_.clear();
    for (uint64_t rank = 0; rank < count_.size(); ++rank) {
      slot_[rank] = -1;
      if (count_[rank] == 0) list(rank);
    }
  }

  // How many m-subsets this ticket alone meets in t positions.
  uint64_t uniqueCount(size_t index) const {
    uint64_t unique = 0;
    forEachMetSubset(tickets_[index], [&](uint64_t rank) { unique += count_[rank] == 1; });
    return unique;
  }
  // Work of one forEachMetSubset call, in m-subsets visited.
  uint64_t metSubsetsPerTicket() const {
    uint64_t total = 0;
    for (int j = d_.t; j <= std::min(d_.k, d_.m); ++j)
      total += binomial(d_.k, j) * binomial(d_.v - d_.k, d_.m - j);
    return total;
  }

  uint64_t cost() const { return uncovered_.size(); }
  const std::vector<Mask>& tickets() const { return tickets_; }

  Mask randomUncovered(Rng& rng) const { return unrank(uncovered_[uniform(rng, uncovered_.size())]); }

  // Replacing position x of ticket `index` by y: the change of cost, with the
  // m-subsets that lose and gain a meeting ticket kept for apply().
  int64_t evaluate(size_t index, int x, int y) {
    const Mask ticket = tickets_[index];
    lose_.clear();
    gain_.clear();
    inner_.clear();
    outside_.clear();
    for (Mask rest = ticket & ~bit(x); rest; rest &= rest - 1) inner_.push_back(std::countr_zero(rest));
    for (Mask rest = allPositions(d_.v) & ~ticket & ~bit(y); rest; rest &= rest - 1)
      outside_.push_back(std::countr_zero(rest));
    outsideSets_.clear();
    forEachSubset(outside_, d_.m - d_.t, [&](Mask mask) { outsideSets_.push_back(mask); });
    int64_t delta = 0;
    forEachSubset(inner_, d_.t - 1, [&](Mask core) {
      for (Mask rest : outsideSets_) {
        const uint64_t lost = rank(core | rest | bit(x));
        const uint64_t gained = rank(core | rest | bit(y));
        lose_.push_back(lost);
        gain_.push_back(gained);
        delta += (count_[lost] == 1) - (count_[gained] == 0);
      }
    });
    pendingIndex_ = index;
    pendingTicket_ = (ticket & ~bit(x)) | bit(y);
    return delta;
  }
  void apply() {
    for (uint64_t r : lose_)
      if (--count_[r] == 0) list(r);
    for (uint64_t r : gain_)
      if (count_[r]++ == 0) unlist(r);
    for (Mask rest = tickets_[pendingIndex_] & ~pendingTicket_; rest; rest &= rest - 1)
      markTicket(std::countr_zero(rest), pendingIndex_, false);
    for (Mask rest = pendingTicket_ & ~tickets_[pendingIndex_]; rest; rest &= rest - 1)
      markTicket(std::countr_zero(rest), pendingIndex_, true);
    tickets_[pendingIndex_] = pendingTicket_;
  }

  // The tickets that hold exactly `common` positions of `subset`, counted for
  // 64 tickets at a time with bit-sliced adders over the per-position sets.
  void ticketsMeeting(Mask subset, int common, std::vector<uint32_t>& out) const {
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

  uint64_t rank(Mask subset) const {
    uint64_t r = 0;
    for (int i = 1; subset; ++i) {
      r += table_.c[std::countr_zero(subset)][i];
      subset &= subset - 1;
    }
    return r;
  }
  Mask unrank(uint64_t r) const {
    Mask subset = 0;
    int c = d_.v - 1;
    for (int i = d_.m; i >= 1; --i) {
      while (table_.c[c][i] > r) --c;
      r -= table_.c[c][i];
      subset |= bit(c);
      --c;
    }
    return subset;
  }

 private:
  template <class F>
  void forEachMetSubset(Mask ticket, F&& f) const {
    const std::vector<int> inside = positionsOf(ticket);
    const std::vector<int> outside = positionsOf(allPositions(d_.v) & ~ticket);
    for (int j = d_.t; j <= std::min(d_.k, d_.m); ++j) {
      std::vector<Mask> rests;
      forEachSubset(outside, d_.m - j, [&](Mask mask) { rests.push_back(mask); });
      forEachSubset(inside, j, [&](Mask core) {
        for (Mask rest : rests) f(rank(core | rest));
      });
    }
  }
  void markTicket(int position, size_t index, bool on) {
    uint64_t& word = ticketsAt_[position][index / 64];
    const uint64_t mask = uint64_t{1} << (index % 64);
    word = on ? word | mask : word & ~mask;
  }
  void list(uint64_t r) {
    slot_[r] = static_cast<int32_t>(uncovered_.size());
    uncovered_.push_back(static_cast<uint32_t>(r));
  }
  void unlist(uint64_t r) {
    const int32_t at = slot_[r];
    if (at < 0) return;
    const uint32_t last = uncovered_.back();
    uncovered_[at] = last;
    slot_[last] = at;
    uncovered_.pop_back();
    slot_[r] = -1;
  }

  Design d_;
  const BinomialTable& table_;
  std::vector<uint16_t> count_;
  std::vector<int32_t> slot_;
  std::vector<uint32_t> uncovered_;
  std::vector<Mask> tickets_;
  // ticketsAt_[p]: bit i set when ticket i holds position p.
  std::vector<std::vector<uint64_t>> ticketsAt_;
  size_t words_ = 0;
  std::vector<uint64_t> lose_, gain_;
  std::vector<Mask> outsideSets_;
  std::vector<int> inner_, outside_;
  size_t pendingIndex_ = 0;
  Mask pendingTicket_ = 0;
};

constexpr uint64_t kMaxSubsets = 4'000'000;

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Drops tickets that meet no m-subset alone, in random order.
std::vector<Mask> pruneRedundant(const Design& design, std::vector<Mask> tickets, Rng& rng) {
  std::sort(tickets.begin(), tickets.end());
  tickets.erase(std::unique(tickets.begin(), tickets.end()), tickets.end());
  if (binomial(design.v, design.m) > kMaxSubsets) return tickets;
  CoverState state(design);
  std::shuffle(tickets.begin(), tickets.end(), rng);
  for (Mask ticket : tickets) state.addTicket(ticket, false);
  for (size_t i = state.tickets().size(); i-- > 0;)
    if (state.uniqueCount(i) == 0) state.removeTicket(i);
  std::vector<Mask> kept = state.tickets();
  std::sort(kept.begin(), kept.end());
  return kept;
}

// Pads a ticket to k positions with the lowest positions it lacks.
Mask padTicket(Mask ticket, int k, int v) {
  for (int p = 0; p < v && std::popcount(ticket) < k; ++p) ticket |= bit(p);
  return ticket;
}

// Greedy covering (m = t): start each ticket from a t-subset nobody covers
// yet and add the positions that cover most uncovered t-subsets.
std::vector<Mask> greedyCovering(const Design& design, Rng& rng) {
  const int v = design.v, k = design.k, t = design.t;
  const BinomialTable& table = binomials();
  const uint64_t total = binomial(v, t);
  std::vector<bool> covered(total, false);
  uint64_t left = total;
  auto rank = [&](Mask subset) {
    uint64_t r = 0;
    for (int i = 1; subset; ++i) {
      r += table.c[std::countr_zero(subset)][i];
      subset &= subset - 1;
    }
    return r;
  };
  auto unrank = [&](uint64_t r) {
    Mask subset = 0;
    int c = v - 1;
    for (int i = t; i >= 1; --i) {
      while (table.c[c][i] > r) --c;
      r -= table.c[c][i];
      subset |= bit(c);
      --c;
    }
    return subset;
  };
  std::vector<Mask> tickets;
  uint64_t cursor = uniform(rng, total);
  while (left > 0) {
    while (covered[cursor]) cursor = (cursor + 1) % total;
    Mask ticket = unrank(cursor);
    while (std::popcount(ticket) < k) {
      const std::vector<int> inside = positionsOf(ticket);
      int best = -1;
      int bestGain = -1, ties = 0;
      for (int p = 0; p < v; ++p) {
        if (ticket >> p & 1) continue;
        int gain = 0;
        forEachSubset(inside, t - 1, [&](Mask core) { gain += !covered[rank(core | bit(p))]; });
        if (gain > bestGain) best = p, bestGain = gain, ties = 1;
        else if (gain == bestGain && uniform(rng, ++ties) == 0) best = p;
      }
      ticket |= bit(best);
    }
    forEachSubset(positionsOf(ticket), t, [&](Mask subset) {
      const uint64_t r = rank(subset);
      if (!covered[r]) covered[r] = true, --left;
    });
    tickets.push_back(ticket);
  }
  return tickets;
}

// Union of wheels on two disjoint groups of positions: every m-subset has at
// least m1 positions in the first group or m2 = m - m1 + 1 in the second, so
// wheels "t if m1" and "t if m2" on the groups together give "t if m". A group
// with more hits asked than positions needs no tickets; one of at most k
// positions needs one ticket.
Candidate unionWheel(const Design& design, const KnownWheels& known) {
  Candidate best;
  const int v = design.v, k = design.k, t = design.t, m = design.m;
  if (t >= m) return best;
  auto part = [&](int size, int hits, bool& feasible) -> std::vector<Mask> {
    feasible = true;
    if (hits > size) return {};
    if (hits < t) {
      feasible = false;
      return {};
    }
    if (size <= k) return {allPositions(size)};
    std::vector<Mask> wheel = known(Design{size, k, t, hits});
    feasible = !wheel.empty();
    return wheel;
  };
  for (int v1 = 1; v1 < v; ++v1)
    for (int m1 = 1; m1 <= m; ++m1) {
      const int v2 = v - v1, m2 = m - m1 + 1;
      bool ok1, ok2;
      const std::vector<Mask> first = part(v1, m1, ok1);
      if (!ok1) continue;
      const std::vector<Mask> second = part(v2, m2, ok2);
      if (!ok2) continue;
      if (!best.tickets.empty() && first.size() + second.size() >= best.tickets.size()) continue;
      if (first.size() + second.size() == 0) continue;
      std::vector<Mask> tickets;
      for (Mask ticket : first) tickets.push_back(padTicket(ticket, k, v));
      for (Mask ticket : second) {
        Mask shifted = ticket << v1;
        // Pad from the first group, highest positions first.
        for (int p = v1 - 1; p >= 0 && std::popcount(shifted) < k; --p) shifted |= bit(p);
        tickets.push_back(shifted);
      }
      best.tickets = std::move(tickets);
      auto leftOut = [](int size) {
        return std::to_string(size) + (size == 1 ? " position" : " positions") + " left out";
      };
      auto partText = [&](int size, int hits) {
        return formulaText(t, hits) + " of " + std::to_string(size);
      };
      if (m1 > v1)
        best.method = "construction: " + partText(v2, m2) + ", " + leftOut(v1);
      else if (m2 > v2)
        best.method = "construction: " + partText(v1, m1) + ", " + leftOut(v2);
      else
        best.method = "construction: union of " + partText(v1, m1) + " and " + partText(v2, m2);
    }
  return best;
}

void keepSmaller(Candidate& best, Candidate candidate) {
  if (candidate.tickets.empty()) return;
  if (best.tickets.empty() || candidate.tickets.size() < best.tickets.size()) best = std::move(candidate);
}

}  // namespace

std::string describeDesign(const Design& design) {
  return formulaText(design.t, design.m) + " of " + std::to_string(design.v) + ", tickets of " +
         std::to_string(design.k);
}

Design designOf(const WheelSpec& spec) {
  if (spec.type == WheelType::abbreviated) return {spec.v, spec.pick, spec.t, spec.m};
  return {spec.v - 1, spec.pick - 1, spec.t - 1, spec.m - 1};
}

std::vector<Ticket> wheelTickets(const WheelSpec& spec, const std::vector<uint64_t>& tickets) {
  std::vector<Ticket> result;
  const int shift = spec.type == WheelType::key ? 1 : 0;
  for (Mask mask : tickets) {
    Ticket ticket;
    if (shift) ticket.push_back(1);
    for (int p : positionsOf(mask)) ticket.push_back(p + 1 + shift);
    result.push_back(std::move(ticket));
  }
  std::sort(result.begin(), result.end());
  return result;
}

std::vector<uint64_t> designTickets(const WheelSpec& spec, const std::vector<Ticket>& tickets) {
  std::vector<uint64_t> result;
  const bool key = spec.type == WheelType::key;
  for (const Ticket& ticket : tickets) {
    Mask mask = 0;
    bool hasKey = false;
    for (int position : ticket) {
      if (position < 1 || position > spec.v) return {};
      if (key && position == 1) {
        hasKey = true;
        continue;
      }
      mask |= bit(position - 1 - (key ? 1 : 0));
    }
    if (key && !hasKey) return {};
    result.push_back(mask);
  }
  return result;
}

bool designHolds(const Design& design, const std::vector<uint64_t>& tickets) {
  if (tickets.empty()) return false;
  for (Mask ticket : tickets)
    if (std::popcount(ticket) != design.k || (ticket & ~allPositions(design.v))) return false;
  return !findUncoveredDraw(design.v, design.t, design.m, 0, tickets);
}

uint64_t designLowerBound(const Design& design) {
  if (design.t == 1) return static_cast<uint64_t>((design.v - design.m + 1 + design.k - 1) / design.k);
  if (design.t != design.m) return 1;
  uint64_t bound = schonheimBound(design.v, design.k, design.t);
  if (const auto exact = knownCoveringSize(design.v, design.k, design.t)) bound = std::max(bound, *exact);
  return bound;
}

Candidate constructWheel(const Design& design, const KnownWheels& known, uint64_t seed) {
  const int v = design.v, k = design.k, t = design.t, m = design.m;
  Rng rng = makeRng(seed, 0x636f6e73);
  Candidate best;
  if (v <= k) return {{allPositions(v) | padTicket(0, k, v)}, "construction: one ticket"};
  if (t == 1) {
    // Any m positions meet the first v - m + 1 positions; cover those.
    std::vector<Mask> tickets;
    for (int from = 0; from < v - m + 1; from += k) {
      Mask ticket = 0;
      for (int p = from; p < std::min(from + k, v - m + 1); ++p) ticket |= bit(p);
      tickets.push_back(padTicket(ticket, k, v));
    }
    return {tickets, "construction: cover v - m + 1 positions"};
  }
  if (t == m && t == k) {
    if (binomial(v, k) > 200'000) return best;
    std::vector<Mask> tickets;
    forEachSubset(positionsOf(allPositions(v)), k, [&](Mask ticket) { tickets.push_back(ticket); });
    return {tickets, "construction: full wheel"};
  }
  if (t == m) {
    for (const BlockDesign& source : knownDesigns()) {
      BlockDesign derived = source;
      while (derived.strength >= t && derived.blockSize >= 2) {
        if (derived.blockSize <= k && derived.points >= v && derived.points - v <= 8 &&
            derived.blocks.size() <= 4000) {
          std::vector<Mask> tickets = coveringFromDesign(derived, v, k, t);
          if (!tickets.empty()) keepSmaller(best, {pruneRedundant(design, tickets, rng), "construction: " + derived.name});
        }
        derived = derivedDesign(derived, derived.points - 1);
      }
    }
    const int tries = binomial(v, t) > 20000 ? 2 : 6;
    for (int i = 0; i < tries; ++i) keepSmaller(best, {pruneRedundant(design, greedyCovering(design, rng), rng), "greedy"});
  } else {
    Candidate joined = unionWheel(design, known);
    if (!joined.tickets.empty()) {
      joined.tickets = pruneRedundant(design, joined.tickets, rng);
      keepSmaller(best, joined);
    }
  }
  return best;
}

KnownWheels constructedWheels(uint64_t seed) {
  auto memo = std::make_shared<std::map<Design, std::vector<uint64_t>>>();
  auto self = std::make_shared<KnownWheels>();
  *self = [memo, seed, weak = std::weak_ptr<KnownWheels>(self)](const Design& design) {
    auto found = memo->find(design);
    if (found != memo->end()) return found->second;
    auto recurse = weak.lock();
    std::vector<uint64_t> tickets = constructWheel(design, recurse ? *recurse : KnownWheels([](const Design&) {
      return std::vector<uint64_t>{};
    }), seed).tickets;
    (*memo)[design] = tickets;
    return tickets;
  };
  // The returned function keeps itself alive through this holder.
  return [self](const Design& design) { return (*self)(design); };
}

bool annealingApplies(const Design& design) {
  if (design.t < 2 || design.v <= design.k || (design.t == design.m && design.t == design.k)) return false;
  if (binomial(design.v, design.m) > kMaxSubsets) return false;
  const uint64_t perMove = 2 * binomial(design.k - 1, design.t - 1) * binomial(design.v - design.k - 1, design.m - design.t);
  return perMove <= 6000;
}

Candidate annealWheel(const Design& design, const Candidate& start, const SearchOptions& options) {
  Candidate best = start;
  if (!annealingApplies(design) || start.tickets.empty()) return best;
  const uint64_t target = std::max<uint64_t>(options.target ? options.target : designLowerBound(design), 1);
  if (best.tickets.size() <= target) return best;

  using Clock = std::chrono::steady_clock;
  // The budget counts processor time of this thread, so a search on a busy
  // machine gets the same work done as on an idle one, only later.
  const double startCpu = threadCpuSeconds();
  uint64_t moves = 0;
  bool outOfBudget = false;
  auto lastReport = Clock::now();
  auto budgetLeft = [&]() {
    if (options.moves && moves >= options.moves) outOfBudget = true;
    if (!options.moves && options.seconds > 0 && (moves & 1023) == 0 &&
        threadCpuSeconds() - startCpu >= options.seconds)
      outOfBudget = true;
    if (!options.moves && options.seconds <= 0) outOfBudget = true;
    return !outOfBudget;
  };
  // Finding the ticket that matters least costs one walk over the m-subsets
  // each ticket meets; worth it unless that walk is long.
  uint64_t metPerTicket = 0;
  for (int j = design.t; j <= std::min(design.k, design.m); ++j)
    metPerTicket += binomial(design.k, j) * binomial(design.v - design.k, design.m - j);
  const bool cheapUnique = metPerTicket <= 20000;

  for (uint64_t attempt = 0; !outOfBudget && best.tickets.size() > target; ++attempt) {
    Rng rng = makeRng(options.seed, attempt);
    CoverState state(design);
    // One attempt in four starts from random tickets, the others from the best
    // wheel less one ticket.
    const size_t size = best.tickets.size() - 1;
    const bool randomStart = attempt % 4 == 3;
    if (!randomStart) {
      std::vector<Mask> tickets = best.tickets;
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

    std::vector<uint32_t> closeTickets;
    auto proposeMove = [&](size_t& index, int& x, int& y) {
      const Mask draw = state.randomUncovered(rng);
      const std::vector<Mask>& tickets = state.tickets();
      state.ticketsMeeting(draw, design.t - 1, closeTickets);
      index = closeTickets.empty() ? uniform(rng, tickets.size()) : closeTickets[uniform(rng, closeTickets.size())];
      const Mask ticket = tickets[index];
      const Mask away = ticket & ~draw, into = draw & ~ticket;
      x = nthBit(away, static_cast<int>(uniform(rng, std::popcount(away))));
      y = nthBit(into, static_cast<int>(uniform(rng, std::popcount(into))));
    };

    // Initial temperature: the average uphill step is accepted half the time.
    double uphill = 0;
    int uphillCount = 0;
    for (int i = 0; i < 200 && state.cost() > 0; ++i) {
      size_t index;
      int x, y;
      proposeMove(index, x, y);
      const int64_t delta = state.evaluate(index, x, y);
      if (delta > 0) uphill += static_cast<double>(delta), ++uphillCount;
    }
    double temperature = uphillCount ? (uphill / uphillCount) / std::log(2.0) : 1.0;
    // A start from the best wheel is already close: heating it fully would
    // only throw that away, so it starts where an average uphill step is
    // accepted about one time in three thousand.
    if (!randomStart) temperature /= 8;
    // Moves per temperature grow with the neighbourhood (tickets x positions
    // in x positions out); cooling by 0.99; ten idle temperatures end a run.
    constexpr double lengthFactor = 0.5, cooling = 0.99;
    constexpr int idleLimit = 10;
    const uint64_t perTemperature = std::max<uint64_t>(500, static_cast<uint64_t>(lengthFactor * state.tickets().size() * design.k * (design.v - design.k)));
    // Progress counts from the end of the first temperature, once the start
    // has been shaken up.
    uint64_t bestCost = UINT64_MAX;
    int idleTemperatures = 0;
    bool warmedUp = false;

    while (idleTemperatures < idleLimit && budgetLeft()) {
      for (uint64_t step = 0; step < perTemperature && budgetLeft(); ++step) {
        if (state.cost() == 0) {
          // A wheel that holds: keep it, then drop the ticket that matters least.
          best.tickets = state.tickets();
          std::sort(best.tickets.begin(), best.tickets.end());
          best.method = "annealing";
          if (options.progress)
            options.progress("found " + std::to_string(best.tickets.size()) + " tickets after " +
                             std::to_string(moves) + " moves");
          if (best.tickets.size() <= target) break;
          size_t drop = uniform(rng, state.tickets().size());
          if (cheapUnique) {
            uint64_t least = UINT64_MAX;
            for (size_t i = 0; i < state.tickets().size(); ++i) {
              const uint64_t unique = state.uniqueCount(i);
              if (unique < least) least = unique, drop = i;
            }
          }
          state.removeTicket(drop);
          bestCost = state.cost();
          idleTemperatures = 0;
        }
        size_t index;
        int x, y;
        proposeMove(index, x, y);
        const int64_t delta = state.evaluate(index, x, y);
        ++moves;
        if (delta <= 0 || std::generate_canonical<double, 53>(rng) < std::exp(-static_cast<double>(delta) / temperature)) {
          state.apply();
          if (warmedUp && state.cost() < bestCost) bestCost = state.cost(), idleTemperatures = -1;
        }
      }
      if (best.tickets.size() <= target) break;
      if (!warmedUp) warmedUp = true, bestCost = state.cost();
      temperature *= cooling;
      ++idleTemperatures;
      if (options.progress && Clock::now() - lastReport > std::chrono::seconds(2)) {
        lastReport = Clock::now();
        options.progress("attempt " + std::to_string(attempt + 1) + ": " + std::to_string(state.tickets().size()) +
                         " tickets, " + std::to_string(state.cost()) + " draws not met, best " +
                         std::to_string(best.tickets.size()) + ", " + std::to_string(moves) + " moves");
      }
    }
  }
  return best;
}

Candidate searchWheel(const Design& design, const SearchOptions& options, const KnownWheels& known) {
  Candidate best = constructWheel(design, known, options.seed);
  if (options.progress && !best.tickets.empty())
    options.progress(best.method + ": " + std::to_string(best.tickets.size()) + " tickets");
  return annealWheel(design, best, options);
}
