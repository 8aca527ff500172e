#include "wheelcore/group.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <set>
#include <unordered_set>

#include "wheelcore/coverstate.h"
#include "wheelcore/field.h"
#include "wheelcore/setcover.h"

using namespace wheelsearch;

namespace {

constexpr uint64_t kMaxSubsets = 4'000'000;
constexpr uint64_t kMaxOrder = 200'000;

// The field of q elements for q a prime power up to 64, and its characteristic.
std::optional<FiniteField> fieldOfOrder(int q, int& characteristic) {
  int n = 0;
  if (q > 64 || !primePower(q, characteristic, n)) return std::nullopt;
  return FiniteField(characteristic, n);
}

std::vector<int> identity(int v) {
  std::vector<int> permutation(static_cast<size_t>(v));
  for (int i = 0; i < v; ++i) permutation[static_cast<size_t>(i)] = i;
  return permutation;
}

// The number of elements, by closing the generators under composition.
uint64_t groupOrder(const PermutationGroup& group) {
  std::set<std::vector<int>> seen{identity(group.v)};
  std::deque<std::vector<int>> queue{identity(group.v)};
  while (!queue.empty() && seen.size() <= kMaxOrder) {
    const std::vector<int> element = queue.front();
    queue.pop_front();
    for (const std::vector<int>& generator : group.generators) {
      std::vector<int> product(element.size());
      for (size_t i = 0; i < element.size(); ++i) product[i] = generator[static_cast<size_t>(element[i])];
      if (seen.insert(product).second) queue.push_back(std::move(product));
    }
  }
  return seen.size();
}

std::string fixedText(int fixed) {
  if (fixed == 0) return "";
  return ", " + std::to_string(fixed) + " fixed";
}

}  // namespace

