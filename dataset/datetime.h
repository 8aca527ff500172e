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
// as a double holding day number x 86,400,000 + milliseconds. All functions
// here are pure and may be called from any thread.

#include <cstdint>

using TDateTime = double;

constexpr int32_t MSecsPerDay = 86400000;
// Day number of 1899-12-30, the day that TDateTime 0 stands for.
constexpr int32_t DateDelta = 693594;
// Day number of 9999-12-31, the last representable day.
constexpr int32_t MaxDayNumber = 3652059;

// A date-time split into its day number and the milliseconds since midnight.
struct TTimeStamp {
  int32_t Time = 0;  // milliseconds since midnight, 0 .. MSecsPerDay - 1
  int32_t Date = 0;  // day number, 1 = 0001-01-01
};

// Calendar helpers. The Try... forms return false for a value outside the
// calendar (month 13, 1899-02-29, hour 24 and the like).
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);
// Splits the date part; a value outside 0001-01-01 .. 9999-12-31 gives false.
bool DecodeDate(TDateTime value, int& year, int& month, int& day);
// Splits the time part, rounded to the nearest millisecond.
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);

// The local date (midnight), time of day (day 0) and both, from the system clock.
TDateTime Date();
TDateTime Time();
TDateTime Now();

// TDateTime <-> day number and milliseconds. The conversions fail for values
// that are not finite or lie outside the representable days.
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

// Today's day number and the current milliseconds since midnight, the values
// a new record's date and time fields start with.
int32_t TodayDayNumber();
int32_t CurrentTimeMSecs();
