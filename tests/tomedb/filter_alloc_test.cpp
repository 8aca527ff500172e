// Evaluating a filter of fields, constants and comparisons allocates nothing:
// operator new is counted for the whole test binary and must stay still while
// records are tested.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/tomedb/filter_fixture.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// GCC does not see that the operator new above takes its memory from malloc
// and, once it has inlined both, takes these frees for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using FilterAllocation = FilterTest;

TEST_F(FilterAllocation, RecordsAreTestedWithoutAllocating) {
  parser.Parse("pick= 6 and  wheeltype='a' and  zoption= 10 or country IN ('Uni*', 'Germany') or f > 1.5 "
               "or d = '1/2/2004' or NOT flag = TRUE");
  data.SetText("wheeltype", "a");
  data.Set<int32_t>("pick", 6);
  parser.Calculate(0);  // binds the field nodes
  const long before = allocations.load();
  int matches = 0;
  for (int i = 0; i < 1000; ++i) {
    data.Set<int32_t>("zoption", i % 20);
    matches += parser.Calculate(i % 2 ? foCaseInsensitive : 0);
  }
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(matches, 1000);  // NOT flag = TRUE holds for every record
}

}  // namespace
