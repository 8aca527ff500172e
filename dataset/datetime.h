#pragma once
// Date-time values as the dataset framework hands them to programs, and their
// conversion to and from the forms in which records store dates and times.
//
// A TDateTime counts days since 1899-12-30 00:00; the fraction is the time of
// day. Before that day the whole part is negative and the fraction still
// counts forward from midnight (-1.25 is 1899-12-29 06:00).
//
// Records store dates as a day number (day 1 is 0001-01-01 of the proleptic
// Gregorian calendar), times as milliseconds since midnight, and date-times
// as a double holding day number x 86,400,000 + milliseconds (core/locale.h
// has the calendar arithmetic on these forms). All functions here are pure
// apart from the two that read the clock, and may be called from any thread.

#include <cstdint>

#include "core/locale.h"

using TDateTime = double;

// Day number of 9999-12-31, the last representable day.
constexpr int32_t MaxDayNumber = 3652059;

// A date-time split into its day number and the milliseconds since midnight.
struct TTimeStamp {
  int32_t Time = 0;  // milliseconds since midnight, 0 .. MSecsPerDay - 1
  int32_t Date = 0;  // day number, 1 = 0001-01-01
};

// TDateTime <-> day number and milliseconds. Fails for values that are not
// finite or lie outside 0001-01-01 .. 9999-12-31.
bool TryDateTimeToTimeStamp(TDateTime value, TTimeStamp& result);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
double TimeStampToMSecs(const TTimeStamp& stamp);
// Rounds to whole milliseconds first; fails for day numbers below 1 or above
// MaxDayNumber, and for values that are not finite.
bool TryMSecsToTimeStamp(double msecs, TTimeStamp& result);

// The conversions between the stored forms of ftDate, ftTime and ftDateTime
// and TDateTime. Reading a stored value that names no valid moment gives 0;
// writing a TDateTime that cannot be converted stores 0.
TDateTime StoredDateToDateTime(int32_t dayNumber);
TDateTime StoredTimeToDateTime(int32_t msecs);
TDateTime StoredDateTimeToDateTime(double msecs);
int32_t DateTimeToStoredDate(TDateTime value);
int32_t DateTimeToStoredTime(TDateTime value);
double DateTimeToStoredDateTime(TDateTime value);

// Today's day number and the current milliseconds since midnight (the
// locale's local clock, which tests can fix), the values a new record's date
// and time fields start with.
int32_t TodayDayNumber();
int32_t CurrentTimeMSecs();
