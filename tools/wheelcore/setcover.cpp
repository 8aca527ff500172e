#include "wheelcore/setcover.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "wheelcore/coverstate.h"

using wheelsearch::makeRng;
using wheelsearch::Rng;
using wheelsearch::threadCpuSeconds;
using wheelsearch::uniform;

void SetCoverInstance::addSet(std::vector<uint32_t> members, uint32_t setCost) {
  cost.push_back(setCost);
  std::sort(members.begin(), members.end());
  members.erase(std::unique(members.begin(), members.end()), members.end());
  elements.insert(elements.end(), members.begin(), members.end());
  first.push_back(elements.size());
}

namespace {

// The search's state. A set's score is what adding it gains (the weight of
// the uncovered elements it holds) when it is out of the cover, and minus what
// removing it loses (the weight of the elements only it covers) when it is in.
class CoverSearch {
 public:
  explicit CoverSearch(const SetCoverInstance& instance)
      : in_(instance),
        inCover_(instance.setCount(), false),
        score_(instance.setCount(), 0),
        changedAt_(instance.setCount(), 0),
        cover_(instance.elementCount, 0),
        coverXor_(instance.elementCount, 0),
        weight_(instance.elementCount, 1),
        slot_(instance.elementCount, -1) {
    // Elements to sets, the transpose of the instance.
    setsFirst_.assign(instance.elementCount + 1, 0);
    for (uint32_t e : instance.elements) ++setsFirst_[e + 1];
    for (size_t e = 0; e < instance.elementCount; ++e) setsFirst_[e + 1] += setsFirst_[e];
    sets_.resize(instance.elements.size());
    std::vector<uint64_t> fill(setsFirst_.begin(), setsFirst_.end() - 1);
    for (uint32_t s = 0; s < instance.setCount(); ++s)
      for (uint64_t i = instance.first[s]; i < instance.first[s + 1]; ++i) sets_[fill[instance.elements[i]]++] = s;
    for (uint32_t e = 0; e < instance.elementCount; ++e) list(e);
    for (uint32_t s = 0; s < instance.setCount(); ++s) score_[s] = static_cast<int64_t>(size(s));
  }

  uint64_t size(uint32_t s) const { return in_.first[s + 1] - in_.first[s]; }
  uint64_t cost(uint32_t s) const { return in_.cost.empty() ? 1 : in_.cost[s]; }
  uint64_t total() const { return total_; }
  const std::vector<uint32_t>& cover() const { return members_; }
  const std::vector<uint32_t>& uncovered() const { return uncovered_; }
  bool covers(uint32_t e) const { return cover_[e] > 0; }
  bool inCover(uint32_t s) const { return inCover_[s]; }
  int64_t score(uint32_t s) const { return score_[s]; }
  uint64_t changedAt(uint32_t s) const { return changedAt_[s]; }
  const uint32_t* setsBegin(uint32_t e) const { return sets_.data() + setsFirst_[e]; }
  const uint32_t* setsEnd(uint32_t e) const { return sets_.data() + setsFirst_[e + 1]; }

  void add(uint32_t s, uint64_t step) {
    inCover_[s] = true;
    members_.push_back(s);
    total_ += cost(s);
    changedAt_[s] = step;
    score_[s] = -score_[s];
    for (uint64_t i = in_.first[s]; i < in_.first[s + 1]; ++i) {
      const uint32_t e = in_.elements[i];
      if (cover_[e] == 0) {
        unlist(e);
        for (const uint32_t* other = setsBegin(e); other != setsEnd(e); ++other)
          if (*other != s) score_[*other] -= weight_[e];
      } else if (cover_[e] == 1) {
        score_[coverXor_[e]] += weight_[e];  // no longer its own
      }
      ++cover_[e];
      coverXor_[e] ^= s;
    }
  }

