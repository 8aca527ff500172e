// The win table and the chances per draw, against a brute force over every
// draw of a small lottery and against values worked by hand.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <random>

#include "wheelcore/wheel.h"
#include "wheelcore/winreport.h"
#include "wheelcore/wintable.h"

namespace {

// Every k-subset of 0..n-1, by counting masks.
std::vector<uint64_t> allDraws(int n, int k) {
  std::vector<uint64_t> draws;
  for (uint64_t mask = 0; mask < (uint64_t{1} << n); ++mask)
    if (std::popcount(mask) == k) draws.push_back(mask);
  return draws;
}

}  // namespace

TEST(WinTable, AgreesWithEveryDrawOfASmallLottery) {
  // Numbers 1..13, five drawn; the player chose 1..9 (positions 0..8) and
  // plays seven random tickets of five.
  const int from = 13, k = 5, v = 9;
  std::mt19937_64 rng(11);
  std::vector<uint64_t> tickets;
  for (int i = 0; i < 7; ++i) {
    uint64_t ticket = 0;
    while (std::popcount(ticket) < k) ticket |= uint64_t{1} << (rng() % v);
    tickets.push_back(ticket);
  }
  for (KeyCount key : {KeyCount::anyPosition, KeyCount::drawn, KeyCount::notDrawn}) {
    const WinTable table = computeWinTable(v, k, tickets, key);
    // Brute force: every draw, each counted where it falls.
    std::vector<std::vector<uint64_t>> draws(k + 1, std::vector<uint64_t>(k + 1, 0));
    std::vector<uint64_t> reaching(k + 1, 0);
    uint64_t considered = 0;
    const uint64_t chosen = (uint64_t{1} << v) - 1;
    for (uint64_t draw : allDraws(from, k)) {
      if (key == KeyCount::drawn && !(draw & 1)) continue;
      if (key == KeyCount::notDrawn && (draw & 1)) continue;
      ++considered;
      int best = 0;
      for (uint64_t ticket : tickets) best = std::max(best, std::popcount(ticket & draw));
      ++draws[std::popcount(draw & chosen)][best];
      for (int j = 0; j <= best; ++j) ++reaching[j];
    }
    for (int h = 0; h <= k; ++h) {
      // Each set of h chosen numbers stands for the draws that add k - h others.
      const uint64_t others = binomial(from - v, k - h);
      for (int j = 0; j <= k; ++j)
        EXPECT_EQ(table.ways[h][j] * others, draws[h][j]) << "h " << h << " j " << j << " key " << int(key);
    }
    for (int j = 0; j <= k; ++j)
      EXPECT_NEAR(chanceOfPrize(table, from, j), static_cast<double>(reaching[j]) / static_cast<double>(considered), 1e-12)
          << "j " << j << " key " << int(key);
  }
}

TEST(WinTable, TicketCountsAndTheGuarantee) {
  // Tickets {1,2} and {2,3} over three chosen numbers.
  const std::vector<uint64_t> tickets = {0b011, 0b110};
  const WinTable table = computeWinTable(3, 2, tickets, KeyCount::anyPosition);
  // Two of the chosen drawn: {1,2} and {2,3} are met twice, {1,3} once.
  EXPECT_EQ(table.ways[2], (std::vector<uint64_t>{0, 1, 2}));
  EXPECT_EQ(table.guaranteed(2), 1);
  // {1,3} meets each ticket once: at least one hit on two tickets always,
  // two hits on one ticket at best and on none at worst.
  EXPECT_EQ(table.fewestTickets[2][1], 2u);
  EXPECT_EQ(table.fewestTickets[2][2], 0u);
  EXPECT_EQ(table.ticketSum[2][2], 2u);
  EXPECT_DOUBLE_EQ(table.averageTickets(2, 2), 2.0 / 3);
  // Numbers 1..6, two drawn: P(both among the three chosen) = 3/15; then two
  // of the three pairs are a ticket.
  EXPECT_NEAR(chanceOfAmongChosen(6, 2, 3, 2, KeyCount::anyPosition), 3.0 / 15, 1e-15);
  EXPECT_NEAR(chanceOfPrize(table, 6, 2), 2.0 / 15, 1e-15);
  EXPECT_NEAR(chanceOfPrizeRandom(6, 2, 1, 2), 1.0 / 15, 1e-15);
  EXPECT_NEAR(chanceOfPrizeRandom(6, 2, 2, 2), 1 - (14.0 / 15) * (14.0 / 15), 1e-15);
}

TEST(WinTable, CancelStopsABigTable) {
  std::vector<uint64_t> tickets(200, 0x7f);
  std::atomic<bool> cancel{false};
  int calls = 0;
  WinTableOptions options;
  options.cancel = &cancel;
  options.progress = [&](double) {
    if (++calls == 3) cancel = true;
  };
  const WinTable table = computeWinTable(30, 7, tickets, KeyCount::anyPosition, options);
  EXPECT_EQ(table.v, 0);
  EXPECT_EQ(calls, 3);
}

TEST(WheelReport, AKeyWheelsChancesWeighTheKeyDrawnAndNot) {
  // Tickets holding position 0 over eight chosen numbers, a lottery of 4
  // from 20: taken apart by the key, the chances must equal those of the
  // table that treats the key as any position.
  const std::vector<uint64_t> tickets = {0b00001111, 0b00110011, 0b11000101, 0b10101001, 0b01011001};
  const std::optional<WheelReport> report = computeWheelReport(20, 8, 4, tickets, true);
  ASSERT_TRUE(report);
  ASSERT_EQ(report->tables.size(), 2u);
  EXPECT_EQ(report->tables[0].sets[0], 0u) << "with the key drawn, h counts it";
  EXPECT_EQ(report->tables[1].sets[4], binomial(7, 4));
  const WinTable whole = computeWinTable(8, 4, tickets, KeyCount::anyPosition);
  for (int j = 0; j <= 4; ++j) EXPECT_NEAR(report->wheelChance[j], chanceOfPrize(whole, 20, j), 1e-12) << j;
  EXPECT_NEAR(report->randomChance[4], 1 - std::pow(1 - 1.0 / 4845, 5), 1e-15);
}

TEST(WheelReport, TicketsThatDoNotFitAreRefusedBeforeCounting) {
  EXPECT_EQ(wheelReportProblem(20, 8, 4, {0b1111}, true), "");
  EXPECT_EQ(wheelReportProblem(20, 8, 4, {0b1111, 0b11111}, false), "ticket 2 does not hold 4 of the chosen numbers");
  EXPECT_EQ(wheelReportProblem(20, 8, 4, {0x107}, false), "ticket 1 does not hold 4 of the chosen numbers");
  EXPECT_EQ(wheelReportProblem(20, 8, 4, {0b11110}, true), "ticket 1 does not hold the key");
  EXPECT_NE(wheelReportProblem(7, 8, 4, {0b1111}, false), "") << "more chosen than the lottery's numbers";
  EXPECT_NE(wheelReportProblem(80, 65, 4, {0b1111}, false), "");
  EXPECT_EQ(wheelReportProblem(20, 8, 4, {}, false), "the wheel has no tickets");
  EXPECT_EQ(oddsText(0), "never");
  EXPECT_EQ(oddsText(0.4), "1 in 2.5");
  EXPECT_EQ(oddsText(1.0 / 13983816), "1 in 13983816");
}
