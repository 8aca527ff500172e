#pragma once
// Shared set-up of the filter tests: a fixed locale, clock and collation, and
// a dataset with one field of each kind the language handles.

#include <gtest/gtest.h>

#include <string>

#include "core/collation.h"
#include "core/locale.h"
#include "tests/tomedb/filter_test_dataset.h"
#include "tomedb/filter/exprparser.h"

class FilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLocaleSettings(TLocaleSettings{});
    SetCollationLocale(std::string());
    SetClockOverride(TLocalDateTime{Day(2026, 6, 15), 12 * 3600000});
    data.Add("pick", ftInteger)
        .Add("wheeltype", ftString, 1)
        .Add("xyoption", ftString, 10)
        .Add("zoption", ftInteger)
        .Add("country", ftString, 40)
        .Add("name", ftString, 400)
        .Add("a", ftInteger)
        .Add("b", ftInteger)
        .Add("c", ftInteger)
        .Add("small", ftSmallint)
        .Add("word", ftWord)
        .Add("big", ftLargeint)
        .Add("big2", ftLargeint)
        .Add("f", ftFloat)
        .Add("money", ftCurrency)
        .Add("flag", ftBoolean)
        .Add("d", ftDate)
        .Add("d2", ftDate)
        .Add("t", ftTime)
        .Add("dt", ftDateTime)
        .Add("dt2", ftDateTime)
        .Add("UPPER", ftInteger)
        .Add("my field", ftInteger)
        .Add("memo", ftMemo)
        .Add("picture", ftTypedBinary);
  }
  void TearDown() override {
    ResetLocaleSettings();
    SetCollationLocale(std::nullopt);
    SetClockOverride(std::nullopt);
  }

  static int32_t Day(int y, int m, int d) {
    int32_t n = 0;
    TryEncodeDate(y, m, d, n);
    return n;
  }
  static double Moment(int y, int m, int d, int hour, int minute) {
    return double(Day(y, m, d)) * MSecsPerDay + (hour * 60 + minute) * 60000.0;
  }

  // Parses and evaluates against the current record.
  bool Eval(const std::string& text, TFilterOptions options = 0) {
    parser.Parse(text);
    return parser.Calculate(options);
  }
  // The message of the database error that parsing `text` raises ("" if none).
  std::string ParseError(const std::string& text) {
    try {
      parser.Parse(text);
    } catch (const EDatabaseError& e) {
      return e.what();
    }
    return "";
  }
  void UseDecimalComma() {
    TLocaleSettings s;
    s.DecimalSeparator = ',';
    SetLocaleSettings(s);
  }

  TestFilterDataSet data;
  TFilterParser parser{&data};
};