bool parseGroup(const std::string& text, int v, PermutationGroup& group, std::string& error) {
  std::vector<std::string> parts;
  size_t from = 0;
  while (true) {
    const size_t colon = text.find(':', from);
    parts.push_back(text.substr(from, colon == std::string::npos ? std::string::npos : colon - from));
    if (colon == std::string::npos) break;
    from = colon + 1;
  }
  auto number = [&](const std::string& word, int& value) {
    if (word.empty() || word.size() > 6 || !std::all_of(word.begin(), word.end(), ::isdigit)) {
      error = "group \"" + text + "\": \"" + word + "\" is not a whole number";
      return false;
    }
    value = std::stoi(word);
    return true;
  };
  const std::string& kind = parts[0];
  const bool takesParameter = kind == "affine" || kind == "cycles" || kind == "mult";
  const size_t expected = takesParameter ? 2 : 1;
  const size_t most = kind == "mult" ? expected + 2 : expected + 1;  // mult:A[:F[:S]]
  if (parts.size() < expected || parts.size() > most) {
    error = "group \"" + text + "\": write cyclic[:F], bicyclic[:F], cycles:C[:F], mult:A[:F[:S]], affine:D[:F], psl[:F], pgl[:F] or trivial";
    return false;
  }
  int fixed = 0, parameter = 0, step = 1;
  if (takesParameter && !number(parts[1], parameter)) return false;
  if (parts.size() > expected && !number(parts[expected], fixed)) return false;
  if (parts.size() > expected + 1 && !number(parts[expected + 1], step)) return false;
  const int n = v - fixed;
  if (v < 1 || v > kMaxPositions || fixed >= v) {
    error = "group \"" + text + "\": needs more positions than fixed points (v = " + std::to_string(v) + ")";
    return false;
  }
  group = PermutationGroup{};
  group.v = v;
  auto permutation = [&](auto image) {
    std::vector<int> result = identity(v);
    for (int x = 0; x < n; ++x) result[static_cast<size_t>(x)] = image(x);
    return result;
  };
  if (kind == "cyclic") {
    if (n < 2) {
      error = "group \"" + text + "\": a cycle needs at least 2 positions";
      return false;
    }
    group.generators.push_back(permutation([&](int x) { return (x + 1) % n; }));
    group.name = "cyclic on " + std::to_string(n) + " positions" + fixedText(fixed);
  } else if (kind == "bicyclic" || kind == "cycles") {
    const int cycles = kind == "bicyclic" ? 2 : parameter;
    if (cycles < 1 || n % cycles != 0 || n / cycles < 2) {
      error = "group \"" + text + "\": " + std::to_string(cycles) + " cycles of at least 2 positions each do not fit " +
              std::to_string(n) + " moved positions";
      return false;
    }
    const int length = n / cycles;
    group.generators.push_back(permutation([&](int x) { return x - x % length + (x % length + 1) % length; }));
    group.name = (kind == "bicyclic" ? std::string("two") : std::to_string(cycles)) + " cycles of " +
                 std::to_string(length) + " positions" + fixedText(fixed);
  } else if (kind == "mult") {
    // The cycle together with a multiplier: x -> x + 1 and x -> A x mod n.
    // For a prime n this is an affine group; for the other n it is not.
    // With a step S, the turn is x -> x + S, which leaves S cycles of n / S
    // positions that the multiplier may mix (it keeps the multiples of S).
    // A multiplier of 1 leaves the turn alone: a subgroup of the others,
    // under which a wheel found with a multiplier is still invariant.
    if (n < 3 || parameter < 1 || parameter >= n || std::gcd(parameter, n) != 1) {
      error = "group \"" + text + "\": the multiplier must be between 1 and " + std::to_string(n - 1) +
              " and share no factor with " + std::to_string(n);
      return false;
    }
    // A step of n itself turns nothing: the multiplier alone, whose orbits
    // are the smallest of all.
    if (step < 1 || n % step != 0 || (n / step < 2 && step != n)) {
      error = "group \"" + text + "\": the step must divide " + std::to_string(n) +
              " and leave cycles of 2 or more, or be " + std::to_string(n) + " for no turn";
      return false;
    }
    if (step < n) group.generators.push_back(permutation([&](int x) { return (x + step) % n; }));
    if (parameter > 1) group.generators.push_back(permutation([&](int x) { return x * parameter % n; }));
    group.name = step == n ? "multiplier " + std::to_string(parameter) + " on " + std::to_string(n) + " positions" +
                                 fixedText(fixed)
                           : "cyclic on " + std::to_string(n) + " positions" +
                                 (step > 1 ? " turned by " + std::to_string(step) : std::string()) +
                                 (parameter > 1 ? " with multiplier " + std::to_string(parameter) : std::string()) +
                                 fixedText(fixed);
  } else if (kind == "trivial") {
    // No symmetry: every ticket is its own orbit. The set-cover search then
    // runs on the whole space, which pays off on small designs.
    group.name = "the trivial group";
  } else if (kind == "affine") {
    int characteristic = 0;
    const std::optional<FiniteField> field = fieldOfOrder(n, characteristic);
    if (!field) {
      error = "group \"" + text + "\": the affine group needs a prime power of moved positions (up to 64), not " +
              std::to_string(n);
      return false;
    }
    if (parameter < 1 || (n - 1) % parameter != 0) {
      error = "group \"" + text + "\": D must divide " + std::to_string(n - 1);
      return false;
    }
    // Translations by each basis element of the field over its prime field,
    // and multiplication by an element of order D.
    for (int basis = 1; basis < n; basis *= characteristic)
      group.generators.push_back(permutation([&](int x) { return field->add(x, basis); }));
    const int multiplier = field->power(field->primitiveElement(), (n - 1) / parameter);
    if (parameter > 1) group.generators.push_back(permutation([&](int x) { return field->mul(x, multiplier); }));
    group.name = (parameter == 1 ? "the translations of GF(" + std::to_string(n) + ")"
                                 : "x -> ax + b over GF(" + std::to_string(n) + "), a of order dividing " +
                                       std::to_string(parameter)) +
                 fixedText(fixed);
  } else if (kind == "psl" || kind == "pgl") {
    const int q = n - 1;
    int characteristic = 0;
    const std::optional<FiniteField> field = fieldOfOrder(q, characteristic);
    if (!field || q < 3) {
      error = "group \"" + text + "\": the projective line needs a prime power q with q + 1 = " + std::to_string(n);
      return false;
    }
    // Position q stands for the point at infinity. PSL differs from PGL only
    // in odd characteristic, where its multipliers are the squares.
    const int infinity = q;
    const int root = field->primitiveElement();
    const int multiplier = kind == "pgl" || characteristic == 2 ? root : field->mul(root, root);
    for (int basis = 1; basis < q; basis *= characteristic)
      group.generators.push_back(permutation([&](int x) { return x == infinity ? infinity : field->add(x, basis); }));
    group.generators.push_back(permutation([&](int x) { return x == infinity ? infinity : field->mul(x, multiplier); }));
    group.generators.push_back(permutation([&](int x) {
      if (x == infinity) return 0;
      if (x == 0) return infinity;
      return field->neg(field->inv(x));  // -1/x
    }));
    group.name = std::string(kind == "pgl" ? "PGL" : "PSL") + "(2," + std::to_string(q) + ") on the projective line" +
                 fixedText(fixed);
  } else {
    error = "group \"" + text + "\": unknown kind \"" + kind + "\" (cyclic, bicyclic, cycles, mult, affine, psl, pgl, trivial)";
    return false;
  }
  group.order = groupOrder(group);
  return true;
}

