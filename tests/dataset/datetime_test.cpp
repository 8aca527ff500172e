// Date-time values, their stored forms, and the text conversions.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

#include "core/errors.h"
#include "dataset/datetime.h"
#include "dataset/fieldtext.h"

namespace {

TDateTime MakeDate(int y, int m, int d) {
  TDateTime value = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, value));
  return value;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDatabaseError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(DateTime, DayNumbersAgreeWithTheStandardCalendar) {
  using namespace std::chrono;
  // std::chrono's civil calendar is the independent reference: the day
  // number of a date is its distance from 0001-01-01 plus one.
  const sys_days origin = year{1} / January / 1;
  for (int dayNumber = 1; dayNumber <= MaxDayNumber; dayNumber += 97) {
    year_month_day expected{origin + days{dayNumber - 1}};
    int y, m, d;
    ASSERT_TRUE(DecodeDate(StoredDateToDateTime(dayNumber), y, m, d)) << dayNumber;
    ASSERT_EQ(y, static_cast<int>(expected.year())) << dayNumber;
    ASSERT_EQ(m, static_cast<int>(static_cast<unsigned>(expected.month()))) << dayNumber;
    ASSERT_EQ(d, static_cast<int>(static_cast<unsigned>(expected.day()))) << dayNumber;
    ASSERT_EQ(DateTimeToStoredDate(MakeDate(y, m, d)), dayNumber);
  }
  int y, m, d;
  ASSERT_TRUE(DecodeDate(StoredDateToDateTime(MaxDayNumber), y, m, d));
  EXPECT_EQ(y * 10000 + m * 100 + d, 99991231);
}

TEST(DateTime, TheZeroDayIsDecember30Of1899) {
  EXPECT_EQ(MakeDate(1899, 12, 30), 0);
  EXPECT_EQ(MakeDate(1900, 1, 1), 2);
  EXPECT_EQ(StoredDateToDateTime(DateDelta), 0);
  EXPECT_EQ(DateTimeToStoredDate(0), DateDelta);
  TDateTime unused;
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, unused));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, unused));
  EXPECT_FALSE(TryEncodeDate(2023, 13, 1, unused));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, unused));
}

TEST(DateTime, StoredTimesAreMillisecondsOnDayZero) {
  EXPECT_DOUBLE_EQ(StoredTimeToDateTime(MSecsPerDay / 2), 0.5);
  EXPECT_EQ(DateTimeToStoredTime(0.75), 18 * 3600 * 1000);
  // The time of a full date-time is its fraction.
  EXPECT_EQ(DateTimeToStoredTime(MakeDate(2004, 12, 31) + 0.25), 6 * 3600 * 1000);
  // Values that name no time of day read as 0.
  EXPECT_EQ(StoredTimeToDateTime(-1), 0);
  EXPECT_EQ(StoredTimeToDateTime(MSecsPerDay), 0);
}

TEST(DateTime, StoredDateTimesSplitIntoDayAndTime) {
  double sixAm = static_cast<double>(DateDelta) * MSecsPerDay + 6 * 3600 * 1000;
  EXPECT_DOUBLE_EQ(StoredDateTimeToDateTime(sixAm), 0.25);
  // Rounded to whole milliseconds first.
  EXPECT_DOUBLE_EQ(StoredDateTimeToDateTime(sixAm + 0.4), 0.25);
  EXPECT_EQ(DateTimeToStoredDateTime(0.25), sixAm);
  EXPECT_EQ(DateTimeToStoredDateTime(0), static_cast<double>(DateDelta) * MSecsPerDay);
  // Before 1899-12-30 the fraction still counts forward from midnight.
  double dec29SixAm = static_cast<double>(DateDelta - 1) * MSecsPerDay + 6 * 3600 * 1000;
  EXPECT_DOUBLE_EQ(StoredDateTimeToDateTime(dec29SixAm), -1.25);
  EXPECT_EQ(DateTimeToStoredDateTime(-1.25), dec29SixAm);
  // Values that cannot be converted read as 0.
  EXPECT_EQ(StoredDateTimeToDateTime(std::nan("")), 0);
  EXPECT_EQ(StoredDateTimeToDateTime(1000), 0);  // day 0 does not exist
  EXPECT_EQ(StoredDateTimeToDateTime(-5), 0);
  EXPECT_EQ(StoredDateTimeToDateTime(1e300), 0);
  EXPECT_EQ(StoredDateToDateTime(0), 0);
  EXPECT_EQ(StoredDateToDateTime(MaxDayNumber + 1), 0);
  // And TDateTime values beyond the calendar store 0.
  EXPECT_EQ(DateTimeToStoredDateTime(1e9), 0);
  EXPECT_EQ(DateTimeToStoredDate(std::nan("")), 0);
}

