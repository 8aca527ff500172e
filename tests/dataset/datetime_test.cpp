// Date-time values, their stored forms, and the field texts built on the locale.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>

#include "core/errors.h"
#include "dataset/datetime.h"
#include "dataset/fieldtext.h"
#include "tests/dataset/fixedlocale.h"
#include "tests/database_error_of.h"

namespace {

TDateTime MakeDate(int y, int m, int d) {
  int32_t day = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, day));
  return StoredDateToDateTime(day);
}

TEST(DateTime, StoredDatesAgreeWithTheStandardCalendar) {
  using namespace std::chrono;
  // std::chrono's civil calendar is the independent reference: day number n
  // is n - 1 days after 0001-01-01, and TDateTime 0 is 1899-12-30.
  const sys_days origin = year{1} / January / 1;
  const sys_days zero = year{1899} / December / 30;
  for (int dayNumber = 1; dayNumber <= MaxDayNumber; dayNumber += 97) {
    sys_days day = origin + days{dayNumber - 1};
    TDateTime value = StoredDateToDateTime(dayNumber);
    ASSERT_EQ(value, static_cast<double>((day - zero).count())) << dayNumber;
    ASSERT_EQ(DateTimeToStoredDate(value), dayNumber);
    // The time does not change the day; before day zero the fraction counts
    // forward from midnight all the same.
    ASSERT_EQ(DateTimeToStoredDate(value >= 0 ? value + 0.999 : value - 0.999), dayNumber);
  }
  EXPECT_EQ(MakeDate(1899, 12, 30), 0);
  EXPECT_EQ(MakeDate(1900, 1, 1), 2);
  EXPECT_EQ(DateTimeToStoredDate(0), DateDelta);
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

TEST(DateTime, NewRecordClockValuesComeFromTheLocaleClock) {
  FixedLocale locale;
  FixedLocale::FixClock(732000, 12345678);
  EXPECT_EQ(TodayDayNumber(), 732000);
  EXPECT_EQ(CurrentTimeMSecs(), 12345678);
}

TEST(FieldText, DatesAndTimesFollowTheLocale) {
  FixedLocale locale;
  TDateTime eve = MakeDate(2004, 12, 31);
  EXPECT_EQ(DateValueToText(eve), "12/31/2004");
  EXPECT_EQ(TimeValueToText(0.75 + 1.0 / 86400), "18:00:01");
  EXPECT_EQ(DateTimeValueToText(eve), "12/31/2004");
  EXPECT_EQ(DateTimeValueToText(eve + 0.5), "12/31/2004 12:00:00");
  EXPECT_EQ(DateTimeValueToText(1e9), "");
  EXPECT_EQ(TextToDateValue("12/31/2004"), eve);
  EXPECT_DOUBLE_EQ(TextToTimeValue("1:30 PM"), 13.5 / 24);
  EXPECT_DOUBLE_EQ(TextToDateTimeValue("12/31/2004 6:00"), eve + 0.25);
  EXPECT_DOUBLE_EQ(TextToDateTimeValue("6:00"), 0.25);  // a time alone lies on day zero
  EXPECT_EQ(ErrorOf([] { TextToDateValue("2/30/2004"); }), "'2/30/2004' is not a valid date");
  EXPECT_EQ(ErrorOf([] { TextToDateValue("12/31/2004 10:00"); }), "'12/31/2004 10:00' is not a valid date");
  EXPECT_EQ(ErrorOf([] { TextToTimeValue("25:00"); }), "'25:00' is not a valid time");
  EXPECT_EQ(ErrorOf([] { TextToDateTimeValue("soon"); }), "'soon' is not a valid date and time");

  FixedLocale dayFirst(false);
  TLocaleSettings settings = LocaleSettings();
  settings.DateOrder = "DMY";
  settings.DateSeparator = '.';
  SetLocaleSettings(settings);
  EXPECT_EQ(DateTimeValueToText(eve + 0.75), "31.12.2004 6:00:00 PM");
  EXPECT_EQ(TextToDateValue("31.12.2004"), eve);
}

TEST(FieldText, IntegersAndBooleans) {
  EXPECT_EQ(IntegerToText(-42), "-42");
  EXPECT_EQ(TextToInteger(" -42 "), -42);
  EXPECT_EQ(TextToInteger("+7"), 7);
  EXPECT_EQ(ErrorOf([] { TextToInteger("4 2"); }), "'4 2' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { TextToInteger(""); }), "'' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { TextToInteger("99999999999999999999"); }),
            "'99999999999999999999' is not a valid integer value");
  EXPECT_THROW(TextToInteger("x"), EConvertError);
  bool flag = false;
  EXPECT_TRUE(TryTextToBoolean(" TRUE ", flag));
  EXPECT_TRUE(flag);
  EXPECT_TRUE(TryTextToBoolean("false", flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(TryTextToBoolean("yes", flag));
}

}  // namespace
