// Constructions and searches reach the known least sizes on small cases, and
// the wheels they give hold under the verifier.
#include <gtest/gtest.h>

#include <bit>

#include "wheelcore/coverstate.h"
#include "wheelcore/designs.h"
#include "wheelcore/group.h"
#include "wheelcore/search.h"

namespace {

Candidate search(const Design& design, uint64_t moves, uint64_t seed = 1) {
  SearchOptions options;
  options.seed = seed;
  options.moves = moves;
  return searchWheel(design, options, constructedWheels(seed));
}

}  // namespace

TEST(WheelSearch, ReachesExactCoveringSizes) {
  struct Case { Design design; uint64_t exact; };
  const Case cases[] = {
      {{7, 3, 2, 2}, 7},     // the Fano plane
      {{9, 3, 2, 2}, 12},    // the affine plane of order 3
      {{10, 5, 2, 2}, 6},
      {{8, 5, 4, 4}, 20},
      {{11, 6, 3, 3}, 11},
      {{12, 6, 3, 3}, 15},
      {{9, 7, 4, 4}, 6},
  };
  for (const Case& c : cases) {
    const Candidate found = search(c.design, 3'000'000);
    EXPECT_EQ(found.tickets.size(), c.exact) << describeDesign(c.design) << " (" << found.method << ")";
    EXPECT_TRUE(designHolds(c.design, found.tickets)) << describeDesign(c.design);
  }
}

