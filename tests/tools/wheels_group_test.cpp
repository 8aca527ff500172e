// The group-invariant search: orbits partition the draws, coverage judged on
// orbits agrees with the plain exhaustive check, and the search reaches the
// exact sizes of designs known to be fixed by a cycle.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "wheelcore/group.h"
#include "wheelcore/search.h"
#include "wheelcore/setcover.h"

namespace {

PermutationGroup group(const std::string& text, int v) {
  PermutationGroup result;
  std::string error;
  EXPECT_TRUE(parseGroup(text, v, result, error)) << error;
  return result;
}

std::vector<uint64_t> expand(const PermutationGroup& g, const std::vector<uint64_t>& representatives) {
  std::set<uint64_t> wheel;
  for (uint64_t r : representatives)
    for (uint64_t ticket : orbitOfSet(g, r)) wheel.insert(ticket);
  return {wheel.begin(), wheel.end()};
}

}  // namespace

TEST(WheelGroups, OrdersAndRefusals) {
  EXPECT_EQ(group("cyclic", 13).order, 13u);
  EXPECT_EQ(group("cyclic:2", 13).order, 11u);
  EXPECT_EQ(group("bicyclic:1", 13).order, 6u);
  EXPECT_EQ(group("cycles:3:1", 13).order, 4u);
  EXPECT_EQ(group("affine:5", 11).order, 55u);
  EXPECT_EQ(group("affine:10:2", 13).order, 110u);
  EXPECT_EQ(group("psl", 12).order, 660u);   // PSL(2,11)
  EXPECT_EQ(group("pgl:1", 13).order, 1320u);  // PGL(2,11), one fixed position
  // Fields of prime-power order.
  EXPECT_EQ(group("affine:15", 16).order, 240u);  // AGL(1,16)
  EXPECT_EQ(group("affine:1:1", 26).order, 25u);  // the translations of GF(25)
  EXPECT_EQ(group("affine:13", 27).order, 351u);
  EXPECT_EQ(group("psl", 10).order, 360u);        // PSL(2,9)
  EXPECT_EQ(group("pgl", 10).order, 720u);
  EXPECT_EQ(group("psl", 9).order, 504u);         // PSL(2,8) = PGL(2,8)
  // A multiplier mod a composite n: 2 has order 6 mod 21, 4 order 3.
  EXPECT_EQ(group("mult:2:1", 22).order, 126u);
  EXPECT_EQ(group("mult:4:1", 22).order, 63u);
  EXPECT_EQ(group("mult:4:1:3", 22).order, 21u);  // turned by 3: 7 steps
  EXPECT_EQ(group("mult:2:1:21", 22).order, 6u);   // no turn: the multiplier alone
  EXPECT_EQ(group("trivial", 13).order, 1u);
  EXPECT_EQ(group("mult:1:1:3", 22).order, 7u);  // the turn by 3 alone
  PermutationGroup g;
  std::string error;
  EXPECT_FALSE(parseGroup("affine:4", 12, g, error));  // 12 is not a prime power
  EXPECT_FALSE(parseGroup("affine:3", 11, g, error));  // 3 does not divide 10
  EXPECT_FALSE(parseGroup("psl", 13, g, error));       // 12 is not a prime power
  EXPECT_FALSE(parseGroup("cyclic:13", 13, g, error));
  EXPECT_FALSE(parseGroup("cyclic:x", 13, g, error));
  EXPECT_FALSE(parseGroup("cycles:5", 13, g, error));  // 13 positions do not split into 5 cycles
  EXPECT_FALSE(parseGroup("spiral", 13, g, error));
  EXPECT_FALSE(parseGroup("mult:3:1", 22, g, error));  // 3 is not a unit mod 21
  EXPECT_FALSE(parseGroup("mult:0", 22, g, error));
  EXPECT_FALSE(parseGroup("mult:2:1:4", 22, g, error));  // 4 does not divide 21
}

TEST(WheelGroups, OrbitsPartitionTheDrawsAndAreClosed) {
  for (const char* text : {"cyclic:1", "bicyclic", "cycles:3:2", "affine:3:1", "psl:2", "affine:2:5", "psl:4", "mult:5:2", "mult:5:2:2", "mult:3:1:13"}) {
    const PermutationGroup g = group(text, 14);
    const std::vector<std::vector<uint64_t>> orbits = subsetOrbits(g, 4);
    std::set<uint64_t> seen;
    for (const auto& orbit : orbits) {
      for (uint64_t member : orbit) {
        EXPECT_TRUE(seen.insert(member).second) << text << ": a draw in two orbits";
        for (const auto& generator : g.generators) {
          const uint64_t image = applyPermutation(generator, member);
          EXPECT_TRUE(std::binary_search(orbit.begin(), orbit.end(), image)) << text << ": orbit not closed";
        }
      }
    }
    EXPECT_EQ(seen.size(), binomial(14, 4)) << text;
  }
}

