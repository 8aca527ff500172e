#include "wheelcore/designs.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <functional>
#include <map>
#include <set>

#include "wheelcore/field.h"
#include "wheelcore/wheel.h"

namespace {

uint64_t bit(int point) { return uint64_t{1} << point; }

// Lines of the projective plane over GF(q): q^2 + q + 1 points and lines.
BlockDesign projectivePlane(int p, int n) {
  const FiniteField field(p, n);
  const int q = field.order();
  std::vector<std::array<int, 3>> points;
  for (int a = 0; a < q; ++a)
    for (int b = 0; b < q; ++b) points.push_back({1, a, b});
  for (int b = 0; b < q; ++b) points.push_back({0, 1, b});
  points.push_back({0, 0, 1});
  BlockDesign design{"projective plane of order " + std::to_string(q), static_cast<int>(points.size()), q + 1, 2, {}};
  for (const auto& line : points) {
    uint64_t block = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      int dot = 0;
      for (int c = 0; c < 3; ++c) dot = field.add(dot, field.mul(line[c], points[i][c]));
      if (dot == 0) block |= bit(static_cast<int>(i));
    }
    design.blocks.push_back(block);
  }
  return design;
}

// Lines of the affine plane over GF(q): q^2 points, q^2 + q lines.
BlockDesign affinePlane(int p, int n) {
  const FiniteField field(p, n);
  const int q = field.order();
  BlockDesign design{"affine plane of order " + std::to_string(q), q * q, q, 2, {}};
  for (int slope = 0; slope < q; ++slope)
    for (int offset = 0; offset < q; ++offset) {
      uint64_t block = 0;
      for (int x = 0; x < q; ++x) block |= bit(x * q + field.add(field.mul(slope, x), offset));
      design.blocks.push_back(block);
    }
  for (int x = 0; x < q; ++x) {
    uint64_t block = 0;
    for (int y = 0; y < q; ++y) block |= bit(x * q + y);
    design.blocks.push_back(block);
  }
  return design;
}

// Planes of the binary affine space of dimension n: 4-sets {a, b, c, d} with
// a ^ b ^ c ^ d = 0, a Steiner system S(3, 4, 2^n).
BlockDesign binaryAffinePlanes(int n) {
  const int v = 1 << n;
  BlockDesign design{"planes of the binary affine space of dimension " + std::to_string(n), v, 4, 3, {}};
  for (int a = 0; a < v; ++a)
    for (int b = a + 1; b < v; ++b)
      for (int c = b + 1; c < v; ++c) {
        const int d = a ^ b ^ c;
        if (d > c) design.blocks.push_back(bit(a) | bit(b) | bit(c) | bit(d));
      }
  return design;
}

// Planes of the binary projective space of dimension 3: 15 points (the non-zero
// vectors of GF(2)^4), 15 planes of 7 points; any three points lie in a plane.
BlockDesign binaryProjectivePlanes() {
  BlockDesign design{"planes of the binary projective space of dimension 3", 15, 7, 3, {}};
  for (int normal = 1; normal < 16; ++normal) {
    uint64_t block = 0;
    for (int x = 1; x < 16; ++x)
      if (std::popcount(static_cast<unsigned>(normal & x)) % 2 == 0) block |= bit(x - 1);
    design.blocks.push_back(block);
  }
  return design;
}

// The Möbius maps x -> (ax + b) / (cx + d), ad - bc != 0, on GF(q) + {infinity}
// (point q), each as the image of every point; `special` marks those whose
// determinant is a square once the map is scaled to it.
struct MobiusGroup {
  std::vector<std::vector<uint8_t>> maps;
  std::vector<bool> special;
};

