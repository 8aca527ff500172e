// The filter language's tokenizer, grammar, type rules and error messages.
#include <gtest/gtest.h>

#include "tests/tomedb/filter_fixture.h"

namespace {

using FilterParse = FilterTest;

TEST_F(FilterParse, CatalogueQueriesWithTheirExactBlanks) {
  data.Set<int32_t>("pick", 6);
  data.SetText("wheeltype", "a");
  data.SetText("xyoption", "4if5");
  data.Set<int32_t>("zoption", 10);
  const std::string survey = "pick= 6 and  wheeltype='a' and  zoption= 10";
  const std::string tickets = "pick=6 and  wheeltype='a' and  xyoption='4if5' and zoption=10";
  EXPECT_TRUE(Eval(survey));
  EXPECT_TRUE(Eval(tickets));
  // The numbers are integer constants, compared exactly with the integer fields.
  parser.Parse(survey);
  TExprNode* zoption = parser.Nodes().Root->Right;
  EXPECT_EQ(zoption->Operator, coEQ);
  EXPECT_EQ(zoption->Right->Kind, enConst);
  EXPECT_EQ(zoption->Right->DataType, ftInteger);
  data.Set<int32_t>("zoption", 11);
  EXPECT_FALSE(Eval(survey));
  data.Set<int32_t>("zoption", 10);
  data.SetText("wheeltype", "k");
  EXPECT_FALSE(Eval(tickets));
  EXPECT_TRUE(Eval("PICK=6 AND wheeltype='K' Or zoption=0", foCaseInsensitive));
}

TEST_F(FilterParse, QuotesCommentsAndNames) {
  data.SetText("name", "O'Brien");
  EXPECT_TRUE(Eval("name='O''Brien'"));
  EXPECT_FALSE(Eval("name='O''''Brien'"));
  data.Set<int32_t>("a", 1);
  EXPECT_TRUE(Eval("a = 1 /* note */"));
  EXPECT_TRUE(Eval("/* leading */ a = 1"));
  EXPECT_TRUE(Eval("a=/**/1"));
  data.Set<int32_t>("my field", 7);
  EXPECT_TRUE(Eval("[my field] = 7"));
  data.Set<int32_t>("UPPER", 1);
  data.SetText("name", "abc");
  EXPECT_TRUE(Eval("UPPER(name) = 'ABC'"));    // a function call
  EXPECT_TRUE(Eval("upper  (name) = 'ABC'"));  // blanks before "(" still make a call
  EXPECT_TRUE(Eval("UPPER = 1"));              // a field that happens to share the name
  EXPECT_TRUE(Eval("SUBSTRING(name, 2, 3) = 'bc'"));
}

TEST_F(FilterParse, ErrorMessagesNameTheOffendingToken) {
  const std::pair<const char*, const char*> cases[] = {
      {"a = b = c", "Filter expression incorrectly terminated"},
      {"a = 1 b", "Filter expression incorrectly terminated"},
      {"(a = 1", "')' expected but nothing found"},
      {"(a = 1 b", "')' expected but 'b' found"},
      {"name = 'abc", "Unterminated string constant"},
      {"[my field = 1", "Unterminated field name"},
      {"a # 1", "Invalid filter expression character: '#'"},
      {"a = 1 /* 2*3 */", "Invalid filter expression character: '*'"},
      {"a = 1 /* open", "Invalid filter expression character: ''"},
      {"-a = 1", "'-' is not a valid floating point value"},
      {"a = 1e", "'1e' is not a valid floating point value"},
      {"a = 1.2.3", "'1.2.3' is not a valid floating point value"},
      {"a IN ()", "IN predicate list may not be empty"},
      {"a IN 1", "'(' expected but '1' found"},
      {"a IN (1 2)", "')' or ',' expected but '2' found"},
      {"a IN (1, 2", "')' expected but nothing found"},
      {"UPPER(name 'x') = 'A'", "')' or ',' expected but 'x' found"},
      {"a = ", "Expression expected but nothing found"},
      {"a = )", "Expression expected but ')' found"},
      {"", "Expression expected but nothing found"},
      {"nosuch = 1", "TestTable: Field 'nosuch' not found"},
      {"NOT NOT flag", "TestTable: Field 'NOT' not found"},
      {"d = '12/31/2004 10:00'", "'12/31/2004 10:00' is not a valid date"},
      // Messages stay valid UTF-8: a stray byte is written out, a whole
      // character is kept.
      {"a = 1 \x80", "Invalid filter expression character: '\\x80'"},
      {"a = 1 \xFF", "Invalid filter expression character: '\\xFF'"},
      {"\xC3\xA9t\xC3 = 1", "TestTable: Field '\xC3\xA9t\\xC3' not found"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(ParseError(text), message) << text;
}

TEST_F(FilterParse, TypeRulesRefuseMixedGroups) {
  for (const char* text : {
           "pick = '6'", "country = 5", "flag > TRUE", "flag = 1", "a and b", "NOT a", "a = 1 or b",
           "name LIKE 5", "a LIKE 'x'", "UPPER(a) = 'A'", "UPPER(name, name) = 'A'", "UPPER() = 'A'",
           "SUBSTRING(name, a, 3) = 'x'", "SUBSTRING(name, 1 + 1, 3) = 'x'", "SUBSTRING(name, 1, 2.5) = 'x'",
           "SUBSTRING(name, 1) = 'x'", "YEAR(t) = 1", "HOUR(d) = 1", "GETDATE(1) = dt", "d = 'hello'",
           "name + 1 = 'x'", "a + name = 1", "d * 2 = 1", "d + d2 = d", "a IN ('x')", "name IN (1)",
           "flag IN (1)", "picture = 'x'", "a", "a + 1", "name", "'x' - d = 1"}) {
    EXPECT_EQ(ParseError(text), "Type mismatch in expression") << text;
  }
  for (const char* text : {"flag = TRUE", "flag <> false", "d = '12/31/2004'", "'12/31/2004' < d", "dt > '10:00'",
                           "t = '1:30 PM'", "d IN ('1/1/2004', d2)", "name + 'x' = 'y'", "a + f > 1",
                           "'1/2/2004' - d > 0", "dt - '1/1/2004' > 0", "memo LIKE '%x'"})
    EXPECT_EQ(ParseError(text), "") << text;
}

TEST_F(FilterParse, ResultTypesOfArithmetic) {
  struct Case {
    const char* expression;
    TFieldType type;
  } cases[] = {
      {"small + small", ftInteger}, {"small + word", ftInteger}, {"a + big", ftLargeint}, {"big * f", ftFloat},
      {"f + money", ftCurrency},    {"a / a", ftFloat},          {"d - d2", ftInteger},   {"d - 1", ftInteger},
      {"t - t", ftInteger},         {"d + 1", ftDate},           {"dt + 1", ftDateTime},  {"dt - dt2", ftFloat},
      {"dt - 1", ftFloat},          {"d - dt", ftFloat},         {"name + name", ftString},
  };
  for (const Case& c : cases) {
    parser.Parse(std::string(c.expression) + " = " + c.expression);
    EXPECT_EQ(parser.Nodes().Root->Left->DataType, c.type) << c.expression;
  }
}

TEST_F(FilterParse, DateConstantsAreReadMonthFirstAtParseTime) {
  data.Set<int32_t>("d", Day(2004, 12, 31));
  TLocaleSettings dmy;
  dmy.DateOrder = "DMY";
  SetLocaleSettings(dmy);
  EXPECT_TRUE(Eval("d = '12/31/2004'"));  // the engine's own reader comes first
  EXPECT_TRUE(Eval("d = '31/12/2004'"));  // the locale's conversion after it
  SetLocaleSettings(TLocaleSettings{});
  EXPECT_EQ(ParseError("d = '31/12/2004'"), "Type mismatch in expression");
  // Two-digit years: with 2026 and a window of 50, 04 is 2004 and 80 is 1980.
  EXPECT_TRUE(Eval("d = '12/31/04'"));
  data.Set<int32_t>("d", Day(1980, 1, 2));
  EXPECT_TRUE(Eval("d = ' 1 / 2 / 80 '"));
  data.Set<int32_t>("t", 13 * 3600000 + 30 * 60000);
  EXPECT_TRUE(Eval("t = '1:30 pm'"));
  EXPECT_TRUE(Eval("t = 'PM 1:30'"));
  EXPECT_TRUE(Eval("t = '13:30:00.0'"));
  EXPECT_EQ(ParseError("t = '13:30 PM'"), "Type mismatch in expression");
  // Digits are read until the value reaches 1000, leading zeros allowed.
  data.Set<int32_t>("d", Day(2005, 1, 1));
  EXPECT_TRUE(Eval("d = '1/1/02005' and d = '001/0001/2005' and d = '1/1/2005'"));
  EXPECT_EQ(ParseError("d = '1/1/20050'"), "'1/1/20050' is not a valid date");  // 2005, then a digit left over
  data.Set<int32_t>("t", 10 * 3600000 + 30 * 60000);
  EXPECT_TRUE(Eval("t = '10:000030' and t = '0010:30:0000.000'"));
  data.Set<double>("dt", Moment(2004, 12, 31, 10, 0));
  EXPECT_TRUE(Eval("dt = '12/31/2004 10:00 AM'"));
  EXPECT_TRUE(Eval("dt > '12/31/2004'"));
  // The text was converted once: changing the locale later changes nothing.
  parser.Parse("dt > '12/31/2004'");
  SetLocaleSettings(dmy);
  EXPECT_TRUE(parser.Calculate());
}

TEST_F(FilterParse, GetDateIsFixedWhenParsed) {
  data.Set<double>("dt", Moment(2026, 6, 15, 12, 0) + 1);
  parser.Parse("dt > GETDATE()");
  EXPECT_TRUE(parser.Calculate());
  SetClockOverride(TLocalDateTime{Day(2026, 6, 16), 0});
  EXPECT_TRUE(parser.Calculate());  // the same moment until the next parse
  EXPECT_FALSE(Eval("dt > GETDATE()"));
  EXPECT_TRUE(Eval("YEAR(getdate()) = 2026 and DAY(GETDATE()) = 16"));
}

TEST_F(FilterParse, LongLiteralsKeepTheirFirst256Characters) {
  data.SetText("name", std::string(256, 'x'));
  EXPECT_TRUE(Eval("name = '" + std::string(300, 'x') + "'"));
  data.SetText("name", std::string(257, 'x'));
  EXPECT_FALSE(Eval("name = '" + std::string(300, 'x') + "'"));
  // A cut never leaves half a UTF-8 character behind.
  std::string text = std::string(255, 'x') + "\xC3\xA9";
  data.SetText("name", std::string(255, 'x'));
  EXPECT_TRUE(Eval("name = '" + text + "'"));
}

TEST_F(FilterParse, NumbersMinusSignsAndTheDecimalComma) {
  data.Set<int32_t>("a", 0);
  EXPECT_TRUE(Eval("-1 < a"));    // -1 is one number
  EXPECT_TRUE(Eval("a -1 < 0"));  // after a name the minus subtracts
  EXPECT_TRUE(Eval("(a)-1 = -1"));
  EXPECT_TRUE(Eval("a = 1e-3 - 0.001"));
  EXPECT_TRUE(Eval("3 / 2 = 1.5"));
  EXPECT_TRUE(Eval("2147483647 + 0 = 2147483647"));
  parser.Parse("a = 2147483648");
  EXPECT_EQ(parser.Nodes().Root->Right->DataType, ftFloat);
  parser.Parse("a = -2147483648");
  EXPECT_EQ(parser.Nodes().Root->Right->DataType, ftInteger);

  UseDecimalComma();
  data.Set<int32_t>("a", 2);
  parser.Parse("a IN (1, 2)");
  EXPECT_EQ(parser.Nodes().Root->Args.size(), 2u);
  EXPECT_TRUE(parser.Calculate());
  parser.Parse("a IN (1,2)");
  EXPECT_EQ(parser.Nodes().Root->Args.size(), 1u);
  EXPECT_FALSE(parser.Calculate());
  data.Set<double>("f", 1.2);
  EXPECT_TRUE(Eval("f IN (1,2)"));
  EXPECT_TRUE(Eval("3 / 2 = 1,5"));
  EXPECT_EQ(ParseError("f = 1.5"), "Invalid filter expression character: '.'");
}

TEST_F(FilterParse, DeepNestingIsRefusedNotOverflowed) {
  EXPECT_EQ(ParseError(std::string(10000, '(') + "a = 1" + std::string(10000, ')')),
            "Filter expression is nested more than 256 levels deep");
  EXPECT_EQ(ParseError(std::string(kMaxFilterNesting - 1, '(') + "a = 1" + std::string(kMaxFilterNesting - 1, ')')),
            "");
  std::string chain = "a = 1";
  for (int i = 0; i < kMaxFilterTreeDepth; ++i) chain += " or a = 1";
  EXPECT_EQ(ParseError(chain), "Filter expression is nested more than 1024 levels deep");
  std::string sum = "a";
  for (int i = 0; i < 20000; ++i) sum += "+1";
  EXPECT_EQ(ParseError(sum + " = 0"), "Filter expression is nested more than 1024 levels deep");
  std::string calls;
  for (int i = 0; i < 5000; ++i) calls += "UPPER(";
  EXPECT_EQ(ParseError(calls), "Filter expression is nested more than 256 levels deep");
}

TEST_F(FilterParse, AFailedParseLeavesNoTreeToEvaluate) {
  data.Set<int32_t>("a", 1);
  EXPECT_TRUE(Eval("a = 1"));
  EXPECT_NE(ParseError("a = "), "");
  EXPECT_THROW(parser.Calculate(), EDatabaseError);
  EXPECT_NE(ParseError("a"), "");
  EXPECT_THROW(parser.Calculate(), EDatabaseError);
  EXPECT_TRUE(Eval("a = 1"));
}

TEST_F(FilterParse, UnicodeNamesAndTexts) {
  TestFilterDataSet unicode;
  unicode.Add("st\xC3\xA4" "dt", ftString, 20);
  unicode.SetText("st\xC3\xA4" "dt", "M\xC3\xBCnchen");
  TFilterParser p(&unicode);
  p.Parse("st\xC3\xA4" "dt = 'M\xC3\xBC*'");
  EXPECT_TRUE(p.Calculate());
  p.Parse("st\xC3\xA4" "dt LIKE 'M_nchen'");
  EXPECT_TRUE(p.Calculate());  // one 16-bit character, not two bytes
}

}  // namespace
