#include "wheelcore/wheel.h"

#include <algorithm>
#include <bit>
#include <map>
#include <tuple>

const char* wheelTypeLetter(WheelType type) {
  return type == WheelType::abbreviated ? "a" : "k";
}

std::string formulaText(int t, int m) {
  return std::to_string(t) + "if" + std::to_string(m);
}

namespace {

bool parseSmallNumber(const std::string& text, int& value) {
  if (text.empty() || text.size() > 4) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

}  // namespace

bool parseFormula(const std::string& text, int& t, int& m) {
  const auto at = text.find("if");
  if (at == std::string::npos) return false;
  return parseSmallNumber(text.substr(0, at), t) && parseSmallNumber(text.substr(at + 2), m);
}

std::string describeSpec(const WheelSpec& spec) {
  return "pick " + std::to_string(spec.pick) + ", " + wheelTypeLetter(spec.type) + ", " +
         formulaText(spec.t, spec.m) + " of " + std::to_string(spec.v);
}

std::string checkSpec(const WheelSpec& spec) {
  if (spec.v < 1 || spec.v > kMaxPositions)
    return "the number of chosen numbers must lie between 1 and " + std::to_string(kMaxPositions);
  if (spec.pick < 1 || spec.pick > spec.v)
    return "a ticket must hold between 1 and " + std::to_string(spec.v) + " numbers";
  if (spec.t < 1 || spec.t > spec.m)
    return "the formula t if m needs 1 <= t <= m";
  if (spec.t > spec.pick) return "a ticket cannot hold " + std::to_string(spec.t) + " numbers";
  if (spec.m > spec.v) return "m cannot exceed the number of chosen numbers";
  return {};
}

uint64_t binomial(int n, int r) {
  if (r < 0 || n < 0 || r > n) return 0;
  r = std::min(r, n - r);
  unsigned __int128 value = 1;
  for (int i = 1; i <= r; ++i) {
    value = value * static_cast<unsigned>(n - r + i) / static_cast<unsigned>(i);
    if (value > UINT64_MAX) return UINT64_MAX;
  }
  return static_cast<uint64_t>(value);
}

namespace {

// Depth-first walk over the draws in increasing position order. A partial draw
// that some ticket already meets in t positions is met by every extension, so
// the walk prunes there; only partial draws no ticket meets yet are extended.
class DrawWalk {
 public:
  DrawWalk(int v, int t, int m, const std::vector<uint64_t>& tickets)
      : v_(v), t_(t), m_(m), ticketsAt_(v), hitCount_(tickets.size(), 0) {
    for (size_t i = 0; i < tickets.size(); ++i)
      for (int p = 0; p < v; ++p)
        if (tickets[i] >> p & 1) ticketsAt_[p].push_back(static_cast<uint32_t>(i));
  }

  void add(int position) {
    for (uint32_t i : ticketsAt_[position])
      if (++hitCount_[i] == t_) ++metTickets_;
    draw_ |= uint64_t{1} << position;
  }
  void remove(int position) {
    for (uint32_t i : ticketsAt_[position])
      if (hitCount_[i]-- == t_) --metTickets_;
    draw_ &= ~(uint64_t{1} << position);
  }

  // Extends the current draw of `size` positions with positions >= from.
  bool findUncovered(int from, int size) {
    if (metTickets_ > 0) return false;
    if (size == m_) return true;
    for (int p = from; p <= v_ - (m_ - size); ++p) {
      if (draw_ >> p & 1) continue;
      add(p);
      const bool found = findUncovered(p + 1, size + 1);
      if (found) return true;
      remove(p);
    }
    return false;
  }

  uint64_t draw() const { return draw_; }

