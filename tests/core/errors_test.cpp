#include <gtest/gtest.h>

#include "core/errors.h"

TEST(FormatMessage, FillsPlaceholdersInOrderAndKeepsLiteralPercent) {
  EXPECT_EQ(FormatMessage("Table '%s' not found", {"wheels"}), "Table 'wheels' not found");
  EXPECT_EQ(FormatMessage("%s and %s", {"a", "b"}), "a and b");
  EXPECT_EQ(FormatMessage("100%% of %s", {"x"}), "100% of x");
  EXPECT_EQ(FormatMessage("%s-%s", {"only"}), "only-");
  EXPECT_EQ(FormatMessage("trailing %", {}), "trailing %");
}

TEST(DatabaseError, PrefixesTheComponentNameAndKeepsTheKind) {
  try {
    DatabaseErrorFmt(ekNotFound, "Table '%s' not found", {"x"}, "TomeTable1");
    FAIL() << "no exception";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "TomeTable1: Table 'x' not found");
    EXPECT_EQ(e.Kind(), ekNotFound);
  }
  EXPECT_THROW(DatabaseError(ekGeneral, "General error"), EDatabaseError);
  try {
    DatabaseError(ekGeneral, "General error");
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "General error");
  }
}