uint64_t applyPermutation(const std::vector<int>& permutation, uint64_t mask) {
  uint64_t image = 0;
  for (; mask; mask &= mask - 1) image |= bit(permutation[static_cast<size_t>(std::countr_zero(mask))]);
  return image;
}

std::vector<uint64_t> orbitOfSet(const PermutationGroup& group, uint64_t mask) {
  std::vector<uint64_t> orbit{mask};
  std::unordered_set<uint64_t> seen{mask};
  for (size_t i = 0; i < orbit.size(); ++i)
    for (const std::vector<int>& generator : group.generators) {
      const uint64_t image = applyPermutation(generator, orbit[i]);
      if (seen.insert(image).second) orbit.push_back(image);
    }
  std::sort(orbit.begin(), orbit.end());
  return orbit;
}

namespace {

SubsetOrbits orbitTable(const PermutationGroup& group, int m) {
  const SubsetRanker ranker(group.v, m);
  SubsetOrbits orbits;
  constexpr uint32_t kUnset = UINT32_MAX;
  orbits.orbitOf.assign(ranker.count(), kUnset);
  orbits.members.reserve(ranker.count());
  std::vector<uint32_t> queue;
  for (uint64_t start = 0; start < ranker.count(); ++start) {
    if (orbits.orbitOf[start] != kUnset) continue;
    const uint32_t id = static_cast<uint32_t>(orbits.firstMember.size());
    orbits.firstMember.push_back(static_cast<uint32_t>(orbits.members.size()));
    orbits.orbitOf[start] = id;
    orbits.members.push_back(static_cast<uint32_t>(start));
    for (size_t i = orbits.firstMember.back(); i < orbits.members.size(); ++i) {
      const Mask subset = ranker.unrank(orbits.members[i]);
      for (const std::vector<int>& generator : group.generators) {
        const uint64_t image = ranker.rank(applyPermutation(generator, subset));
        if (orbits.orbitOf[image] == kUnset) {
          orbits.orbitOf[image] = id;
          orbits.members.push_back(static_cast<uint32_t>(image));
        }
      }
    }
  }
  orbits.firstMember.push_back(static_cast<uint32_t>(orbits.members.size()));
  return orbits;
}

std::vector<Mask> expandOrbits(const PermutationGroup& group, const std::vector<Mask>& representatives) {
  std::set<Mask> wheel;
  for (Mask representative : representatives)
    for (Mask ticket : orbitOfSet(group, representative)) wheel.insert(ticket);
  return {wheel.begin(), wheel.end()};
}

// The union of the orbits of `representatives`, its redundant tickets
// removed, becomes `best` where it is smaller; true once `best` is as small as
// the search's target (the lower bound unless one is given).
bool keepSmallerOrbitWheel(const Design& design, const PermutationGroup& group, const SearchOptions& options,
                           const std::string& search, const std::vector<Mask>& representatives, Rng& rng,
                           Candidate& best) {
  std::vector<Mask> wheel = pruneRedundant(design, expandOrbits(group, representatives), rng);
  if (best.tickets.empty() || wheel.size() < best.tickets.size()) {
    best.tickets = std::move(wheel);
    // Without symmetry every ticket is an orbit of its own.
    best.method = group.order == 1 ? search.substr(0, search.find(" over ")) + " over every ticket"
                                   : search + ", invariant under " + group.name;
    if (options.progress)
      options.progress(std::to_string(representatives.size()) + " orbits give " + std::to_string(best.tickets.size()) +
                       " tickets");
  }
  return best.tickets.size() <= (options.target ? options.target : designLowerBound(design));
}

}  // namespace

