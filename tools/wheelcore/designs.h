#pragma once
// Block designs we can build exactly, used to seed coverings that local search
// rarely finds: projective and affine planes, the planes of small binary
// spaces, inversive planes, and the designs held by the binary and ternary
// Golay codes. Each design is returned as blocks (bit masks) on points 0..points-1.
// Building is deterministic; the list is computed once per process and shared
// read-only afterwards (thread-safe through a function-local static).

#include <cstdint>
#include <string>
#include <vector>

struct BlockDesign {
  std::string name;   // e.g. "projective plane of order 4"
  int points = 0;
  int blockSize = 0;
  int strength = 0;   // every `strength`-subset of points lies in some block
  std::vector<uint64_t> blocks;
};

// The designs listed above, each checked by the exhaustive verifier when built;
// one that fails its own check is left out (and would fail the tests).
const std::vector<BlockDesign>& knownDesigns();

// Blocks through `point`, with that point removed and the points above it
// renumbered down by one: a design of strength - 1 on points - 1 points.
BlockDesign derivedDesign(const BlockDesign& design, int point);

// A covering of every t-subset of v points by blocks of exactly k points,
// made from `design` (strength >= t, blockSize <= k, points >= v): keeps v of its
// points (dropping, one at a time, the point whose removal lets most blocks
// fall below t points), drops blocks left with fewer than t points, and pads
// the rest to k points. Empty when the design does not fit.
std::vector<uint64_t> coveringFromDesign(const BlockDesign& design, int v, int k, int t);