MobiusGroup mobiusGroup(const FiniteField& field) {
  const int q = field.order();
  std::vector<bool> isSquare(q, false);
  for (int x = 1; x < q; ++x) isSquare[field.mul(x, x)] = true;
  // A Möbius map is fixed by the images of 0, 1 and infinity.
  std::map<uint32_t, size_t> seen;
  MobiusGroup group;
  // Each map once: scaled so that c = 1, or c = 0 and d = 1.
  for (int a = 0; a < q; ++a)
    for (int b = 0; b < q; ++b)
      for (int c = 0; c <= 1; ++c)
        for (int d = 0; d < q; ++d) {
          if (c == 0 && d != 1) continue;
          const int det = field.add(field.mul(a, d), field.neg(field.mul(b, c)));
          if (det == 0) continue;
          std::vector<uint8_t> image(q + 1);
          for (int x = 0; x <= q; ++x) {
            int y;
            if (x == q) {
              y = c == 0 ? q : field.mul(a, field.inv(c));
            } else {
              const int numerator = field.add(field.mul(a, x), b);
              const int denominator = field.add(field.mul(c, x), d);
              y = denominator == 0 ? q : field.mul(numerator, field.inv(denominator));
            }
            image[x] = static_cast<uint8_t>(y);
          }
          const uint32_t key = (uint32_t{image[0]} << 16) | (uint32_t{image[1]} << 8) | image[q];
          auto [it, added] = seen.emplace(key, group.maps.size());
          if (added) {
            group.maps.push_back(std::move(image));
            group.special.push_back(isSquare[det]);
          } else if (isSquare[det]) {
            group.special[it->second] = true;
          }
        }
  return group;
}

std::vector<uint64_t> mobiusOrbit(const MobiusGroup& group, uint64_t base, bool specialOnly) {
  std::vector<uint64_t> orbit;
  orbit.reserve(group.maps.size());
  std::vector<int> basePoints;
  for (int x = 0; x < 64; ++x)
    if (base >> x & 1) basePoints.push_back(x);
  for (size_t g = 0; g < group.maps.size(); ++g) {
    if (specialOnly && !group.special[g]) continue;
    uint64_t image = 0;
    for (int x : basePoints) image |= bit(group.maps[g][x]);
    orbit.push_back(image);
  }
  std::sort(orbit.begin(), orbit.end());
  orbit.erase(std::unique(orbit.begin(), orbit.end()), orbit.end());
  return orbit;
}

// The inversive plane of order r: circles are the images of GF(r) + {infinity}
// inside GF(r^2) + {infinity}; a Steiner system S(3, r + 1, r^2 + 1).
BlockDesign inversivePlane(int p, int n) {
  const FiniteField field(p, 2 * n);
  const int q = field.order();
  int r = 1;
  for (int i = 0; i < n; ++i) r *= p;
  uint64_t base = bit(q);
  for (int x = 0; x < q; ++x)
    if (field.power(x, r) == x) base |= bit(x);
  return {"inversive plane of order " + std::to_string(r), q + 1, r + 1, 3, mobiusOrbit(mobiusGroup(field), base, false)};
}

