#pragma once
// Finding small wheels: constructions, a greedy start, and simulated annealing.
//
// Searches work on the abbreviated form of a wheel, a `Design`: tickets of k
// positions (bit masks, bit i = position i + 1) such that every m-subset of the
// v positions meets some ticket in at least t positions. A key wheel is the
// design of its other positions with the key put back on every ticket.
//
// Every function returns wheels that hold (the constructions are checked by the
// annealing's own coverage counts or by the verifier); callers that store a wheel
// still run verifyWheel on it. Searches are deterministic for a given seed: a
// time budget (processor time) only decides how far along the same sequence of
// moves a run gets.
// Not thread-safe per call; separate calls may run on separate threads.

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "wheelcore/wheel.h"

struct Design {
  int v = 0, k = 0, t = 0, m = 0;
  bool operator<(const Design& o) const {
    return std::tie(k, v, t, m) < std::tie(o.k, o.v, o.t, o.m);
  }
  bool operator==(const Design& o) const = default;
};

// "4if5 of 14, tickets of 6".
std::string describeDesign(const Design& design);

// The design of a wheel: itself for an abbreviated wheel; for a key wheel, the
// positions 2..v renumbered 1..v-1, tickets of pick - 1, formula t-1 if m-1.
// REQUIRES: checkSpec(spec) is empty; for a key wheel, t >= 2.
Design designOf(const WheelSpec& spec);
// The wheel's tickets (ascending positions) from its design's tickets, and back.
// designTickets returns an empty list when a ticket does not fit the design
// (use verifyWheel for the reason).
std::vector<Ticket> wheelTickets(const WheelSpec& spec, const std::vector<uint64_t>& tickets);
std::vector<uint64_t> designTickets(const WheelSpec& spec, const std::vector<Ticket>& tickets);

bool designHolds(const Design& design, const std::vector<uint64_t>& tickets);

// The least size known to be necessary: for a covering the larger of
// Schönheim's bound and a known exact value; for t = 1 the exact value; else 1.
uint64_t designLowerBound(const Design& design);

struct Candidate {
  std::vector<uint64_t> tickets;  // empty: nothing found
  std::string method;             // "construction: ...", "greedy", "annealing"
};

// The best wheels known so far for other designs (used by the union
// constructions); returns an empty list when none is known.
using KnownWheels = std::function<std::vector<uint64_t>(const Design&)>;

// The smallest wheel among the constructions that apply and a few greedy
// coverings, with redundant tickets removed. Never empty for a valid design
// of at most 64 positions unless the full wheel would exceed 200,000 tickets.
Candidate constructWheel(const Design& design, const KnownWheels& known, uint64_t seed);

// Wheels built from smaller ones that `known` gives (empty when it gives
// none). extendedWheel: a wheel "t if m" of v - s and one "t-1 if m-1" of
// v - s with tickets of k - s, the last s positions added to each of those,
// the smallest for any s. productCovering (coverings only): for a split of the
// positions into two groups, every way a t-subset can fall into them is met by
// the product of two smaller coverings, one on each group.
Candidate extendedWheel(const Design& design, const KnownWheels& known);
Candidate productCovering(const Design& design, const KnownWheels& known);

// A wheel of v + 1 positions made one of v: each ticket holding the last
// position takes the lowest position it lacks instead (a draw of the first v
// positions never held the last one, so it is met as before), repeated
// tickets and then redundant ones removed. Empty when `longer` is empty.
Candidate shortenedWheel(const Design& design, const std::vector<uint64_t>& longer, uint64_t seed);

// A KnownWheels that answers with constructWheel, recursively and memoized.
KnownWheels constructedWheels(uint64_t seed);

// What a search did: annealing moves and the processor time they took.
struct SearchStats {
  uint64_t moves = 0;
  double cpuSeconds = 0;
  void add(uint64_t more, double seconds) { moves += more, cpuSeconds += seconds; }
  double movesPerSecond() const { return cpuSeconds > 0 ? static_cast<double>(moves) / cpuSeconds : 0; }
};

struct SearchOptions {
  uint64_t seed = 1;
  double seconds = 10;  // processor-time budget of the annealing, in seconds; 0 = none
  uint64_t moves = 0;   // budget in annealing moves; 0 = none (then seconds rules)
  uint64_t target = 0;  // stop at this many tickets; 0 = the lower bound
  bool coverByTickets = false;  // the set cover over orbits: an orbit costs its tickets, not one
  std::vector<uint64_t> coverFrom;  // the set cover starts from the orbits of these tickets (a held wheel)
  uint64_t coverLimit = 150'000'000;  // the set cover's listing, in ticket-draw pairs (about 8 bytes each)
  std::function<void(const std::string&)> progress;  // one line, no newline
  SearchStats* stats = nullptr;                        // when set, the moves made are added here
};

// Whether the annealing is practical for this design (the work per move and
// the table of m-subsets stay small). Designs with t = 1, full wheels and
// wheels of one ticket need no search.
bool annealingApplies(const Design& design);

// Simulated annealing over a fixed number of tickets: the cost is the number of
// m-subsets no ticket meets in t positions; a move replaces one position of one
// ticket, aimed at an m-subset that is not met; when the cost reaches 0 the
// wheel is kept and the ticket that meets fewest m-subsets alone is dropped.
// Runs of exponential cooling end after ten temperatures without progress (a
// hundred for lotto designs and searches over orbits) and restart from the
// best wheel less one ticket or from random tickets.
// Returns the smallest wheel found, or `start` when nothing smaller was found.
// REQUIRES: start.tickets holds.
Candidate annealWheel(const Design& design, const Candidate& start, const SearchOptions& options);

// constructWheel followed by annealWheel where it applies.
Candidate searchWheel(const Design& design, const SearchOptions& options, const KnownWheels& known);
