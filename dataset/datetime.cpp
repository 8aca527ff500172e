#include "dataset/datetime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

constexpr int kDaysBeforeMonth[2][13] = {
    {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

// Day number (1 = 0001-01-01) of a valid calendar date.
int32_t DayNumber(int year, int month, int day) {
  int y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400 + kDaysBeforeMonth[IsLeapYear(year) ? 1 : 0][month] + day;
}

// Splits a day number in 1 .. MaxDayNumber into its calendar date.
void SplitDayNumber(int32_t dayNumber, int& year, int& month, int& day) {
  int32_t d = dayNumber - 1;  // days since 0001-01-01
  int y400 = d / 146097;
  d %= 146097;
  int y100 = d / 36524;
  if (y100 == 4) y100 = 3;  // the last day of a 400-year cycle
  d -= y100 * 36524;
  int y4 = d / 1461;
  d %= 1461;
  int y1 = d / 365;
  if (y1 == 4) y1 = 3;  // the last day of a leap cycle
  d -= y1 * 365;
  year = y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1;
  const int* before = kDaysBeforeMonth[IsLeapYear(year) ? 1 : 0];
  month = 12;
  while (before[month] > d) --month;
  day = d - before[month] + 1;
}

struct LocalNow {
  int32_t dayNumber;
  int32_t msecs;
};

LocalNow ReadLocalClock() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  if (millis < 0) millis += 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  LocalNow result;
  result.dayNumber = DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  result.msecs = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + static_cast<int32_t>(millis);
  return result;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  result = DayNumber(year, month, day) - DateDelta;
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return false;
  result = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / MSecsPerDay;
  return true;
}

bool DecodeDate(TDateTime value, int& year, int& month, int& day) {
  TTimeStamp stamp;
  if (!TryDateTimeToTimeStamp(value, stamp)) {
    year = month = day = 0;
    return false;
  }
  SplitDayNumber(stamp.Date, year, month, day);
  return true;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond) {
  TTimeStamp stamp;
  int32_t ms = TryDateTimeToTimeStamp(value, stamp) ? stamp.Time : 0;
  millisecond = ms % 1000;
  ms /= 1000;
  second = ms % 60;
  ms /= 60;
  minute = ms % 60;
  hour = ms / 60;
}

TDateTime Date() { return ReadLocalClock().dayNumber - DateDelta; }

TDateTime Time() { return static_cast<double>(ReadLocalClock().msecs) / MSecsPerDay; }

TDateTime Now() {
  LocalNow now = ReadLocalClock();
  return TimeStampToDateTime(TTimeStamp{now.msecs, now.dayNumber});
}

bool TryDateTimeToTimeStamp(TDateTime value, TTimeStamp& result) {
  // Anything beyond 9999-12-31 is refused before the multiplication below
  // could overflow.
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) return false;
  int64_t msecs = std::llround(value * MSecsPerDay);
  int64_t days = msecs / MSecsPerDay;  // truncates toward zero: the fraction counts from midnight
  int64_t date = DateDelta + days;
  if (date < 1 || date > MaxDayNumber) return false;
  result.Date = static_cast<int32_t>(date);
  result.Time = static_cast<int32_t>((msecs < 0 ? -msecs : msecs) % MSecsPerDay);
  return true;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
  double days = static_cast<double>(stamp.Date) - DateDelta;
  double fraction = static_cast<double>(stamp.Time) / MSecsPerDay;
  return days >= 0 ? days + fraction : days - fraction;
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
  return static_cast<double>(stamp.Date) * MSecsPerDay + stamp.Time;
}

bool TryMSecsToTimeStamp(double msecs, TTimeStamp& result) {
  if (!std::isfinite(msecs) || msecs < 0 || msecs > (static_cast<double>(MaxDayNumber) + 1) * MSecsPerDay)
    return false;
  int64_t whole = std::llround(msecs);
  int64_t date = whole / MSecsPerDay;
  if (date < 1 || date > MaxDayNumber) return false;
  result.Date = static_cast<int32_t>(date);
  result.Time = static_cast<int32_t>(whole % MSecsPerDay);
  return true;
}

TDateTime StoredDateToDateTime(int32_t dayNumber) {
  if (dayNumber < 1 || dayNumber > MaxDayNumber) return 0;
  return static_cast<double>(dayNumber) - DateDelta;
}

TDateTime StoredTimeToDateTime(int32_t msecs) {
  if (msecs < 0 || msecs >= MSecsPerDay) return 0;
  return TimeStampToDateTime(TTimeStamp{msecs, DateDelta});
}

TDateTime StoredDateTimeToDateTime(double msecs) {
  TTimeStamp stamp;
  if (!TryMSecsToTimeStamp(msecs, stamp)) return 0;
  return TimeStampToDateTime(stamp);
}

int32_t DateTimeToStoredDate(TDateTime value) {
  TTimeStamp stamp;
  return TryDateTimeToTimeStamp(value, stamp) ? stamp.Date : 0;
}

int32_t DateTimeToStoredTime(TDateTime value) {
  TTimeStamp stamp;
  return TryDateTimeToTimeStamp(value, stamp) ? stamp.Time : 0;
}

double DateTimeToStoredDateTime(TDateTime value) {
  TTimeStamp stamp;
  return TryDateTimeToTimeStamp(value, stamp) ? TimeStampToMSecs(stamp) : 0;
}

int32_t TodayDayNumber() { return ReadLocalClock().dayNumber; }

int32_t CurrentTimeMSecs() { return ReadLocalClock().msecs; }