 private:
  int v_, t_, m_;
  std::vector<std::vector<uint32_t>> ticketsAt_;
  std::vector<int> hitCount_;
  int metTickets_ = 0;
  uint64_t draw_ = 0;
};

}  // namespace

std::optional<uint64_t> findUncoveredDraw(int v, int t, int m, uint64_t required,
                                          const std::vector<uint64_t>& tickets) {
  DrawWalk walk(v, t, m, tickets);
  int size = 0;
  for (int p = 0; p < v; ++p)
    if (required >> p & 1) {
      walk.add(p);
      ++size;
    }
  if (size > m) return std::nullopt;  // no draw of m positions holds them all
  // Required positions are placed first; the walk fills in the rest at any
  // position, skipping those already in the draw.
  if (walk.findUncovered(0, size)) return walk.draw();
  return std::nullopt;
}

namespace {

std::string joinPositions(const std::vector<int>& positions) {
  std::string text;
  for (size_t i = 0; i < positions.size(); ++i) {
    if (i) text += ' ';
    text += std::to_string(positions[i]);
  }
  return text;
}

}  // namespace

VerifyResult verifyWheel(const WheelSpec& spec, const std::vector<Ticket>& tickets) {
  VerifyResult result;
  const std::string problem = checkSpec(spec);
  if (!problem.empty()) {
    result.message = "invalid wheel " + describeSpec(spec) + ": " + problem;
    return result;
  }
  if (tickets.empty()) {
    result.message = "the wheel has no tickets";
    return result;
  }
  std::vector<uint64_t> masks;
  masks.reserve(tickets.size());
  for (size_t i = 0; i < tickets.size(); ++i) {
    const std::string where = "ticket " + std::to_string(i + 1) + ": ";
    uint64_t mask = 0;
    for (int position : tickets[i]) {
      if (position < 1 || position > spec.v) {
        result.message = where + "position " + std::to_string(position) + " lies outside 1.." +
                         std::to_string(spec.v);
        return result;
      }
      const uint64_t bit = uint64_t{1} << (position - 1);
      if (mask & bit) {
        result.message = where + "position " + std::to_string(position) + " appears twice";
        return result;
      }
      mask |= bit;
    }
    if (static_cast<int>(tickets[i].size()) != spec.pick) {
      result.message = where + "holds " + std::to_string(tickets[i].size()) +
                       " numbers instead of " + std::to_string(spec.pick);
      return result;
    }
    if (spec.type == WheelType::key && !(mask & 1)) {
      result.message = where + "does not hold the key (position 1)";
      return result;
    }
    masks.push_back(mask);
  }
  const uint64_t required = spec.type == WheelType::key ? 1 : 0;
  if (const auto draw = findUncoveredDraw(spec.v, spec.t, spec.m, required, masks)) {
    for (int p = 0; p < spec.v; ++p)
      if (*draw >> p & 1) result.failingDraw.push_back(p + 1);
    result.message = "fails: the draw " + joinPositions(result.failingDraw) + " meets no ticket in " +
                     std::to_string(spec.t) + " positions";
    return result;
  }
  result.holds = true;
  result.message = "holds: " + describeSpec(spec) + ", " + std::to_string(tickets.size()) + " tickets";
  return result;
}

uint64_t schonheimBound(int v, int k, int t) {
  // L(v, k, 1) = ceil(v / k); L(v, k, t) = ceil(v / k * L(v - 1, k - 1, t - 1)).
  unsigned __int128 bound = 1;
  for (int level = 1; level <= t; ++level) {
    const int vv = v - t + level, kk = k - t + level;
    bound = (bound * static_cast<unsigned>(vv) + static_cast<unsigned>(kk) - 1) / static_cast<unsigned>(kk);
  }
  return bound > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(bound);
}

std::optional<CoveringParameters> coveringOf(const WheelSpec& spec) {
  if (spec.t != spec.m) return std::nullopt;
  if (spec.type == WheelType::abbreviated) return CoveringParameters{spec.v, spec.pick, spec.t};
  if (spec.t < 2) return std::nullopt;
  return CoveringParameters{spec.v - 1, spec.pick - 1, spec.t - 1};
}

std::optional<uint64_t> wheelLowerBound(const WheelSpec& spec) {
  if (spec.t != spec.m || !checkSpec(spec).empty()) return std::nullopt;
  if (spec.type == WheelType::key && spec.t == 1) return 1;
  const auto covering = coveringOf(spec);
  return schonheimBound(covering->v, covering->k, covering->t);
}

std::optional<uint64_t> knownCoveringSize(int v, int k, int t) {
  if (t < 1 || t > k || k > v) return std::nullopt;
  if (v == k) return 1;
  if (v == k + 1) return static_cast<uint64_t>(t + 1);
  if (t == 1) return static_cast<uint64_t>((v + k - 1) / k);
  if (t == k) return binomial(v, k);  // every k-subset is needed
  static const std::map<std::tuple<int, int, int>, uint64_t> table = {
      // pick 5
      {{7, 5, 2}, 3}, {{8, 5, 2}, 4}, {{10, 5, 2}, 6}, {{11, 5, 2}, 7}, {{14, 5, 2}, 12},
      {{18, 5, 2}, 18}, {{19, 5, 2}, 19}, {{21, 5, 2}, 21}, {{22, 5, 2}, 27}, {{23, 5, 2}, 28},
      {{25, 5, 2}, 30}, {{26, 5, 2}, 37}, {{7, 5, 3}, 5}, {{17, 5, 3}, 68}, {{26, 5, 3}, 260},
      {{7, 5, 4}, 9}, {{8, 5, 4}, 20}, {{9, 5, 4}, 30}, {{10, 5, 4}, 51}, {{11, 5, 4}, 66},
      {{12, 5, 4}, 113}, {{23, 5, 4}, 1771},
      // pick 6
      {{8, 6, 2}, 3}, {{9, 6, 2}, 3}, {{10, 6, 2}, 4}, {{12, 6, 2}, 6}, {{13, 6, 2}, 7},
      {{14, 6, 2}, 7}, {{17, 6, 2}, 12}, {{18, 6, 2}, 12}, {{22, 6, 2}, 19}, {{27, 6, 2}, 27},
      {{28, 6, 2}, 28}, {{8, 6, 3}, 4}, {{11, 6, 3}, 11}, {{12, 6, 3}, 15}, {{22, 6, 3}, 77},
      {{26, 6, 3}, 130}, {{8, 6, 4}, 7}, {{27, 6, 4}, 1170}, {{8, 6, 5}, 12}, {{9, 6, 5}, 30},
      {{10, 6, 5}, 50}, {{12, 6, 5}, 132}, {{13, 6, 5}, 245}, {{24, 6, 5}, 7084},
      // pick 7
      {{9, 7, 2}, 3}, {{10, 7, 2}, 3}, {{11, 7, 2}, 4}, {{14, 7, 2}, 6}, {{15, 7, 2}, 7},
      {{20, 7, 2}, 12}, {{22, 7, 2}, 13}, {{26, 7, 2}, 19}, {{27, 7, 2}, 20}, {{9, 7, 3}, 4},
      {{15, 7, 3}, 15}, {{9, 7, 4}, 6}, {{23, 7, 4}, 253}, {{9, 7, 5}, 9}, {{28, 7, 5}, 4680},
  };
  const auto found = table.find({v, k, t});
  if (found == table.end()) return std::nullopt;
  return found->second;
}
