#pragma once
// The user's locale as the engine and the dataset framework need it: the
// decimal separator, the date and time texts and their conversions, the AM/PM
// strings, the two-digit-year window, and the local date and time.
//
// Date and time values use the engine's stored forms:
//   day number  - signed 32 bits, day 1 is 0001-01-01 (proleptic Gregorian);
//   time        - signed 32 bits, milliseconds since midnight;
//   date-time   - double, day number * 86,400,000 + milliseconds since midnight.
// The dataset framework's own date-time value (days since 1899-12-30 with the
// time of day as the fraction) converts through ToFrameworkDateTime() and
// FromFrameworkDateTime().
//
// The settings are read once from the process environment (LC_ALL, LC_NUMERIC,
// LC_TIME, LANG, through the C library's locale data) on first use. Tests
// replace them with SetLocaleSettings() and fix the clock with
// SetClockOverride(), so results never depend on the machine. Both setters are
// meant for start-up and tests: call them while no other thread reads the
// locale. Everything else may be called from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/errors.h"

// The conversion error of the locale's text readers ("'%s' is not a valid
// date", ...). It is a database error, so callers that report database errors
// catch it with them.
class EConvertError : public EDatabaseError {
 public:
  explicit EConvertError(const std::string& message) : EDatabaseError(message, ekInvalidValue) {}
};

struct TLocaleSettings {
  char DecimalSeparator = '.';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  // Order of the parts of the short date: "MDY", "DMY" or "YMD".
  std::string DateOrder = "MDY";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  // True when times are written with the hour 0-23, false for 1-12 and AM/PM.
  bool TwentyFourHourTime = false;
  // Two-digit years fall within this many years before the current year and
  // (100 - window) after it; 0 puts them in the current century.
  int TwoDigitYearCenturyWindow = 50;
};

// The settings in force (the environment's unless overridden).
const TLocaleSettings& LocaleSettings();
// The settings the environment gives, read afresh.
TLocaleSettings SystemLocaleSettings();
// Replaces the settings in force; ResetLocaleSettings() returns to the environment's.
void SetLocaleSettings(const TLocaleSettings& settings);
void ResetLocaleSettings();

// ---- Calendar arithmetic on the stored forms ----
constexpr int32_t MSecsPerDay = 86400000;
// Day number of 1899-12-30, the dataset framework's date-time zero.
constexpr int32_t DateDelta = 693594;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Day number of a date; false when the date is not valid (year 1-9999).
bool TryEncodeDate(int year, int month, int day, int32_t& dayNumber);
// Splits a day number (1 and above) into year, month and day.
void DecodeDate(int32_t dayNumber, int& year, int& month, int& day);
// Milliseconds since midnight; false when a part is out of range.
bool TryEncodeTime(int hour, int minute, int second, int msec, int32_t& msecs);
void DecodeTime(int32_t msecs, int& hour, int& minute, int& second, int& msec);

// Framework date-time (days since 1899-12-30, time as fraction) from and to
// the engine's millisecond form; the result is rounded to whole milliseconds.
double ToFrameworkDateTime(double engineMSecs);
double FromFrameworkDateTime(double frameworkValue);

// ---- The local date and time ----
struct TLocalDateTime {
  int32_t Date = 0;  // day number
  int32_t Time = 0;  // milliseconds since midnight
  double AsMSecs() const { return double(Date) * MSecsPerDay + Time; }
};
TLocalDateTime LocalNow();
// Fixes the clock for tests; std::nullopt returns to the system clock.
void SetClockOverride(std::optional<TLocalDateTime> now);

// Places a year written with one or two digits in the two-digit-year window
// around the current year.
int ExpandTwoDigitYear(int year);

// ---- Texts in the locale's formats ----
// Up to 15 significant digits with the locale's decimal separator.
std::string FloatToText(double value);
// The whole text (blanks around it allowed) as a number written with the
// locale's decimal separator; false for anything else, also for overflow.
bool TryTextToFloat(std::string_view text, double& value);
// As TryTextToFloat; raises "'%s' is not a valid floating point value".
double TextToFloat(std::string_view text);

std::string DateToText(int32_t dayNumber);
std::string TimeToText(int32_t msecs);
std::string DateTimeToText(double engineMSecs);

// The locale's readers: a date in the locale's part order and separator (a
// one- or two-digit year goes through the window), a time as hour[:minute
// [:second[<decimal separator>milliseconds]]] with an AM/PM marker before or
// after it, and a date-time as a date optionally followed by blanks and a time.
bool TryTextToDate(std::string_view text, int32_t& dayNumber);
bool TryTextToTime(std::string_view text, int32_t& msecs);
bool TryTextToDateTime(std::string_view text, double& engineMSecs);
// As the Try forms; raise "'%s' is not a valid date", "'%s' is not a valid
// time" or "'%s' is not a valid date and time".
int32_t TextToDate(std::string_view text);
int32_t TextToTime(std::string_view text);
double TextToDateTime(std::string_view text);