SubsetOrbits subsetOrbitTable(const PermutationGroup& group, int m) { return orbitTable(group, m); }

std::vector<std::vector<uint64_t>> subsetOrbits(const PermutationGroup& group, int m) {
  const SubsetOrbits table = orbitTable(group, m);
  const SubsetRanker ranker(group.v, m);
  std::vector<std::vector<uint64_t>> result(table.orbitCount());
  for (size_t id = 0; id < table.orbitCount(); ++id)
    for (uint32_t i = table.firstMember[id]; i < table.firstMember[id + 1]; ++i)
      result[id].push_back(ranker.unrank(table.members[i]));
  for (auto& orbit : result) std::sort(orbit.begin(), orbit.end());
  return result;
}

bool groupSearchApplies(const Design& design, const PermutationGroup& group, std::string& error) {
  if (group.v != design.v) {
    error = "the group acts on " + std::to_string(group.v) + " positions, the design has " + std::to_string(design.v);
    return false;
  }
  if (design.t < 2 || design.v <= design.k) {
    error = describeDesign(design) + " needs no search";
    return false;
  }
  if (binomial(design.v, design.m) > kMaxSubsets) {
    error = describeDesign(design) + ": too many draws for the search";
    return false;
  }
  return true;
}

bool invariantWheelHolds(const Design& design, const PermutationGroup& group,
                         const std::vector<uint64_t>& representatives) {
  if (representatives.empty()) return false;
  const SubsetOrbits orbits = orbitTable(group, design.m);
  CoverState state(design, &orbits);
  for (Mask representative : representatives) {
    if (std::popcount(representative) != design.k || (representative & ~allPositions(design.v))) return false;
    state.addTicket(representative, false);
  }
  state.rebuildUncovered();
  return state.cost() == 0;
}

Candidate searchInvariantWheel(const Design& design, const PermutationGroup& group, const SearchOptions& options) {
  Candidate best;
  const SubsetOrbits orbits = orbitTable(group, design.m);
  const SubsetRanker ranker(design.v, design.m);
  Rng rng = makeRng(options.seed, 0x67726f75);

  // A first covering: for each orbit nobody meets yet, a random k-set that
  // holds its first member (or lies inside it when m > k).
  std::vector<Mask> start;
  {
    CoverState state(design, &orbits);
    state.rebuildUncovered();
    const std::vector<int> all = positionsOf(allPositions(design.v));
    while (state.cost() > 0) {
      const Mask draw = state.randomUncovered(rng);
      std::vector<int> inside = positionsOf(draw), outside = positionsOf(allPositions(design.v) & ~draw);
      std::shuffle(inside.begin(), inside.end(), rng);
      std::shuffle(outside.begin(), outside.end(), rng);
      Mask ticket = 0;
      for (int i = 0; i < std::min(design.k, design.m); ++i) ticket |= bit(inside[static_cast<size_t>(i)]);
      for (int i = 0; std::popcount(ticket) < design.k; ++i) ticket |= bit(outside[static_cast<size_t>(i)]);
      state.addTicket(ticket);
      start.push_back(ticket);
    }
  }
  auto record = [&](const std::vector<Mask>& representatives) {
    return keepSmallerOrbitWheel(design, group, options, "annealing", representatives, rng, best);
  };
  // A lotto design counts its met orbits through the orbits of t-subsets.
  std::unique_ptr<SupersetTable> supersets;
  if (design.t < design.m) supersets = std::make_unique<SupersetTable>(design, orbits, orbitTable(group, design.t));
  const AnnealCounters counters = annealUnits(design, &orbits, supersets.get(), start, options, record);
  if (options.stats) options.stats->add(counters.moves, counters.cpuSeconds);
  if (!best.tickets.empty() && !designHolds(design, best.tickets)) best = Candidate{};
  return best;
}

