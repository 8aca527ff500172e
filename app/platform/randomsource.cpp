#include "platform/randomsource.h"

#include "platform/desktop.h"

void RandomSource::seedFromClock() { engine_.seed(desktop().randomSeed()); }

int RandomSource::below(int bound) {
  std::uniform_int_distribution<int> draw(0, bound - 1);
  return draw(engine_);
}