  void remove(uint32_t s, uint64_t step) {
    inCover_[s] = false;
    members_.erase(std::find(members_.begin(), members_.end(), s));
    total_ -= cost(s);
    changedAt_[s] = step;
    score_[s] = -score_[s];
    for (uint64_t i = in_.first[s]; i < in_.first[s + 1]; ++i) {
      const uint32_t e = in_.elements[i];
      --cover_[e];
      coverXor_[e] ^= s;
      if (cover_[e] == 0) {
        list(e);
        for (const uint32_t* other = setsBegin(e); other != setsEnd(e); ++other)
          if (*other != s) score_[*other] += weight_[e];
      } else if (cover_[e] == 1) {
        score_[coverXor_[e]] -= weight_[e];  // now its own
      }
    }
  }

  // Every uncovered element weighs one more; the sets holding it gain as much.
  // On large instances, where the uncovered elements lie in thousands of sets
  // each, that walk would take most of the time: there only a random share of
  // them grows, so that a step stays cheap and the weights still grow, over
  // many steps, as fast as before.
  template <class Random>
  void bumpWeights(Random& random) {
    uint64_t work = 0;
    for (uint32_t e : uncovered_) work += setsFirst_[e + 1] - setsFirst_[e];
    const uint64_t share = work > kBumpWork ? work / kBumpWork + 1 : 1;  // bump one in `share`
    for (uint32_t e : uncovered_) {
      if (share > 1 && random() % share != 0) continue;
      ++weight_[e];
      for (const uint32_t* other = setsBegin(e); other != setsEnd(e); ++other) ++score_[*other];
    }
  }
  static constexpr uint64_t kBumpWork = 50'000;

 private:
  void list(uint32_t e) {
    slot_[e] = static_cast<int32_t>(uncovered_.size());
    uncovered_.push_back(e);
  }
  void unlist(uint32_t e) {
    const int32_t at = slot_[e];
    uncovered_[static_cast<size_t>(at)] = uncovered_.back();
    slot_[uncovered_.back()] = at;
    uncovered_.pop_back();
    slot_[e] = -1;
  }

  const SetCoverInstance& in_;
  std::vector<bool> inCover_;
  std::vector<int64_t> score_;
  std::vector<uint64_t> changedAt_;
  std::vector<uint32_t> members_;
  uint64_t total_ = 0;  // the cost of members_
  std::vector<uint32_t> cover_, coverXor_;  // per element: sets covering it, and their xor
  std::vector<int64_t> weight_;
  std::vector<int32_t> slot_;
  std::vector<uint32_t> uncovered_;
  std::vector<uint64_t> setsFirst_;
  std::vector<uint32_t> sets_;
};

}  // namespace