Candidate coverInvariantWheel(const Design& design, const PermutationGroup& group, const SearchOptions& options) {
  Candidate best;
  const SubsetOrbits draws = orbitTable(group, design.m);
  const SubsetRanker drawRanker(design.v, design.m);
  // One set per orbit of k-sets, one member standing for it: the orbits of
  // draws it meets in t positions or more.
  const SubsetOrbits ticketOrbits = orbitTable(group, design.k);
  const SubsetRanker ticketRanker(design.v, design.k);
  const uint64_t pairs = metPerTicket(design) * ticketOrbits.orbitCount();
  if (pairs > options.coverLimit) {
    if (options.progress)
      options.progress("the set cover would list " + std::to_string(pairs) + " ticket-draw pairs, more than " +
                       std::to_string(options.coverLimit) + " (--cover-limit)");
    return best;
  }
  SetCoverInstance instance;
  instance.elementCount = static_cast<uint32_t>(draws.orbitCount());
  std::vector<Mask> representatives;
  std::vector<uint32_t> met;
  for (size_t orbit = 0; orbit < ticketOrbits.orbitCount(); ++orbit) {
    const Mask ticket = ticketRanker.unrank(ticketOrbits.members[ticketOrbits.firstMember[orbit]]);
    representatives.push_back(ticket);
    met.clear();
    const std::vector<int> inside = positionsOf(ticket), outside = positionsOf(allPositions(design.v) & ~ticket);
    for (int j = design.t; j <= std::min(design.k, design.m); ++j)
      forEachSubset(inside, j, [&](Mask common) {
        forEachSubset(outside, design.m - j,
                      [&](Mask rest) { met.push_back(draws.orbitOf[drawRanker.rank(common | rest)]); });
      });
    // By tickets, an orbit costs its size: under a cycle with fixed
    // positions, or on positions with divisors, orbits differ in size.
    instance.addSet(met, options.coverByTickets ? ticketOrbits.firstMember[orbit + 1] - ticketOrbits.firstMember[orbit] : 1);
  }
  Rng rng = makeRng(options.seed, 0x636f7672);
  auto record = [&](const std::vector<uint32_t>& cover) {
    std::vector<Mask> chosen;
    for (uint32_t s : cover) chosen.push_back(representatives[s]);
    return keepSmallerOrbitWheel(design, group, options,
                                 options.coverByTickets ? "set cover over orbits by tickets" : "set cover over orbits",
                                 chosen, rng, best);
  };
  SetCoverOptions coverOptions;
  coverOptions.seed = options.seed;
  coverOptions.seconds = options.seconds;
  coverOptions.steps = options.moves;
  coverOptions.progress = options.progress;
  for (Mask ticket : options.coverFrom)
    if (std::popcount(ticket) == design.k && !(ticket & ~allPositions(design.v)))
      coverOptions.start.push_back(static_cast<uint32_t>(ticketOrbits.orbitOf[ticketRanker.rank(ticket)]));
  const double startCpu = threadCpuSeconds();
  const uint64_t steps = searchSetCover(instance, coverOptions, record);
  if (options.stats) options.stats->add(steps, threadCpuSeconds() - startCpu);
  if (!best.tickets.empty() && !designHolds(design, best.tickets)) best = Candidate{};
  return best;
}