// A Steiner system S(3, 5, 26) on the non-zero elements of GF(27), made of
// orbits of 5-sets under the maps x -> a * x^(3^i): collects the orbits that
// cover no triple twice and picks, by exact cover over the triples (fewest
// choices first), orbits that cover every triple once. Such a system is the
// twice-derived design of a 5-(28, 7, 1) system with this symmetry.
BlockDesign steinerSystem3526() {
  const FiniteField field(3, 3);
  BlockDesign design{"Steiner system S(3,5,26) from orbits over GF(27)", 26, 5, 3, {}};
  // The group as permutations of the 26 points (point x - 1 for element x).
  std::vector<std::array<uint8_t, 26>> group;
  for (int a = 1; a < 27; ++a)
    for (int power = 1; power <= 9; power *= 3) {
      std::array<uint8_t, 26> map{};
      for (int x = 1; x < 27; ++x) map[x - 1] = static_cast<uint8_t>(field.mul(a, field.power(x, power)) - 1);
      group.push_back(map);
    }
  const int triples = static_cast<int>(binomial(26, 3));
  auto tripleRank = [](int a, int b, int c) { return static_cast<int>(a + binomial(b, 2) + binomial(c, 3)); };
  std::vector<std::vector<int>> orbitTriples;
  std::vector<std::vector<uint64_t>> orbitBlocks;
  std::set<uint64_t> seen;
  std::vector<int> points = {0, 1, 2, 3, 4};
  while (true) {
    uint64_t base = 0;
    for (int x : points) base |= bit(x);
    if (!seen.count(base)) {
      std::set<uint64_t> orbit;
      for (const auto& map : group) {
        uint64_t image = 0;
        for (int x : points) image |= bit(map[x]);
        orbit.insert(image);
      }
      seen.insert(orbit.begin(), orbit.end());
      std::vector<int> covered;
      std::vector<bool> used(triples, false);
      bool packing = true;
      for (uint64_t block : orbit) {
        int p[5], n = 0;
        for (int x = 0; x < 26; ++x)
          if (block >> x & 1) p[n++] = x;
        for (int i = 0; i < 5; ++i)
          for (int j = i + 1; j < 5; ++j)
            for (int l = j + 1; l < 5; ++l) {
              const int r = tripleRank(p[i], p[j], p[l]);
              if (used[r]) packing = false;
              used[r] = true;
              covered.push_back(r);
            }
      }
      if (packing) {
        orbitTriples.push_back(std::move(covered));
        orbitBlocks.emplace_back(orbit.begin(), orbit.end());
      }
    }
    int i = 4;
    while (i >= 0 && points[i] == 21 + i) --i;
    if (i < 0) break;
    ++points[i];
    for (int j = i + 1; j < 5; ++j) points[j] = points[j - 1] + 1;
  }
  std::vector<std::vector<int>> orbitsOf(triples);
  for (size_t o = 0; o < orbitTriples.size(); ++o)
    for (int r : orbitTriples[o]) orbitsOf[r].push_back(static_cast<int>(o));
  std::vector<bool> covered(triples, false);
  std::vector<int> chosen;
  long nodes = 0;
  auto fits = [&](int o) {
    for (int r : orbitTriples[o])
      if (covered[r]) return false;
    return true;
  };
  std::function<bool()> cover = [&]() -> bool {
    if (++nodes > 100000) return false;
    std::vector<char> orbitFits(orbitTriples.size());
    for (size_t o = 0; o < orbitTriples.size(); ++o) orbitFits[o] = fits(static_cast<int>(o));
    int bestTriple = -1, bestChoices = INT32_MAX;
    for (int r = 0; r < triples; ++r) {
      if (covered[r]) continue;
      int choices = 0;
      for (int o : orbitsOf[r]) choices += orbitFits[o];
      if (choices < bestChoices) bestChoices = choices, bestTriple = r;
      if (choices == 0) return false;
    }
    if (bestTriple < 0) return true;
    for (int o : orbitsOf[bestTriple]) {
      if (!fits(o)) continue;
      for (int r : orbitTriples[o]) covered[r] = true;
      chosen.push_back(o);
      if (cover()) return true;
      chosen.pop_back();
      for (int r : orbitTriples[o]) covered[r] = false;
    }
    return false;
  };
  if (cover())
    for (int o : chosen) design.blocks.insert(design.blocks.end(), orbitBlocks[o].begin(), orbitBlocks[o].end());
  return design;
}

// Supports of the minimum-weight words of the extended binary Golay code: the
// 759 octads of S(5, 8, 24). The code is the cyclic code of length 23 with
// generator x^11 + x^10 + x^6 + x^5 + x^4 + x^2 + 1, extended by a parity bit.
BlockDesign binaryGolayOctads() {
  const uint32_t generator = 0xC75;
  BlockDesign design{"octads of the binary Golay code", 24, 8, 5, {}};
  for (uint32_t message = 0; message < (1u << 12); ++message) {
    uint32_t word = 0;
    for (int i = 0; i < 12; ++i)
      if (message >> i & 1) word ^= generator << i;
    if (std::popcount(word) % 2) word |= 1u << 23;
    if (std::popcount(word) == 8) design.blocks.push_back(word);
  }
  return design;
}

// Supports of the weight-6 words of the extended ternary Golay code: the 132
// hexads of S(5, 6, 12). The code is the cyclic code of length 11 over GF(3)
// with generator x^5 + x^4 + 2x^3 + x^2 + 2, extended by the zero-sum digit.
BlockDesign ternaryGolayHexads() {
  const int generator[6] = {2, 0, 1, 2, 1, 1};  // coefficients of x^0..x^5
  BlockDesign design{"hexads of the ternary Golay code", 12, 6, 5, {}};
  std::set<uint64_t> supports;
  int message[6] = {0, 0, 0, 0, 0, 0};
  for (int index = 0; index < 729; ++index) {
    int value = index;
    for (int i = 0; i < 6; ++i) message[i] = value % 3, value /= 3;
    int word[12] = {};
    for (int i = 0; i < 6; ++i)
      for (int j = 0; j < 6; ++j) word[i + j] = (word[i + j] + message[i] * generator[j]) % 3;
    int sum = 0;
    for (int i = 0; i < 11; ++i) sum += word[i];
    word[11] = (3 - sum % 3) % 3;
    uint64_t support = 0;
    for (int i = 0; i < 12; ++i)
      if (word[i]) support |= bit(i);
    if (std::popcount(support) == 6) supports.insert(support);
  }
  design.blocks.assign(supports.begin(), supports.end());
  return design;
}