uint64_t searchSetCover(const SetCoverInstance& instance, const SetCoverOptions& options,
                        const std::function<bool(const std::vector<uint32_t>&)>& record) {
  CoverSearch search(instance);
  Rng rng = makeRng(options.seed, 0x73637672);
  const double startCpu = threadCpuSeconds();
  uint64_t step = 0;
  auto budgetLeft = [&] {
    if (options.steps) return step < options.steps;
    return (step & 63) != 0 || threadCpuSeconds() - startCpu < options.seconds;
  };
  // Sets are better when they score higher for what they cost (gain more, or
  // lose less, per unit), and on a tie when left alone longer.
  auto preferred = [&](uint32_t s, uint32_t than) {
    if (than == UINT32_MAX) return true;
    const int64_t mine = search.score(s) * static_cast<int64_t>(search.cost(than));
    const int64_t theirs = search.score(than) * static_cast<int64_t>(search.cost(s));
    return mine > theirs || (mine == theirs && search.changedAt(s) < search.changedAt(than));
  };
  // The sets given, then a greedy completion: each uncovered element in
  // turn, with the set gaining most.
  for (uint32_t s : options.start)
    if (s < instance.setCount() && !search.inCover(s)) search.add(s, 0);
  while (!search.uncovered().empty()) {
    const uint32_t e = search.uncovered().front();
    if (search.setsBegin(e) == search.setsEnd(e)) return 0;  // an element no set covers
    uint32_t best = *search.setsBegin(e);
    for (const uint32_t* s = search.setsBegin(e); s != search.setsEnd(e); ++s)
      if (search.score(*s) > search.score(best)) best = *s;
    search.add(best, 0);
  }
  // The set in the cover whose removal loses least, other than `keep`.
  auto cheapest = [&](uint32_t keep) {
    uint32_t chosen = UINT32_MAX;
    for (uint32_t s : search.cover())
      if (s != keep && preferred(s, chosen)) chosen = s;
    return chosen;
  };
  // The best set holding element e, other than `skip`.
  auto bestFor = [&](uint32_t e, uint32_t skip) {
    uint32_t chosen = UINT32_MAX;
    for (const uint32_t* s = search.setsBegin(e); s != search.setsEnd(e); ++s)
      if (*s != skip && preferred(*s, chosen)) chosen = *s;
    return chosen;
  };
  uint32_t lastAdded = UINT32_MAX;
  uint64_t cheapestCost = UINT64_MAX;  // of the cheapest cover told so far
  uint64_t leastCost = UINT64_MAX;     // of any set
  for (uint32_t s = 0; s < instance.setCount(); ++s) leastCost = std::min(leastCost, search.cost(s));
  size_t toldAtCheapest = 0;
  // Once it covers everything, the working cover is cut to below the
  // cheapest found, so that covering every element again is progress. (A
  // swap may make it dearer again; the next cut takes that back.)
  auto undercut = [&] {
    while (search.total() >= cheapestCost) {
      const uint32_t s = cheapest(UINT32_MAX);
      if (s == UINT32_MAX) break;
      search.remove(s, step);
    }
  };
  auto lastReport = std::chrono::steady_clock::now();
  while (budgetLeft()) {
    while (search.uncovered().empty()) {
      // Covers as cheap as the cheapest are told too, a few hundred times:
      // the same cost may hold fewer tickets once redundant ones go.
      if (search.total() < cheapestCost) cheapestCost = search.total(), toldAtCheapest = 0;
      if (search.total() == cheapestCost && toldAtCheapest++ < 256 && record(search.cover())) return step;
      if (search.total() <= leastCost) return step;  // no cover is cheaper
      undercut();
    }
    ++step;
    const size_t uncoveredBefore = search.uncovered().size();
    const uint32_t removed = cheapest(lastAdded);
    if (removed != UINT32_MAX) search.remove(removed, step);
    uint32_t added = bestFor(search.uncovered()[uniform(rng, search.uncovered().size())], removed);
    if (added == UINT32_MAX) added = removed;
    search.add(added, step);
    lastAdded = added;
    // While it stays cheaper than the cheapest cover, the working cover may
    // also grow: two small sets can then take the place of a dear one. With
    // equal costs there is never room for this, and the step is the same as
    // without costs, random draws included.
    while (!search.uncovered().empty() && search.total() + leastCost < cheapestCost) {
      const uint32_t more = bestFor(search.uncovered()[uniform(rng, search.uncovered().size())], UINT32_MAX);
      if (more == UINT32_MAX || search.total() + search.cost(more) >= cheapestCost) break;
      search.add(more, step);
      lastAdded = more;
    }
    // Weights grow only where the swap left as much uncovered as before:
    // measured against growing them at every step, this found covers as
    // small or smaller on every cell tried, and a step costs less.
    if (search.uncovered().size() >= uncoveredBefore) search.bumpWeights(rng);
    if (options.progress && (step & 1023) == 0 && std::chrono::steady_clock::now() - lastReport > std::chrono::seconds(2)) {
      lastReport = std::chrono::steady_clock::now();
      options.progress(std::to_string(search.cover().size()) + " sets, " + std::to_string(search.uncovered().size()) +
                       " elements uncovered, " + std::to_string(step) + " steps");
    }
  }
  return step;
}
