// Evaluation of parsed filters against a record, and the key comparison.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/tomedb/filter_fixture.h"

namespace {

using FilterEval = FilterTest;

TEST_F(FilterEval, TextEqualityFollowsTheCaseOption) {
  data.SetText("country", "United States");
  EXPECT_TRUE(Eval("country='United States'"));
  EXPECT_FALSE(Eval("country='united states'"));
  EXPECT_TRUE(Eval("country='united states'", foCaseInsensitive));
  EXPECT_TRUE(Eval("country<>'united states'"));
  EXPECT_TRUE(Eval("country > 'Germany' and country < 'Vietnam' and country >= 'United States'"));
  EXPECT_TRUE(Eval("country <= 'united states'", foCaseInsensitive));
  data.SetText("country", "\xC3\x96sterreich");  // collation, not byte order: O-umlaut sorts with O
  EXPECT_TRUE(Eval("country < 'Polen'"));
}

TEST_F(FilterEval, PartialCompareOfAStarConstant) {
  data.SetText("country", "United Kingdom");
  EXPECT_TRUE(Eval("country='Uni*'"));
  EXPECT_FALSE(Eval("country='Uni*'", foNoPartialCompare));
  EXPECT_TRUE(Eval("country='uni*'", foCaseInsensitive));
  EXPECT_TRUE(Eval("country='*'"));
  EXPECT_TRUE(Eval("country IN ('Ger*', 'Uni*')"));
  EXPECT_FALSE(Eval("'Uni*' = country"));  // a star on the left is just a character
  data.SetText("country", "Uni*");
  EXPECT_TRUE(Eval("country='Uni*'", foNoPartialCompare));
  data.SetText("country", "Un");
  EXPECT_FALSE(Eval("country='Uni*'"));
}

TEST_F(FilterEval, LikeMatchesSixteenBitCharacters) {
  struct Case {
    const char* text;
    const char* pattern;
    bool match;
  } cases[] = {
      {"abc", "a_c%", true},   {"abcdef", "a_c%", true}, {"ac", "a_c%", false},  {"", "%", true},
      {"abc", "%", true},      {"", "", true},           {"abc", "", false},      {"abc", "abc", true},
      {"abc", "ab", false},    {"ab", "abc", false},     {"abc", "%c", true},     {"abc", "%b", false},
      {"abc", "a%b%c", true},  {"ab", "ab%%", true},     {"aXbXc", "%X_X%", true}, {"abc", "ABC", false},
      {"", "_", true},  // an empty text takes part as one character of code 0
  };
  for (const Case& c : cases) {
    data.SetText("name", c.text);
    EXPECT_EQ(Eval(std::string("name LIKE '") + c.pattern + "'"), c.match) << c.text << " LIKE " << c.pattern;
  }
  data.SetText("name", "abc");
  EXPECT_TRUE(Eval("name LIKE 'A_C'", foCaseInsensitive));
  // Many stars against a long text stay fast (no backtracking blow-up).
  data.SetText("name", std::string(399, 'a'));
  EXPECT_FALSE(Eval("name LIKE '%a%a%a%a%a%a%a%a%a%a%a%a%b'"));
}

TEST_F(FilterEval, InListAndLogic) {
  data.Set<int32_t>("pick", 5);
  EXPECT_TRUE(Eval("pick IN (4, 5, 6)"));
  EXPECT_FALSE(Eval("pick IN (4, 6)"));
  EXPECT_TRUE(Eval("pick IN (4.5, 5.0)"));
  EXPECT_TRUE(Eval("NOT pick IN (1) and (pick = 5 or pick = 6)"));
  EXPECT_FALSE(Eval("NOT (pick = 5)"));
  data.Set<int16_t>("flag", 1);
  EXPECT_TRUE(Eval("flag = TRUE and flag <> FALSE and flag IN (TRUE)"));
  data.Set<int16_t>("flag", 256);  // any non-zero stored boolean is true
  EXPECT_TRUE(Eval("flag = TRUE"));
}

TEST_F(FilterEval, AndOrSkipTheirRightOperand) {
  data.Set<int32_t>("a", 1);
  data.SetText("memo", "note");
  EXPECT_FALSE(Eval("a = 0 and memo = 'note'"));
  EXPECT_TRUE(Eval("a = 1 or memo = 'x'"));
  EXPECT_EQ(data.textFetches, 0);
  EXPECT_TRUE(Eval("a = 1 and memo = 'note'"));
  EXPECT_EQ(data.textFetches, 1);
  data.SetText("memo", "changed");
  EXPECT_FALSE(parser.Calculate());  // a blob's text is fetched on every evaluation
  EXPECT_EQ(data.textFetches, 2);
}

TEST_F(FilterEval, FieldsAreReadInPlaceOfTheRecordBuffer) {
  parser.Parse("a = 3");
  for (int i = 0; i < 5; ++i) {
    data.Set<int32_t>("a", i);
    EXPECT_EQ(parser.Calculate(), i == 3);
  }
  // Without a record buffer fields read empty, and bind once one exists.
  data.noBuffer = true;
  data.SetText("name", "x");
  EXPECT_TRUE(Eval("name = '' and a = 0 and f = 0 and flag = FALSE"));
  data.noBuffer = false;
  EXPECT_FALSE(parser.Calculate());
}

TEST_F(FilterEval, NumbersCompareExactly) {
  data.Set<int64_t>("big", (int64_t(1) << 53) + 1);
  data.Set<int64_t>("big2", int64_t(1) << 53);
  EXPECT_TRUE(Eval("big > big2 and big <> big2"));  // as doubles the two would be equal
  data.Set<int16_t>("small", -5);
  data.Set<uint16_t>("word", 65535);
  EXPECT_TRUE(Eval("small < word and word = 65535 and small = -5"));
  data.Set<double>("money", 2.5);
  data.Set<int32_t>("a", 2);
  EXPECT_TRUE(Eval("money > a and money < 3 and a = 2.0 and money = 2.5"));
  EXPECT_TRUE(Eval("3 / 2 = 1.5"));
  EXPECT_TRUE(Eval("7 - 2 * 3 = 1 and (7 - 2) * 3 = 15 and 1 + 2.5 = 3.5"));
  EXPECT_TRUE(Eval("big + 1 > big and a * money = 5"));
  data.Set<int32_t>("a", 2147483647);
  EXPECT_TRUE(Eval("a + 1 < 0"));  // 32-bit results wrap around, as the type says
  EXPECT_TRUE(Eval("a / 0 > 1e300"));
}

TEST_F(FilterEval, DateTimeComparisonsAndArithmetic) {
  data.Set<int32_t>("d", Day(2004, 12, 31));
  data.Set<int32_t>("d2", Day(2004, 12, 1));
  data.Set<int32_t>("t", 10 * 3600000);
  data.Set<double>("dt", Moment(2004, 12, 31, 10, 0));
  data.Set<double>("dt2", Moment(2004, 12, 30, 9, 0));
  EXPECT_TRUE(Eval("d > d2 and d = '12/31/2004' and d - d2 = 30 and d2 + 30 = d"));
  EXPECT_TRUE(Eval("d + 1 = '1/1/2005' and d + 1.9 = '1/1/2005' and d - 1.9 = d - 1"));
  EXPECT_TRUE(Eval("dt > d and d < dt and (dt - 1) - (dt2 - 0) = 3600000 and dt + 1 > '1/1/2005'"));
  EXPECT_TRUE(Eval("dt2 + 1 = '12/31/2004 9:00'"));  // whole days, the time of day stays
  EXPECT_TRUE(Eval("dt - dt2 = 90000000 and dt - t - (dt2 - 0) = 90000000 - 36000000 and t - t = 0 and t - 1000 = 35999000"));
  EXPECT_TRUE(Eval("dt - d = 36000000 and '12/31/2004 11:00' - dt = 3600000"));
  // A time against a date is neither equal, greater nor less.
  EXPECT_TRUE(Eval("NOT t = d and NOT t > d and NOT t < dt and t <> d and t >= dt and t <= d"));
  EXPECT_TRUE(Eval("YEAR(d) = 2004 and MONTH(d) = 12 and DAY(d) = 31"));
  EXPECT_TRUE(Eval("YEAR(dt) = 2004 and HOUR(dt) = 10 and MINUTE(t) = 0 and SECOND(t) = 0 and HOUR(t) = 10"));
  data.Set<int32_t>("t", 13 * 3600000 + 14 * 60000 + 15000);
  EXPECT_TRUE(Eval("HOUR(t) = 13 and MINUTE(t) = 14 and SECOND(t) = 15"));
}

TEST_F(FilterEval, TextFunctionsAndConcatenation) {
  data.SetText("name", "  Mixed Case  ");
  EXPECT_TRUE(Eval("UPPER(name) = '  MIXED CASE  ' and LOWER(name) = '  mixed case  '"));
  EXPECT_TRUE(Eval("TRIM(name) = 'Mixed Case' and TRIMLEFT(name) = 'Mixed Case  '"));
  EXPECT_TRUE(Eval("TRIMRIGHT(name) = '  Mixed Case'"));
  EXPECT_TRUE(Eval("SUBSTRING(name, 3, 5) = 'Mixed' and SUBSTRING(name, 100, 2) = ''"));
  EXPECT_TRUE(Eval("SUBSTRING(name, 0, 3) = '  M' and SUBSTRING(name, 1, -1) = ''"));
  EXPECT_TRUE(Eval("SUBSTRING(name, 2, 0) + 'x' = 'x' and UPPER(SUBSTRING(name, 9, 0)) LIKE ''"));
  EXPECT_TRUE(Eval("SUBSTRING(name, 3, 2147483647) = 'Mixed Case  '"));  // sized to the text, not the count
  EXPECT_TRUE(Eval("TRIM(name) + '!' = 'Mixed Case!' and name + name LIKE '%Case%Case%'"));
  EXPECT_TRUE(Eval("UPPER(TRIM(name)) = 'mixed case'", foCaseInsensitive));
  // Positions and lengths count characters, not bytes.
  data.SetText("name", "\xC3\xA9t\xC3\xA9");  // "été"
  EXPECT_TRUE(Eval("SUBSTRING(name, 1, 1) = '\xC3\xA9' and SUBSTRING(name, 2, 1) = 't'"));
  EXPECT_TRUE(Eval("SUBSTRING(name, 2, 2) = 't\xC3\xA9' and SUBSTRING(name, 3, 9) = '\xC3\xA9'"));
  EXPECT_TRUE(Eval("SUBSTRING(name, 4, 1) = '' and SUBSTRING(name, 0, 3) = name"));
  EXPECT_TRUE(Eval("SUBSTRING('\xE2\x82\xAC\xF0\x9F\x8E\xB2x', 2, 2) = '\xF0\x9F\x8E\xB2x'"));
}

TEST(KeyComparer, EqualFirstThenLess) {
  SetCollationLocale(std::string());
  TKeyComparer text(ftString, 10);
  char a[11] = "abc", b[11] = "abd", upper[11] = "ABC";
  EXPECT_EQ(text.Compare(a, b, -1, foNoPartialCompare), -1);
  EXPECT_EQ(text.Compare(b, a, -1, foNoPartialCompare), 1);
  EXPECT_EQ(text.Compare(a, a, -1, foNoPartialCompare), 0);
  EXPECT_NE(text.Compare(a, upper, -1, foNoPartialCompare), 0);
  EXPECT_EQ(text.Compare(a, upper, -1, foNoPartialCompare | foCaseInsensitive), 0);
  EXPECT_EQ(text.Compare(a, b, 2, 0), 0);                   // partial key "ab"
  EXPECT_EQ(text.Compare(a, b, 2, foNoPartialCompare), -1);  // unless the search is exact
  char unterminated[11];
  std::memset(unterminated, 'z', sizeof unterminated);  // read no further than the field
  EXPECT_EQ(text.Compare(unterminated, unterminated, -1, foNoPartialCompare), 0);

  TKeyComparer integer(ftInteger, 0);
  int32_t x = -7, y = 3;
  EXPECT_EQ(integer.Compare(&x, &y, -1, foNoPartialCompare), -1);
  EXPECT_EQ(integer.Compare(&y, &x, -1, foNoPartialCompare), 1);
  TKeyComparer date(ftDateTime, 0);
  double p = 1.5e12, q = 1.5e12;
  EXPECT_EQ(date.Compare(&p, &q, -1, foNoPartialCompare), 0);
  EXPECT_THROW(TKeyComparer(ftBytes, 0), EDatabaseError);
  SetCollationLocale(std::nullopt);
}

}  // namespace
