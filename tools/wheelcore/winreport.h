#pragma once
// A wheel's report for one lottery: its win table (two for a key wheel: the
// key drawn, as the guarantee takes it, and the key not drawn) and the chance
// per draw of each prize level, beside the same number of random tickets.
// Written as text for people or as tab-separated lines for programs. Plain
// C++ shared by the wizard's window and the command line; callable from any
// thread.

#include <optional>
#include <string>
#include <vector>

#include "wheelcore/wintable.h"

struct WheelReport {
  int from = 0;           // the lottery's numbers, 1..from
  int v = 0, k = 0;       // chosen numbers, numbers per ticket (and drawn)
  bool keyWheel = false;  // position 0 is the key
  uint64_t tickets = 0;
  // One table for an abbreviated wheel (KeyCount::anyPosition); for a key
  // wheel the key drawn, then not drawn.
  std::vector<WinTable> tables;
  // Indexed by j = 0..k: the chance per draw that some ticket holds at least
  // j drawn numbers, for the wheel and for as many random tickets.
  std::vector<double> wheelChance, randomChance;
};

// Why `tickets` over v chosen numbers cannot be reported for a lottery of k
// from `from`, as a sentence, or empty when they can: 1 <= k <= v <= 64,
// v <= from, k < from, every ticket of exactly k positions below v, and for
// a key wheel position 0 on every ticket.
std::string wheelReportProblem(int from, int v, int k, const std::vector<uint64_t>& tickets, bool keyWheel);

// The report of `tickets` (bit masks over positions 0..v-1). Progress runs
// once from 0 to 1 over the whole report; no value when cancelled.
// REQUIRES: wheelReportProblem(...) is empty.
std::optional<WheelReport> computeWheelReport(int from, int v, int k, const std::vector<uint64_t>& tickets,
                                              bool keyWheel, const WinTableOptions& options = {});

// A chance as odds: "1 in 57", "1 in 2.4", "1 in 1.0"; "never" for 0.
std::string oddsText(double chance);

// The report for reading: the guarantee per h, the win table, the tickets
// with at least j hits at worst and on average, and the chances.
std::string reportText(const WheelReport& report);

// The report as tab-separated lines, each section under a header line: the
// win table, one line per (h, j) as drawn_among_chosen, best_hits, ways
// (a key wheel's lines begin with key = drawn or not_drawn); the tickets
// with at least j hits; the chances per prize level.
std::string reportTsv(const WheelReport& report);
