// The wheel verifier against an independent brute-force check.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>

#include "wheelcore/wheel.h"

namespace {

// Reference check written without bit masks: walks every m-subset as a
// selection vector through std::prev_permutation and counts common positions
// with std::set lookups.
bool bruteForceHolds(const WheelSpec& spec, const std::vector<Ticket>& tickets) {
  std::vector<std::set<int>> sets;
  for (const Ticket& ticket : tickets) sets.emplace_back(ticket.begin(), ticket.end());
  std::vector<bool> chosen(spec.v, false);
  std::fill(chosen.begin(), chosen.begin() + spec.m, true);
  do {
    if (spec.type == WheelType::key && !chosen[0]) continue;
    bool met = false;
    for (const auto& ticket : sets) {
      int common = 0;
      for (int p = 0; p < spec.v; ++p) common += chosen[p] && ticket.count(p + 1);
      if (common >= spec.t) met = true;
    }
    if (!met) return false;
  } while (std::prev_permutation(chosen.begin(), chosen.end()));
  return true;
}

bool drawMeetsNoTicket(const WheelSpec& spec, const std::vector<Ticket>& tickets, const std::vector<int>& draw) {
  for (const Ticket& ticket : tickets) {
    int common = 0;
    for (int p : draw) common += std::count(ticket.begin(), ticket.end(), p) > 0;
    if (common >= spec.t) return false;
  }
  return true;
}

// The lines of the Fano plane: every pair of 1..7 lies on one line.
const std::vector<Ticket> kFano = {{1, 2, 3}, {1, 4, 5}, {1, 6, 7}, {2, 4, 6}, {2, 5, 7}, {3, 4, 7}, {3, 5, 6}};

}  // namespace

TEST(WheelVerify, HoldingWheelsHold) {
  EXPECT_TRUE(verifyWheel({3, WheelType::abbreviated, 2, 2, 7}, kFano).holds);
  // Any three of seven numbers hold two on a line: "2 if 3" holds too.
  EXPECT_TRUE(verifyWheel({3, WheelType::abbreviated, 2, 3, 7}, kFano).holds);
  // Lines through 1 form a key wheel "2 if 2": the key with any other number.
  const std::vector<Ticket> keyLines = {{1, 2, 3}, {1, 4, 5}, {1, 6, 7}};
  const VerifyResult key = verifyWheel({3, WheelType::key, 2, 2, 7}, keyLines);
  EXPECT_TRUE(key.holds) << key.message;
  EXPECT_TRUE(key.failingDraw.empty());
}

TEST(WheelVerify, MissingTicketGivesADrawNoTicketMeets) {
  const WheelSpec spec{3, WheelType::abbreviated, 2, 2, 7};
  for (size_t dropped = 0; dropped < kFano.size(); ++dropped) {
    std::vector<Ticket> tickets = kFano;
    tickets.erase(tickets.begin() + static_cast<long>(dropped));
    const VerifyResult result = verifyWheel(spec, tickets);
    ASSERT_FALSE(result.holds);
    ASSERT_EQ(result.failingDraw.size(), 2u);
    EXPECT_TRUE(drawMeetsNoTicket(spec, tickets, result.failingDraw));
    // The draw is exactly the pair only the dropped line held.
    std::vector<int> line = kFano[dropped];
    EXPECT_TRUE(std::includes(line.begin(), line.end(), result.failingDraw.begin(), result.failingDraw.end()));
  }
}

TEST(WheelVerify, BadTicketsAreRejectedWithTheirFault) {
  const WheelSpec key{3, WheelType::key, 2, 2, 7};
  const VerifyResult noKey = verifyWheel(key, {{1, 2, 3}, {2, 4, 5}, {1, 6, 7}});
  EXPECT_FALSE(noKey.holds);
  EXPECT_NE(noKey.message.find("ticket 2"), std::string::npos) << noKey.message;
  EXPECT_NE(noKey.message.find("key"), std::string::npos) << noKey.message;
  EXPECT_TRUE(noKey.failingDraw.empty());

  const WheelSpec fano{3, WheelType::abbreviated, 2, 2, 7};
  for (int outside : {0, 8, -1}) {
    std::vector<Ticket> tickets = kFano;
    tickets[4] = {2, 5, outside};
    const VerifyResult result = verifyWheel(fano, tickets);
    EXPECT_FALSE(result.holds);
    EXPECT_NE(result.message.find("outside 1..7"), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("ticket 5"), std::string::npos) << result.message;
  }
  std::vector<Ticket> twice = kFano;
  twice[0] = {1, 2, 2};
  EXPECT_NE(verifyWheel(fano, twice).message.find("twice"), std::string::npos);
  std::vector<Ticket> shortTicket = kFano;
  shortTicket[0] = {1, 2};
  EXPECT_NE(verifyWheel(fano, shortTicket).message.find("instead of 3"), std::string::npos);
  EXPECT_FALSE(verifyWheel(fano, {}).holds);
  EXPECT_FALSE(verifyWheel({3, WheelType::abbreviated, 3, 2, 7}, kFano).holds);  // t > m
  EXPECT_FALSE(verifyWheel({3, WheelType::abbreviated, 2, 8, 7}, kFano).holds);  // m > v
}