TEST(WheelGroups, OrbitCoverageAgreesWithTheExhaustiveCheck) {
  // Random orbit representatives: the union of their orbits holds exactly
  // when every orbit of draws has a member that one representative meets.
  std::mt19937_64 rng(5);
  const Design designs[] = {{13, 5, 3, 4}, {12, 6, 4, 4}, {14, 5, 3, 5}};
  int holding = 0, failing = 0;
  for (const Design& design : designs)
    for (const std::string text : {"cyclic", "cyclic:1", design.v % 2 ? "bicyclic:1" : "bicyclic:2"}) {
      const PermutationGroup g = group(text, design.v);
      for (int trial = 0; trial < 40; ++trial) {
        std::vector<uint64_t> representatives;
        const int count = 2 + static_cast<int>(rng() % 6);
        for (int i = 0; i < count; ++i) {
          uint64_t ticket = 0;
          while (std::popcount(ticket) < design.k) ticket |= uint64_t{1} << (rng() % design.v);
          representatives.push_back(ticket);
        }
        const bool byOrbits = invariantWheelHolds(design, g, representatives);
        EXPECT_EQ(byOrbits, designHolds(design, expand(g, representatives))) << describeDesign(design) << " " << text;
        (byOrbits ? holding : failing)++;
      }
    }
  // Both answers occur, so the agreement says something.
  EXPECT_GT(holding, 10);
  EXPECT_GT(failing, 10);
}

TEST(WheelGroups, SearchReachesCyclicDesigns) {
  struct Case { Design design; const char* group; size_t exact; };
  const Case cases[] = {
      {{7, 3, 2, 2}, "cyclic", 7},      // the Fano plane
      {{13, 4, 2, 2}, "cyclic", 13},    // the projective plane of order 3
      {{21, 5, 2, 2}, "cyclic", 21},    // the projective plane of order 4
      {{11, 5, 4, 4}, "cyclic", 66},    // the Steiner system S(4,5,11)
      {{8, 4, 3, 3}, "trivial", 14},    // S(3,4,8), searched on the whole space
  };
  for (const Case& c : cases) {
    SearchOptions options;
    options.moves = 2'000'000;
    options.seed = 3;
    // Annealing over orbit representatives, and the set cover over all orbits.
    for (const Candidate& found : {searchInvariantWheel(c.design, group(c.group, c.design.v), options),
                                   coverInvariantWheel(c.design, group(c.group, c.design.v), options)}) {
      EXPECT_EQ(found.tickets.size(), c.exact) << describeDesign(c.design) << " (" << found.method << ")";
      EXPECT_TRUE(designHolds(c.design, found.tickets)) << describeDesign(c.design);
    }
  }
  // Started from a held wheel, the set cover keeps it: one step from the
  // cyclic S(4,5,11) over the whole space ends where it began, not at the
  // greedy cover.
  {
    const Design steiner{11, 5, 4, 4};
    SearchOptions cyclic;
    cyclic.moves = 2'000'000;
    cyclic.seed = 3;
    SearchOptions held;
    held.moves = 1;
    held.coverFrom = coverInvariantWheel(steiner, group("cyclic", 11), cyclic).tickets;
    ASSERT_EQ(held.coverFrom.size(), 66u);
    const Candidate kept = coverInvariantWheel(steiner, group("trivial", 11), held);
    EXPECT_EQ(kept.tickets.size(), 66u);
    EXPECT_TRUE(designHolds(steiner, kept.tickets));
    // S(4,5,11) over the whole space lists 462 tickets of 5 draws each:
    // one pair under the limit it is refused, not searched.
    held.coverLimit = 462 * 5 - 1;
    EXPECT_TRUE(coverInvariantWheel(steiner, group("trivial", 11), held).tickets.empty());
  }
  // A lotto design, and a group with a fixed position and orbits of
  // different sizes: the listed orbits must still give a wheel that holds.
  SearchOptions options;
  options.moves = 20'000;
  const Design lotto{15, 5, 3, 5};
  SearchOptions byTickets = options;
  byTickets.coverByTickets = true;
  for (const char* text : {"cyclic:1", "cycles:2:1"}) {
    const Candidate found = coverInvariantWheel(lotto, group(text, 15), options);
    ASSERT_FALSE(found.tickets.empty()) << text;
    EXPECT_TRUE(designHolds(lotto, found.tickets)) << text;
    EXPECT_LE(found.tickets.size(), searchInvariantWheel(lotto, group(text, 15), options).tickets.size()) << text;
    const Candidate weighed = coverInvariantWheel(lotto, group(text, 15), byTickets);
    ASSERT_FALSE(weighed.tickets.empty()) << text;
    EXPECT_TRUE(designHolds(lotto, weighed.tickets)) << text;
  }
  // A multiplier group: orbits of several sizes, and more than the cycle's.
  const Candidate multiplied = coverInvariantWheel(lotto, group("mult:3:1", 15), byTickets);
  ASSERT_FALSE(multiplied.tickets.empty());
  EXPECT_TRUE(designHolds(lotto, multiplied.tickets));
}

// With costs, the cheapest cover wins over the one with fewest sets: one set
// holding everything at cost 5 against three sets of cost 1 that share the work.
TEST(WheelGroups, SetCoverKeepsTheCheapestCover) {
  SetCoverInstance instance;
  instance.elementCount = 6;
  instance.addSet({0, 1, 2, 3, 4, 5}, 5);
  instance.addSet({0, 1}, 1);
  instance.addSet({2, 3}, 1);
  instance.addSet({4, 5}, 1);
  instance.addSet({1, 2, 4}, 2);
  SetCoverOptions options;
  options.steps = 2000;
  std::vector<uint32_t> last;
  searchSetCover(instance, options, [&](const std::vector<uint32_t>& cover) {
    last = cover;
    return false;
  });
  std::sort(last.begin(), last.end());
  EXPECT_EQ(last, (std::vector<uint32_t>{1, 2, 3}));
}
