#pragma once
// The options of a dataset's filter, shared by the dataset framework (its
// FilterOptions property) and the engine's filter evaluation.

#include <cstdint>

enum TFilterOption : uint8_t {
  foCaseInsensitive = 1 << 0,   // text comparisons ignore letter case
  foNoPartialCompare = 1 << 1,  // a "*" in a text constant is an ordinary character
};

// A set of TFilterOption bits.
using TFilterOptions = uint8_t;