TEST(DateTime, TodayAndNowComeFromTheClock) {
  TDateTime before = Now();
  int32_t today = TodayDayNumber();
  int32_t msecs = CurrentTimeMSecs();
  TDateTime after = Now();
  EXPECT_LE(DateTimeToStoredDate(before), today);
  EXPECT_GE(DateTimeToStoredDate(after), today);
  EXPECT_GE(msecs, 0);
  EXPECT_LT(msecs, MSecsPerDay);
  TDateTime date = Date();
  EXPECT_EQ(date, std::floor(date));  // midnight
}

TEST(FieldText, DatesAndTimes) {
  EXPECT_EQ(DateToText(MakeDate(2004, 12, 31)), "12/31/2004");
  EXPECT_EQ(DateToText(MakeDate(7, 1, 2)), "1/2/0007");
  EXPECT_EQ(TimeToText(0.75 + 1.0 / 86400), "18:00:01");
  EXPECT_EQ(DateTimeToText(MakeDate(2004, 12, 31)), "12/31/2004");
  EXPECT_EQ(DateTimeToText(MakeDate(2004, 12, 31) + 0.5), "12/31/2004 12:00:00");
  EXPECT_EQ(TextToDate(" 12/31/2004 "), MakeDate(2004, 12, 31));
  EXPECT_DOUBLE_EQ(TextToTime("1:30 PM"), 13.5 / 24);
  EXPECT_DOUBLE_EQ(TextToTime("12:00 AM"), 0);
  EXPECT_DOUBLE_EQ(TextToDateTime("12/31/2004 6:00"), MakeDate(2004, 12, 31) + 0.25);
  EXPECT_DOUBLE_EQ(TextToDateTime("6:00"), 0.25);
  EXPECT_EQ(ErrorOf([] { TextToDate("2/30/2004"); }), "'2/30/2004' is not a valid date");
  EXPECT_EQ(ErrorOf([] { TextToDate("12/31/2004 10:00"); }), "'12/31/2004 10:00' is not a valid date");
  EXPECT_EQ(ErrorOf([] { TextToTime("13:00 PM"); }), "'13:00 PM' is not a valid time");
  EXPECT_EQ(ErrorOf([] { TextToDateTime("soon"); }), "'soon' is not a valid date and time");
}

TEST(FieldText, TwoDigitYearsFallInAWindowAroundNow) {
  int year, month, day;
  DecodeDate(Date(), year, month, day);
  for (int twoDigits : {0, 49, 50, 99}) {
    int y, m, d;
    char text[16];
    std::snprintf(text, sizeof text, "1/1/%02d", twoDigits);
    ASSERT_TRUE(DecodeDate(TextToDate(text), y, m, d));
    EXPECT_EQ(y % 100, twoDigits);
    EXPECT_GE(y, year - 50);
    EXPECT_LT(y, year + 50);
  }
}

TEST(FieldText, Numbers) {
  EXPECT_EQ(FloatToText(1.5), "1.5");
  EXPECT_EQ(FloatToText(-0.1), "-0.1");
  EXPECT_EQ(FloatToText(1e20), "1E20");
  EXPECT_EQ(FloatToText(1.25e-7), "1.25E-7");
  EXPECT_EQ(FloatToText(100), "100");
  EXPECT_DOUBLE_EQ(TextToFloat(" 2.5 "), 2.5);
  EXPECT_DOUBLE_EQ(TextToFloat("-1e3"), -1000);
  EXPECT_EQ(ErrorOf([] { TextToFloat("1,5"); }), "'1,5' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([] { TextToFloat("1e999"); }), "'1e999' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([] { TextToFloat(""); }), "'' is not a valid floating point value");
  EXPECT_EQ(TextToInteger(" -42 "), -42);
  EXPECT_EQ(TextToInteger("+7"), 7);
  EXPECT_EQ(ErrorOf([] { TextToInteger("4 2"); }), "'4 2' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { TextToInteger("99999999999999999999"); }),
            "'99999999999999999999' is not a valid integer value");
}

}  // namespace
