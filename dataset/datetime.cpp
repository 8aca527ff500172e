#include "dataset/datetime.h"

#include <cmath>

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

int32_t TodayDayNumber() { return LocalNow().Date; }

int32_t CurrentTimeMSecs() { return LocalNow().Time; }