bool holdsItsStrength(const BlockDesign& design) {
  if (design.blocks.empty()) return false;
  for (uint64_t block : design.blocks)
    if (std::popcount(block) != design.blockSize) return false;
  return !findUncoveredDraw(design.points, design.strength, design.strength, 0, design.blocks);
}

}  // namespace

BlockDesign derivedDesign(const BlockDesign& design, int point) {
  BlockDesign derived{design.name + ", derived", design.points - 1, design.blockSize - 1, design.strength - 1, {}};
  const uint64_t low = bit(point) - 1;
  for (uint64_t block : design.blocks)
    if (block >> point & 1) derived.blocks.push_back((block & low) | ((block >> 1) & ~low));
  return derived;
}

const std::vector<BlockDesign>& knownDesigns() {
  static const std::vector<BlockDesign> designs = [] {
    std::vector<BlockDesign> all;
    auto keep = [&all](BlockDesign design) {
      if (holdsItsStrength(design)) all.push_back(std::move(design));
    };
    keep(projectivePlane(3, 1));
    keep(projectivePlane(2, 2));
    keep(projectivePlane(5, 1));
    keep(affinePlane(2, 2));
    keep(affinePlane(5, 1));
    keep(binaryAffinePlanes(3));
    keep(binaryAffinePlanes(4));
    keep(binaryProjectivePlanes());
    keep(inversivePlane(3, 1));
    keep(inversivePlane(2, 2));
    keep(inversivePlane(5, 1));
    keep(steinerSystem3526());
    const BlockDesign octads = binaryGolayOctads();
    keep(octads);
    keep(derivedDesign(octads, 23));
    keep(derivedDesign(derivedDesign(octads, 23), 22));
    const BlockDesign hexads = ternaryGolayHexads();
    keep(hexads);
    keep(derivedDesign(hexads, 11));
    return all;
  }();
  return designs;
}

std::vector<uint64_t> coveringFromDesign(const BlockDesign& design, int v, int k, int t) {
  if (design.strength < t || design.blockSize > k || design.points < v || v < k) return {};
  // Drop points one by one; each time the point whose removal leaves the most
  // blocks with fewer than t points (those blocks are no longer needed).
  uint64_t kept = design.points == 64 ? ~uint64_t{0} : bit(design.points) - 1;
  auto useful = [&](uint64_t points) {
    int count = 0;
    for (uint64_t block : design.blocks)
      if (std::popcount(block & points) >= t) ++count;
    return count;
  };
  for (int removed = 0; removed < design.points - v; ++removed) {
    int bestPoint = -1, bestCount = 0;
    for (int p = design.points - 1; p >= 0; --p) {
      if (!(kept >> p & 1)) continue;
      const int count = useful(kept & ~bit(p));
      if (bestPoint < 0 || count < bestCount) bestPoint = p, bestCount = count;
    }
    kept &= ~bit(bestPoint);
  }
  // Renumber the kept points 0..v-1 and pad each block to k points.
  std::vector<int> newIndex(design.points, -1);
  int next = 0;
  for (int p = 0; p < design.points; ++p)
    if (kept >> p & 1) newIndex[p] = next++;
  std::set<uint64_t> result;
  for (uint64_t block : design.blocks) {
    if (std::popcount(block & kept) < t) continue;
    uint64_t mapped = 0;
    for (int p = 0; p < design.points; ++p)
      if ((block & kept) >> p & 1) mapped |= bit(newIndex[p]);
    for (int p = 0; std::popcount(mapped) < k; ++p) mapped |= bit(p);
    result.insert(mapped);
  }
  return {result.begin(), result.end()};
}
