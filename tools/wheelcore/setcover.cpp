#include "wheelcore/setcover.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "wheelcore/coverstate.h"

using wheelsearch::makeRng;
using wheelsearch::Rng;
using wheelsearch::threadCpuSeconds;
using wheelsearch::uniform;

void SetCoverInstance::addSet(std::vector<uint32_t> members) {
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
  void bumpWeights() {
    for (uint32_t e : uncovered_) {
      ++weight_[e];
      for (const uint32_t* other = setsBegin(e); other != setsEnd(e); ++other) ++score_[*other];
    }
  }

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
  // Sets are better when they score higher, and on a tie when left alone longer.
  auto preferred = [&](uint32_t s, uint32_t than) {
    return than == UINT32_MAX || search.score(s) > search.score(than) ||
           (search.score(s) == search.score(than) && search.changedAt(s) < search.changedAt(than));
  };
  // A greedy start: each uncovered element in turn, with the set gaining most.
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
  uint32_t lastAdded = UINT32_MAX;
  size_t fewest = SIZE_MAX, toldAtFewest = 0;  // the smallest cover told so far
  auto lastReport = std::chrono::steady_clock::now();
  while (budgetLeft()) {
    while (search.uncovered().empty()) {
      // Covers as small as the smallest are told too, a few hundred times:
      // the same number of orbits may hold fewer tickets.
      if (search.cover().size() < fewest) fewest = search.cover().size(), toldAtFewest = 0;
      if (search.cover().size() == fewest && toldAtFewest++ < 256 && record(search.cover())) return step;
      if (search.cover().size() <= 1) return step;
      search.remove(cheapest(UINT32_MAX), step);
    }
    ++step;
    const size_t uncoveredBefore = search.uncovered().size();
    const uint32_t removed = cheapest(lastAdded);
    if (removed != UINT32_MAX) search.remove(removed, step);
    const uint32_t e = search.uncovered()[uniform(rng, search.uncovered().size())];
    uint32_t added = UINT32_MAX;
    for (const uint32_t* s = search.setsBegin(e); s != search.setsEnd(e); ++s) {
      if (*s != removed && preferred(*s, added)) added = *s;
    }
    if (added == UINT32_MAX) added = removed;
    search.add(added, step);
    lastAdded = added;
    // Weights grow only where the swap left as much uncovered as before:
    // measured against growing them at every step, this found covers as
    // small or smaller on every cell tried, and a step costs less.
    if (search.uncovered().size() >= uncoveredBefore) search.bumpWeights();
    if (options.progress && (step & 1023) == 0 && std::chrono::steady_clock::now() - lastReport > std::chrono::seconds(2)) {
      lastReport = std::chrono::steady_clock::now();
      options.progress(std::to_string(search.cover().size()) + " sets, " + std::to_string(search.uncovered().size()) +
                       " elements uncovered, " + std::to_string(step) + " steps");
    }
  }
  return step;
}
