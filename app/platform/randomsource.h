#pragma once
// The random generator of the random pick: a Mersenne twister seeded from the
// desktop (the clock in the product, a fixed sequence in tests) and uniform
// draws below a bound.

#include <random>

class RandomSource {
 public:
  // Seeds the generator afresh from desktop().randomSeed().
  void seedFromClock();
  // A uniform integer from 0 to bound - 1. REQUIRES: bound > 0.
  int below(int bound);

 private:
  std::mt19937 engine_;
};
