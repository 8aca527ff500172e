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

#include "wheelcore/coverstate.h"
#include "wheelcore/designs.h"

namespace {

using namespace wheelsearch;

constexpr uint64_t kMaxSubsets = 4'000'000;

// Pads a ticket to k positions with the lowest positions it lacks.
Mask padTicket(Mask ticket, int k, int v) {
  for (int p = 0; p < v && std::popcount(ticket) < k; ++p) ticket |= bit(p);
  return ticket;
}

// Greedy covering (m = t): start each ticket from a t-subset nobody covers
// yet and add the positions that cover most uncovered t-subsets.
std::vector<Mask> greedyCovering(const Design& design, Rng& rng) {
  const int v = design.v, k = design.k, t = design.t;
  const SubsetRanker ranker(v, t);
  const uint64_t total = ranker.count();
  std::vector<bool> covered(total, false);
  uint64_t left = total;
  auto rank = [&](Mask subset) { return ranker.rank(subset); };
  auto unrank = [&](uint64_t r) { return ranker.unrank(r); };
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

// Blocks of at most `size` positions out of `points` such that every
// `strength`-subset lies in one of them: the pieces of productCovering.
// Empty when none is known.
std::vector<Mask> coveringPiece(int points, int size, int strength, const KnownWheels& known) {
  if (strength == 0) return {0};
  if (strength > size) return {};
  if (size >= points) return {allPositions(points)};
  if (strength == 1) {  // blocks side by side; needs nothing known
    std::vector<Mask> blocks;
    for (int from = 0; from < points; from += size) blocks.push_back(allPositions(std::min(from + size, points)) & ~allPositions(from));
    return blocks;
  }
  return known(Design{points, size, strength, strength});
}

// The candidate without the tickets it does not need.
Candidate pruned(const Design& design, Candidate candidate, Rng& rng) {
  if (!candidate.tickets.empty()) candidate.tickets = pruneRedundant(design, std::move(candidate.tickets), rng);
  return candidate;
}

void keepSmaller(Candidate& best, Candidate candidate) {
  if (candidate.tickets.empty()) return;
  if (best.tickets.empty() || candidate.tickets.size() < best.tickets.size()) best = std::move(candidate);
}

}  // namespace

// Drops tickets that meet no m-subset alone, in random order.
std::vector<Mask> wheelsearch::pruneRedundant(const Design& design, std::vector<Mask> tickets, Rng& rng) {
  std::sort(tickets.begin(), tickets.end());
  tickets.erase(std::unique(tickets.begin(), tickets.end()), tickets.end());
  if (binomial(design.v, design.m) > kMaxSubsets) return tickets;
  CoverState state(design, nullptr);
  std::shuffle(tickets.begin(), tickets.end(), rng);
  for (Mask ticket : tickets) state.addTicket(ticket, false);
  for (size_t i = state.tickets().size(); i-- > 0;)
    if (state.uniqueCount(i) == 0) state.removeTicket(i);
  std::vector<Mask> kept = state.tickets();
  std::sort(kept.begin(), kept.end());
  return kept;
}

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

// Positions added to two smaller wheels: the draws without the last s
// positions are met by a wheel "t if m" on the others. A draw holding j >= 1
// of them has m - j positions among the others, which a wheel "t-1 if m-1"
// there meets in t - j (any j - 1 more positions make m - 1 of them), so its
// tickets of k - s with the s positions added meet the draw in t. For
// coverings and s = 1, C(v,k,t) <= C(v-1,k,t) + C(v-1,k-1,t-1).
Candidate extendedWheel(const Design& design, const KnownWheels& known) {
  Candidate best;
  const int v = design.v, k = design.k, t = design.t, m = design.m;
  if (t < 2) return best;
  for (int s = 1; k - s >= m - 1 && v - s > k; ++s) {
    const std::vector<Mask> rest = known(Design{v - s, k, t, m});
    const std::vector<Mask> withLast = known(Design{v - s, k - s, t - 1, m - 1});
    if (rest.empty() || withLast.empty()) continue;
    if (!best.tickets.empty() && rest.size() + withLast.size() >= best.tickets.size()) continue;
    best.tickets = rest;
    const Mask last = allPositions(v) & ~allPositions(v - s);
    for (Mask ticket : withLast) best.tickets.push_back(ticket | last);
    const std::string others = " of " + std::to_string(v - s);
    best.method = "construction: " + formulaText(t, m) + others + " and " + formulaText(t - 1, m - 1) + others +
                  " in tickets of " + std::to_string(k - s) + " with the last " +
                  (s == 1 ? std::string("position") : std::to_string(s) + " positions");
  }
  return best;
}

// Two groups of positions, a and v - a: a t-subset with i positions in the
// first group lies in a ticket made of a block of j positions that covers the
// i-subsets of the first group and one of k - j positions that covers the
// (t - i)-subsets of the second; for each i the j giving fewest tickets.
Candidate productCovering(const Design& design, const KnownWheels& known) {
  Candidate best;
  const int v = design.v, k = design.k, t = design.t;
  if (t != design.m || t < 2 || v <= k + 1) return best;
  size_t bestSize = 0;
  int bestA = 0;
  std::vector<int> bestSplit;
  for (int a = 2; a <= v / 2; ++a) {
    size_t total = 0;
    std::vector<int> split;
    for (int i = 0; i <= t && (bestSize == 0 || total < bestSize); ++i) {
      size_t fewest = 0;
      int chosen = -1;
      for (int j = i; j <= k - (t - i); ++j) {
        const size_t first = coveringPiece(a, j, i, known).size(), second = coveringPiece(v - a, k - j, t - i, known).size();
        if (first && second && (chosen < 0 || first * second < fewest)) fewest = first * second, chosen = j;
      }
      if (chosen < 0) {
        total = 0;
        break;
      }
      total += fewest;
      split.push_back(chosen);
    }
    if (static_cast<int>(split.size()) == t + 1 && (bestSize == 0 || total < bestSize))
      bestSize = total, bestA = a, bestSplit = split;
  }
  if (bestSize == 0 || bestSize > 200'000) return best;
  const int a = bestA;
  for (int i = 0; i <= t; ++i) {
    const int j = bestSplit[i];
    for (Mask first : coveringPiece(a, j, i, known))
      for (Mask second : coveringPiece(v - a, k - j, t - i, known)) best.tickets.push_back(padTicket(first | second << a, k, v));
  }
  best.method = "construction: product of coverings on " + std::to_string(a) + " and " + std::to_string(v - a) +
                " positions";
  return best;
}

Candidate shortenedWheel(const Design& design, const std::vector<uint64_t>& longer, uint64_t seed) {
  Candidate result;
  if (longer.empty() || design.v >= 64) return result;  // the longer wheel has 65 positions or more
  const Mask last = bit(design.v);
  std::set<Mask> seen;
  for (Mask ticket : longer) {
    if (ticket & last) {
      ticket &= ~last;
      for (int p = 0; p < design.v; ++p)
        if (!(ticket & bit(p)) && !seen.count(ticket | bit(p))) {
          ticket |= bit(p);
          break;
        }
      if (std::popcount(ticket) < design.k) continue;  // every filling is held already
    }
    if (seen.insert(ticket).second) result.tickets.push_back(ticket);
  }
  Rng rng = makeRng(seed, 0x73686f72);
  result.tickets = pruneRedundant(design, std::move(result.tickets), rng);
  result.method = "construction: " + formulaText(design.t, design.m) + " of " + std::to_string(design.v + 1) +
                  " with the last position taken out";
  return result;
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
    keepSmaller(best, pruned(design, extendedWheel(design, known), rng));
    keepSmaller(best, pruned(design, productCovering(design, known), rng));
    const int tries = binomial(v, t) > 20000 ? 2 : 6;
    for (int i = 0; i < tries; ++i) keepSmaller(best, {pruneRedundant(design, greedyCovering(design, rng), rng), "greedy"});
  } else {
    keepSmaller(best, pruned(design, unionWheel(design, known), rng));
    keepSmaller(best, pruned(design, extendedWheel(design, known), rng));
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
  // Pairs of draws ranked per move; a lotto design counted through its
  // t-subsets pays a few instructions per draw instead of a ranking.
  const uint64_t perMove = 2 * binomial(design.k - 1, design.t - 1) * binomial(design.v - design.k - 1, design.m - design.t);
  if (perMove <= 6000) return true;
  return SupersetTable::fits(design) &&
         2 * binomial(design.k - 1, design.t - 1) * binomial(design.v - design.t, design.m - design.t) <= 200'000;
}

Candidate annealWheel(const Design& design, const Candidate& start, const SearchOptions& options) {
  Candidate best = start;
  if (!annealingApplies(design) || start.tickets.empty()) return best;
  const uint64_t target = std::max<uint64_t>(options.target ? options.target : designLowerBound(design), 1);
  if (best.tickets.size() <= target) return best;
  // A lotto design counts its met draws through its t-subsets.
  std::unique_ptr<SupersetTable> supersets;
  if (SupersetTable::fits(design)) supersets = std::make_unique<SupersetTable>(design);
  const AnnealCounters counters = annealUnits(design, nullptr, supersets.get(), start.tickets, options,
                                              [&](const std::vector<Mask>& tickets) {
    if (tickets.size() < best.tickets.size()) {
      best.tickets = tickets;
      std::sort(best.tickets.begin(), best.tickets.end());
      best.method = "annealing";
    }
    return best.tickets.size() <= target;
  });
  if (options.stats) options.stats->add(counters.moves, counters.cpuSeconds);
  return best;
}

Candidate searchWheel(const Design& design, const SearchOptions& options, const KnownWheels& known) {
  Candidate best = constructWheel(design, known, options.seed);
  if (options.progress && !best.tickets.empty())
    options.progress(best.method + ": " + std::to_string(best.tickets.size()) + " tickets");
  return annealWheel(design, best, options);
}
