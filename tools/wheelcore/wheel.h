#pragma once
// Wheels as the catalogue stores them, and the one verifier every tool uses.
//
// A wheel spreads v chosen numbers, written as positions 1..v, over tickets of
// `pick` positions each. Its formula "t if m" guarantees a ticket with at least
// t drawn numbers whenever m of the drawn numbers are among the chosen ones:
//  - abbreviated ("a"): every m-subset of 1..v meets some ticket in >= t positions;
//  - key ("k"): every ticket holds position 1 (the key), and every m-subset that
//    contains position 1 meets some ticket in >= t positions.
// Nothing here is thread-hostile: all functions are pure, callable from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class WheelType { abbreviated, key };

// The one-letter code the catalogue uses: "a" or "k".
const char* wheelTypeLetter(WheelType type);

struct WheelSpec {
  int pick = 0;  // numbers per ticket (k)
  WheelType type = WheelType::abbreviated;
  int t = 0;     // numbers guaranteed on one ticket
  int m = 0;     // drawn numbers among the chosen ones
  int v = 0;     // chosen numbers: positions 1..v
};

// Largest v the verifier and the searches accept (positions fit one 64-bit mask).
constexpr int kMaxPositions = 64;

// "4if5" for t = 4, m = 5.
std::string formulaText(int t, int m);
// Parses "<t>if<m>" (decimal, no blanks); false on anything else.
bool parseFormula(const std::string& text, int& t, int& m);
// "pick 6, a, 4if5 of 14".
std::string describeSpec(const WheelSpec& spec);
// Empty when these parameters describe a wheel that can exist, else why not.
std::string checkSpec(const WheelSpec& spec);

// A ticket as the catalogue writes it: 1-based positions in pattern order.
using Ticket = std::vector<int>;

struct VerifyResult {
  bool holds = false;
  // One line: "holds: ..." or what is wrong (a bad ticket, or the draw below).
  std::string message;
  // When the guarantee fails: a draw (ascending 1-based positions, m of them)
  // that no ticket meets in t positions. Empty when the fault is a bad ticket.
  std::vector<int> failingDraw;
};

// Checks every ticket (exactly `pick` distinct positions in 1..v, position 1 on
// every ticket of a key wheel) and then every draw exhaustively.
VerifyResult verifyWheel(const WheelSpec& spec, const std::vector<Ticket>& tickets);

// Core of the verifier on bit masks (bit i = position i + 1). Every m-subset of
// the v positions that holds all bits of `required` must meet some ticket in at
// least t positions. Returns a draw mask that no ticket meets, or nothing when
// the guarantee holds. REQUIRES: 1 <= t <= m <= v <= 64.
std::optional<uint64_t> findUncoveredDraw(int v, int t, int m, uint64_t required,
                                          const std::vector<uint64_t>& tickets);

// Binomial coefficient, exact; saturates at UINT64_MAX when it does not fit.
uint64_t binomial(int n, int r);

// Schönheim's lower bound on a covering of all t-subsets of v points by
// k-subsets, in exact integer arithmetic. REQUIRES: 1 <= t <= k <= v.
uint64_t schonheimBound(int v, int k, int t);

// The covering a wheel amounts to when its formula is t if t: (v, k, t) for an
// abbreviated wheel, (v - 1, k - 1, t - 1) for a key wheel. Nothing when t != m,
// or when a key wheel with t = 1 needs no covering at all.
struct CoveringParameters { int v, k, t; };
std::optional<CoveringParameters> coveringOf(const WheelSpec& spec);

// The least size a wheel with these parameters can have, when it is a covering
// (t if t): Schönheim's bound of its covering; 1 for a key wheel "1 if 1".
std::optional<uint64_t> wheelLowerBound(const WheelSpec& spec);

// The exact least covering size C(v, k, t) where the reference table knows it.
std::optional<uint64_t> knownCoveringSize(int v, int k, int t);
