#include <gtest/gtest.h>

#include "core/locale.h"

namespace {

// Fixes the locale and the clock for one test and restores them after it.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLocaleSettings(TLocaleSettings{});
    int32_t day;
    TryEncodeDate(2026, 6, 15, day);
    SetClockOverride(TLocalDateTime{day, 12 * 3600000});
  }
  void TearDown() override {
    ResetLocaleSettings();
    SetClockOverride(std::nullopt);
  }
  static int32_t Day(int y, int m, int d) {
    int32_t n = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, n));
    return n;
  }
};

TEST_F(LocaleTest, DayNumbersCountFromYearOne) {
  EXPECT_EQ(Day(1, 1, 1), 1);
  EXPECT_EQ(Day(1899, 12, 30), DateDelta);
  EXPECT_EQ(Day(2000, 3, 1) - Day(2000, 2, 28), 2);  // 2000 is a leap year
  EXPECT_EQ(Day(1900, 3, 1) - Day(1900, 2, 28), 1);  // 1900 is not
  int32_t n;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, n));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, n));
  EXPECT_FALSE(TryEncodeDate(2023, 13, 1, n));
  for (int32_t d : {1, 59, 60, 61, 693594, 730119, 738000, 3652059}) {
    int y, m, dd;
    DecodeDate(d, y, m, dd);
    EXPECT_EQ(Day(y, m, dd), d);
  }
}

TEST_F(LocaleTest, TimesAndFrameworkDateTimes) {
  int32_t t;
  ASSERT_TRUE(TryEncodeTime(23, 59, 59, 999, t));
  EXPECT_EQ(t, MSecsPerDay - 1);
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
  int h, m, s, ms;
  DecodeTime(13 * 3600000 + 5 * 60000 + 7000 + 8, h, m, s, ms);
  EXPECT_EQ((std::vector<int>{h, m, s, ms}), (std::vector<int>{13, 5, 7, 8}));
  // 1899-12-30 06:00 is the framework's 0.25; 1899-12-29 06:00 is -1.25.
  EXPECT_DOUBLE_EQ(ToFrameworkDateTime(double(DateDelta) * MSecsPerDay + 6 * 3600000), 0.25);
  EXPECT_DOUBLE_EQ(ToFrameworkDateTime(double(DateDelta - 1) * MSecsPerDay + 6 * 3600000), -1.25);
  EXPECT_DOUBLE_EQ(FromFrameworkDateTime(-1.25), double(DateDelta - 1) * MSecsPerDay + 6 * 3600000);
  EXPECT_DOUBLE_EQ(FromFrameworkDateTime(ToFrameworkDateTime(738000.0 * MSecsPerDay + 1234)),
                   738000.0 * MSecsPerDay + 1234);
}

TEST_F(LocaleTest, TwoDigitYearsFollowTheWindow) {
  // Current year 2026, window 50: years 1976..2075.
  EXPECT_EQ(ExpandTwoDigitYear(4), 2004);
  EXPECT_EQ(ExpandTwoDigitYear(75), 2075);
  EXPECT_EQ(ExpandTwoDigitYear(76), 1976);
  EXPECT_EQ(ExpandTwoDigitYear(99), 1999);
  TLocaleSettings s;
  s.TwoDigitYearCenturyWindow = 0;
  SetLocaleSettings(s);
  EXPECT_EQ(ExpandTwoDigitYear(99), 2099);
}

TEST_F(LocaleTest, FloatsUseTheDecimalSeparator) {
  double v;
  EXPECT_TRUE(TryTextToFloat(" 1.5 ", v));
  EXPECT_DOUBLE_EQ(v, 1.5);
  EXPECT_TRUE(TryTextToFloat("-2e3", v));
  EXPECT_DOUBLE_EQ(v, -2000);
  for (const char* bad : {"", "-", "1e", "1,5", "1.2.3", "1e999", "inf", "0x10", "+-1"})
    EXPECT_FALSE(TryTextToFloat(bad, v)) << bad;
  EXPECT_EQ(FloatToText(1.5), "1.5");
  try {
    TextToFloat("1e");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "'1e' is not a valid floating point value");
  }
  TLocaleSettings comma;
  comma.DecimalSeparator = ',';
  SetLocaleSettings(comma);
  EXPECT_TRUE(TryTextToFloat("1,25", v));
  EXPECT_DOUBLE_EQ(v, 1.25);
  EXPECT_FALSE(TryTextToFloat("1.25", v));
  EXPECT_EQ(FloatToText(1.25), "1,25");
}

TEST_F(LocaleTest, DatesAndTimesReadInTheLocalesOrder) {
  EXPECT_EQ(TextToDate("12/31/2004"), Day(2004, 12, 31));
  EXPECT_EQ(TextToDate("1/2/04"), Day(2004, 1, 2));
  EXPECT_EQ(TextToTime("1:30 PM"), 13 * 3600000 + 30 * 60000);
  EXPECT_EQ(TextToTime("am 12:00"), 0);
  EXPECT_EQ(TextToTime("10:00:01.5"), 10 * 3600000 + 1005);
  EXPECT_DOUBLE_EQ(TextToDateTime("12/31/2004 10:00"), double(Day(2004, 12, 31)) * MSecsPerDay + 36000000);
  EXPECT_DOUBLE_EQ(TextToDateTime("10:00"), 36000000.0);
  EXPECT_THROW(TextToDate("2/30/2004"), EConvertError);
  EXPECT_THROW(TextToTime("13:00 PM"), EConvertError);
  try {
    TextToDate("12/31/2004 10:00");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "'12/31/2004 10:00' is not a valid date");
  }
  EXPECT_EQ(DateToText(Day(2004, 1, 2)), "1/2/2004");
  EXPECT_EQ(TimeToText(13 * 3600000 + 5 * 60000), "1:05:00 PM");
  EXPECT_EQ(DateTimeToText(double(Day(2004, 1, 2)) * MSecsPerDay), "1/2/2004");

  TLocaleSettings german;
  german.DateOrder = "DMY";
  german.DateSeparator = '.';
  german.TwentyFourHourTime = true;
  german.TimeAMString = german.TimePMString = "";
  SetLocaleSettings(german);
  EXPECT_EQ(TextToDate("31.12.2004"), Day(2004, 12, 31));
  EXPECT_THROW(TextToDate("12/31/2004"), EConvertError);
  EXPECT_EQ(DateToText(Day(2004, 1, 2)), "2.1.2004");
  EXPECT_EQ(TimeToText(13 * 3600000 + 5 * 60000), "13:05:00");
  EXPECT_EQ(TextToTime("1:00 pm"), 13 * 3600000);  // "PM" is always understood
}

TEST_F(LocaleTest, ClockOverrideAndSystemSettings) {
  EXPECT_EQ(LocalNow().Date, Day(2026, 6, 15));
  SetClockOverride(std::nullopt);
  TLocalDateTime now = LocalNow();
  EXPECT_GT(now.Date, Day(2020, 1, 1));
  EXPECT_GE(now.Time, 0);
  EXPECT_LT(now.Time, MSecsPerDay);
  TLocaleSettings system = SystemLocaleSettings();
  EXPECT_TRUE(system.DateOrder == "MDY" || system.DateOrder == "DMY" || system.DateOrder == "YMD");
  EXPECT_NE(system.DecimalSeparator, 0);
}

}  // namespace