TEST(WheelVerify, AgreesWithBruteForceOnRandomWheels) {
  std::mt19937 rng(20261208);
  int holding = 0, failing = 0;
  for (int round = 0; round < 400; ++round) {
    WheelSpec spec;
    spec.v = 5 + static_cast<int>(rng() % 7);
    spec.pick = 2 + static_cast<int>(rng() % std::min(4, spec.v - 2));
    spec.t = 1 + static_cast<int>(rng() % spec.pick);
    spec.m = spec.t + static_cast<int>(rng() % (spec.v - spec.t + 1));
    spec.type = rng() % 3 == 0 ? WheelType::key : WheelType::abbreviated;
    std::vector<Ticket> tickets;
    const int count = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < count; ++i) {
      std::vector<int> all(spec.v);
      for (int p = 0; p < spec.v; ++p) all[p] = p + 1;
      std::shuffle(all.begin() + (spec.type == WheelType::key ? 1 : 0), all.end(), rng);
      tickets.emplace_back(all.begin(), all.begin() + spec.pick);
    }
    const VerifyResult result = verifyWheel(spec, tickets);
    ASSERT_EQ(result.holds, bruteForceHolds(spec, tickets)) << describeSpec(spec) << ": " << result.message;
    if (result.holds) {
      ++holding;
    } else {
      ++failing;
      ASSERT_EQ(static_cast<int>(result.failingDraw.size()), spec.m);
      EXPECT_TRUE(drawMeetsNoTicket(spec, tickets, result.failingDraw));
      if (spec.type == WheelType::key) {
        EXPECT_EQ(result.failingDraw[0], 1);
      }
    }
  }
  // The rounds must exercise both verdicts to mean anything.
  EXPECT_GT(holding, 40);
  EXPECT_GT(failing, 40);
}

TEST(WheelVerify, ThirtyPositionsAreCheckedQuickly) {
  // Tickets of six consecutive-ish positions: a wheel "3 if 6 of 30" that holds
  // and one that fails, each checked against all 593,775 draws.
  std::vector<Ticket> tickets;
  for (int a = 1; a <= 30; a += 6)
    for (int b = 1; b <= 30; b += 6) {
      if (b < a) continue;
      Ticket ticket;
      for (int i = 0; i < 3; ++i) ticket.push_back(a + i);
      for (int i = 0; i < 3; ++i) ticket.push_back(b + 3 + i);
      if (a == b) ticket = {a, a + 1, a + 2, a + 3, a + 4, a + 5};
      tickets.push_back(ticket);
    }
  const WheelSpec spec{6, WheelType::abbreviated, 2, 6, 30};
  const auto started = std::chrono::steady_clock::now();
  const VerifyResult result = verifyWheel(spec, tickets);
  const WheelSpec strict{6, WheelType::abbreviated, 3, 6, 30};
  const VerifyResult failing = verifyWheel(strict, tickets);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // Two drawn positions always share one of the five blocks of six.
  EXPECT_TRUE(result.holds) << result.message;
  EXPECT_FALSE(failing.holds);
  EXPECT_TRUE(drawMeetsNoTicket(strict, tickets, failing.failingDraw));
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(seconds, 1.0);
#else
  (void)seconds;  // instrumented code is too slow to time
#endif
}

TEST(WheelFormula, TextsRoundTrip) {
  int t = 0, m = 0;
  EXPECT_TRUE(parseFormula("4if5", t, m));
  EXPECT_EQ(t, 4);
  EXPECT_EQ(m, 5);
  EXPECT_EQ(formulaText(t, m), "4if5");
  for (const char* bad : {"", "4if", "if5", "4 if 5", "4of5", "x4if5", "4if5x", "-1if5"})
    EXPECT_FALSE(parseFormula(bad, t, m)) << bad;
}
