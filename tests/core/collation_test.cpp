#include <gtest/gtest.h>

#include <cstdlib>

#include "core/collation.h"

namespace {

class CollationTest : public ::testing::Test {
 protected:
  void TearDown() override { SetCollationLocale(std::nullopt); }
};

TEST_F(CollationTest, CaseCountsOnlyWithTertiaryStrength) {
  SetCollationLocale(std::string());
  EXPECT_EQ(CompareText("united states", "United States", true), 0);
  EXPECT_NE(CompareText("united states", "United States", false), 0);
  EXPECT_LT(CompareText("apple", "Banana", true), 0);   // alphabetical, not code point order
  EXPECT_LT(CompareText("apple", "Banana", false), 0);
  EXPECT_LT(CompareText("Ab", "Abc", false), 0);
  EXPECT_NE(CompareText("resume", "r\xC3\xA9sum\xC3\xA9", true), 0);  // accents count at secondary strength
  EXPECT_EQ(CompareText("", "", false), 0);
}

TEST_F(CollationTest, LocaleOrderDiffersFromRoot) {
  // Swedish sorts a-ring after z; the root collation puts it with a.
  const char* aRing = "\xC3\xA5";
  SetCollationLocale(std::string("sv"));
  EXPECT_GT(CompareText(aRing, "z", true), 0);
  SetCollationLocale(std::string());
  EXPECT_LT(CompareText(aRing, "z", true), 0);
}

TEST_F(CollationTest, PosixEnvironmentFallsBackToRoot) {
  const char* saved = std::getenv("LC_ALL");
  std::string savedValue = saved ? saved : "";
  setenv("LC_ALL", "C.UTF-8", 1);
  SetCollationLocale(std::nullopt);
  EXPECT_EQ(CollationLocaleName(), "");
  EXPECT_EQ(CompareText("abc", "ABC", true), 0);
  if (saved) setenv("LC_ALL", savedValue.c_str(), 1);
  else unsetenv("LC_ALL");
}

TEST_F(CollationTest, InvalidUtf8DoesNotBreakTheComparison) {
  SetCollationLocale(std::string());
  EXPECT_NE(CompareText("a\xFF", "a", false), 0);
  EXPECT_EQ(CompareText("a\xFF", "a\xFF", false), 0);
}

}  // namespace