TEST(WheelSearch, SameSeedSameWheel) {
  const Design design{13, 5, 3, 3};
  const Candidate first = search(design, 200'000, 7);
  const Candidate second = search(design, 200'000, 7);
  EXPECT_EQ(first.tickets, second.tickets);
  EXPECT_TRUE(designHolds(design, first.tickets));
}

TEST(WheelSearch, LottoDesignsComeFromSmallerCoverings) {
  // "2 if 3 of 9", tickets of 3: every three positions must hold a pair of one
  // ticket, so the pairs no ticket holds may form no triangle. Splitting the
  // positions 4 + 5 and covering the pairs of each group (3 + 4 tickets) does
  // it; covering the pairs of the first 8 positions (11 tickets) is worse.
  const Design lotto{9, 3, 2, 3};
  const Candidate built = constructWheel(lotto, constructedWheels(1), 1);
  EXPECT_TRUE(designHolds(lotto, built.tickets));
  EXPECT_EQ(built.tickets.size(), 7u) << built.method;
  // The annealing never returns a wheel that fails, and never a larger one.
  const Design harder{14, 5, 3, 5};
  const Candidate start = constructWheel(harder, constructedWheels(1), 1);
  SearchOptions options;
  options.moves = 50'000;
  const Candidate annealed = annealWheel(harder, start, options);
  EXPECT_TRUE(designHolds(harder, annealed.tickets));
  EXPECT_LE(annealed.tickets.size(), start.tickets.size());
}

TEST(WheelSearch, OnePositionMoreThanTwoSmallerWheels) {
  // C(23,6,3) <= C(22,6,3) + C(22,5,2) = 77 + 27 and C(24,7,4) <= C(23,7,4) +
  // C(23,6,3) = 253 + 104, both proven least sizes.
  const std::pair<Design, size_t> coverings[] = {{{23, 6, 3, 3}, 104}, {{24, 7, 4, 4}, 357}};
  for (const auto& [design, exact] : coverings) {
    const Candidate built = constructWheel(design, constructedWheels(1), 1);
    EXPECT_EQ(built.tickets.size(), exact) << describeDesign(design) << " (" << built.method << ")";
    EXPECT_TRUE(designHolds(design, built.tickets)) << describeDesign(design);
  }
  // Two positions at once, when only wheels on the other ten are known.
  const KnownWheels all = constructedWheels(1);
  const KnownWheels onTen = [&](const Design& d) { return d.v == 10 ? all(d) : std::vector<uint64_t>{}; };
  const Design lotto{12, 5, 3, 4};
  const Candidate twoMore = extendedWheel(lotto, onTen);
  EXPECT_EQ(twoMore.tickets.size(), all({10, 5, 3, 4}).size() + all({10, 3, 2, 3}).size());
  EXPECT_TRUE(designHolds(lotto, twoMore.tickets));
  // Splitting the positions 4 + 15, when only wheels on fifteen are known.
  const KnownWheels onFifteen = [&](const Design& d) { return d.v == 15 ? all(d) : std::vector<uint64_t>{}; };
  const Design split{19, 5, 3, 3};
  const Candidate product = productCovering(split, onFifteen);
  EXPECT_NE(product.method.find("on 4 and 15"), std::string::npos) << product.method;
  EXPECT_TRUE(designHolds(split, product.tickets));
}

TEST(WheelSearch, AWheelOfOnePositionMoreWithoutItsLast) {
  const KnownWheels all = constructedWheels(1);
  for (const Design design : {Design{12, 6, 4, 5}, Design{11, 5, 3, 3}}) {
    const std::vector<uint64_t> longer = all({design.v + 1, design.k, design.t, design.m});
    const Candidate shortened = shortenedWheel(design, longer, 1);
    EXPECT_TRUE(designHolds(design, shortened.tickets)) << describeDesign(design);
    EXPECT_LE(shortened.tickets.size(), longer.size());
  }
  // Every 5-set of 8 positions: the tickets that held the last position all
  // fall onto tickets already there, leaving every 5-set of 7 once each.
  std::vector<uint64_t> full;
  for (uint64_t mask = 0; mask < 256; ++mask)
    if (std::popcount(mask) == 5) full.push_back(mask);
  EXPECT_EQ(shortenedWheel({7, 5, 5, 5}, full, 1).tickets.size(), 21u);
}

TEST(WheelSearch, KeyWheelsAreTheirDesignWithTheKeyPutBack) {
  const WheelSpec key{6, WheelType::key, 3, 3, 11};
  const Design design = designOf(key);
  EXPECT_EQ(design, (Design{10, 5, 2, 2}));
  const Candidate found = search(design, 1'000'000);
  const std::vector<Ticket> tickets = wheelTickets(key, found.tickets);
  const VerifyResult result = verifyWheel(key, tickets);
  EXPECT_TRUE(result.holds) << result.message;
  EXPECT_EQ(tickets.size(), 6u);
  EXPECT_EQ(designTickets(key, tickets).size(), tickets.size());
  // One designed wheel as both types: pattern 1 is on every key ticket.
  for (const Ticket& ticket : tickets) EXPECT_EQ(ticket.front(), 1);
}

TEST(WheelDesigns, KnownDesignsHoldAndHaveTheirSizes) {
  std::map<std::string, size_t> sizes;
  for (const BlockDesign& design : knownDesigns()) {
    EXPECT_FALSE(findUncoveredDraw(design.points, design.strength, design.strength, 0, design.blocks)) << design.name;
    sizes[std::to_string(design.strength) + "-" + std::to_string(design.points) + "-" + std::to_string(design.blockSize)] =
        design.blocks.size();
  }
  // Steiner systems have exactly C(v,t)/C(k,t) blocks.
  EXPECT_EQ(sizes["2-21-5"], 21u);   // projective plane of order 4
  EXPECT_EQ(sizes["2-25-5"], 30u);   // affine plane of order 5
  EXPECT_EQ(sizes["3-17-5"], 68u);   // inversive plane of order 4
  EXPECT_EQ(sizes["3-26-6"], 130u);  // inversive plane of order 5
  EXPECT_EQ(sizes["3-26-5"], 260u);  // orbits over GF(27)
  EXPECT_EQ(sizes["5-24-8"], 759u);  // binary Golay octads
  EXPECT_EQ(sizes["4-23-7"], 253u);
  EXPECT_EQ(sizes["3-22-6"], 77u);
  EXPECT_EQ(sizes["5-12-6"], 132u);  // ternary Golay hexads
  EXPECT_EQ(sizes["4-11-5"], 66u);
}

TEST(WheelDesigns, RestrictedDesignsStayCoverings) {
  // Fewer points and bigger tickets than the design: still a covering.
  for (const BlockDesign& design : knownDesigns()) {
    if (design.points < 12) continue;
    const int v = design.points - 3, k = design.blockSize + 1, t = std::min(design.strength, 3);
    const std::vector<uint64_t> tickets = coveringFromDesign(design, v, k, t);
    ASSERT_FALSE(tickets.empty()) << design.name;
    EXPECT_TRUE(designHolds(Design{v, k, t, t}, tickets)) << design.name;
  }
}

TEST(WheelSearch, AnnealingReachesPublishedLottoDesignSizes) {
  // t < m: the unions start well above these; the annealing must close the gap.
  struct Case { Design design; size_t published; };
  const Case cases[] = {
      {{10, 5, 3, 4}, 7},
      {{11, 6, 3, 4}, 5},
      {{10, 5, 4, 5}, 14},
  };
  for (const Case& c : cases) {
    const Candidate start = constructWheel(c.design, constructedWheels(1), 1);
    ASSERT_GT(start.tickets.size(), c.published) << describeDesign(c.design);
    SearchOptions options;
    options.moves = 1'000'000;
    options.target = c.published;
    SearchStats stats;
    options.stats = &stats;
    const Candidate found = annealWheel(c.design, start, options);
    EXPECT_EQ(found.tickets.size(), c.published) << describeDesign(c.design);
    EXPECT_TRUE(designHolds(c.design, found.tickets));
    EXPECT_GT(stats.moves, 0u);
  }
}

TEST(WheelSearch, CountingThroughTSubsetsAgreesWithCountingDraws) {
  // Lotto designs count met draws (or orbits of draws) through their
  // t-subsets; every move's change of cost, the cost after it and each
  // unit's unique draws must be what counting the draws themselves gives.
  using namespace wheelsearch;
  auto compare = [](const Design& design, const SubsetOrbits* orbits, const SupersetTable& table) {
    CoverState plain(design, orbits), byCores(design, orbits, &table);
    Rng rng = makeRng(3, 0);
    for (int i = 0; i < (orbits ? 1 : 4); ++i) {  // one unit stands for a whole orbit
      Mask ticket = 0;
      while (std::popcount(ticket) < design.k) ticket |= bit(static_cast<int>(uniform(rng, design.v)));
      plain.addTicket(ticket, false);
      byCores.addTicket(ticket, false);
    }
    plain.rebuildUncovered(), byCores.rebuildUncovered();
    ASSERT_GT(byCores.cost(), 0u) << describeDesign(design);
    ASSERT_EQ(plain.cost(), byCores.cost()) << describeDesign(design);
    for (int move = 0; move < 400; ++move) {
      const size_t index = uniform(rng, plain.tickets().size());
      const Mask ticket = plain.tickets()[index];
      const int x = nthBit(ticket, static_cast<int>(uniform(rng, design.k)));
      const int y = nthBit(allPositions(design.v) & ~ticket, static_cast<int>(uniform(rng, design.v - design.k)));
      ASSERT_EQ(plain.evaluate(index, x, y), byCores.evaluate(index, x, y)) << describeDesign(design);
      if (move % 3 != 0) plain.apply(), byCores.apply();
      ASSERT_EQ(plain.cost(), byCores.cost()) << describeDesign(design);
    }
    // In the group search the plain count of a unit's unique orbits is only
    // an estimate.
    if (!orbits) {
      for (size_t i = 0; i < plain.tickets().size(); ++i) EXPECT_EQ(plain.uniqueCount(i), byCores.uniqueCount(i));
    }
    plain.removeTicket(0), byCores.removeTicket(0);
    EXPECT_EQ(plain.cost(), byCores.cost()) << describeDesign(design);
  };
  for (const Design& design : {Design{12, 5, 3, 5}, Design{11, 6, 4, 6}, Design{10, 4, 2, 4}})
    compare(design, nullptr, SupersetTable(design));
  for (const Design& design : {Design{16, 6, 4, 5}, Design{16, 6, 4, 6}, Design{15, 5, 3, 4}}) {
    PermutationGroup cyclic;
    std::string error;
    ASSERT_TRUE(parseGroup("cyclic:1", design.v, cyclic, error)) << error;
    const SubsetOrbits orbits = subsetOrbitTable(cyclic, design.m);
    compare(design, &orbits, SupersetTable(design, orbits, subsetOrbitTable(cyclic, design.t)));
  }
}
