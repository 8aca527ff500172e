#pragma once
// Wheels fixed by a permutation group of the positions: the wheel is a union
// of orbits of k-sets, so it is enough that every orbit of m-subsets has one
// member met by one orbit representative. The search works on orbit
// representatives only, a problem smaller by about the group's order, which
// lets annealing reach sizes it does not reach on the whole space.
//
// Groups (text forms for parseGroup; F is an optional number of fixed points,
// the group acting on the other v - F positions):
//   cyclic[:F]     x -> x + 1 mod n, n = v - F
//   bicyclic[:F]   the same on two cycles of n = (v - F) / 2 positions at once
//   cycles:C[:F]   the same on C cycles of n = (v - F) / C positions at once
//   mult:A[:F[:S]] x -> x + S and x -> A x mod n, A prime to n, S dividing n
//                  (S = 1 by default; S = n: the multiplier alone; A = 1:
//                  the turn alone)
//   affine:D[:F]   x -> a x + b over the field of q = v - F elements (a prime
//                  power up to 64), with a in the subgroup of order D of the
//                  units (D divides q - 1; D = 1 leaves the translations)
//   psl[:F], pgl[:F]  x -> (a x + b) / (c x + d) on the projective line over
//                  the field of q elements, q + 1 = v - F points
//   trivial        the identity alone: the whole space, for small designs
// All functions are pure; a search is deterministic for its seed.

#include <cstdint>
#include <string>
#include <vector>

#include "wheelcore/search.h"

struct PermutationGroup {
  std::string name;                          // "cyclic on 22 positions, 1 fixed"
  int v = 0;                                 // positions 0..v-1
  std::vector<std::vector<int>> generators;  // each: the image of every position
  uint64_t order = 0;                        // number of elements
};

// Reads a group's text form (above) for v positions; false and why otherwise.
bool parseGroup(const std::string& text, int v, PermutationGroup& group, std::string& error);

// The image of a set of positions (bit mask) under one generator.
uint64_t applyPermutation(const std::vector<int>& permutation, uint64_t mask);

// The orbit of a set of positions: every image under the group, ascending.
std::vector<uint64_t> orbitOfSet(const PermutationGroup& group, uint64_t mask);

// The orbits of all m-subsets of the group's positions, each as its members, ascending.
std::vector<std::vector<uint64_t>> subsetOrbits(const PermutationGroup& group, int m);
// The same as the search's own table of orbit numbers (wheelcore/coverstate.h).
namespace wheelsearch {
struct SubsetOrbits;
}
wheelsearch::SubsetOrbits subsetOrbitTable(const PermutationGroup& group, int m);

// Whether the group search can run on this design: the group acts on v
// positions and the table of m-subsets stays small. Empty error when it can.
bool groupSearchApplies(const Design& design, const PermutationGroup& group, std::string& error);

// Whether the union of the orbits of `representatives` is a wheel of the
// design, judged on one member of each orbit of m-subsets (the guarantee is
// invariant under the group).
bool invariantWheelHolds(const Design& design, const PermutationGroup& group,
                         const std::vector<uint64_t>& representatives);

// Annealing over orbit representatives within options.seconds or
// options.moves; the result is the union of their orbits with redundant
// tickets removed, method "annealing, invariant under <group name>". Empty
// when no wheel was found within the budget.
// REQUIRES: groupSearchApplies(design, group).
Candidate searchInvariantWheel(const Design& design, const PermutationGroup& group, const SearchOptions& options);

// The same problem solved as a set cover: every orbit of k-sets is listed with
// the orbits of m-subsets it meets, and a weighted local search
// (wheelcore/setcover.h) looks for the fewest orbits that meet them all,
// within options.seconds. Method "set cover over orbits, invariant under
// <group name>". Empty when nothing was found or the listing would exceed
// its memory budget.
// REQUIRES: groupSearchApplies(design, group).
Candidate coverInvariantWheel(const Design& design, const PermutationGroup& group, const SearchOptions& options);
