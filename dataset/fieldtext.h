#pragma once
// Text forms of numbers and date-times as fields and variants show and read
// them. Every locale-dependent conversion of the dataset framework goes
// through this one unit, so the decimal separator and the date and time
// formats come from one place.
//
// The conversions use the decimal point ".", dates as month/day/year with a
// four-digit year, times as hh:mm:ss on the 24-hour clock, and a date-time as
// the date followed by the time (the time left out at midnight). Reading
// accepts a two-digit year through a window of 50 years around the current
// year and an AM/PM marker after the time.
//
// The Try... forms return false for text they cannot read; the others raise a
// database error quoting the text ("'%s' is not a valid integer value").

#include <cstdint>
#include <string>
#include <string_view>

#include "dataset/datetime.h"

std::string IntegerToText(int64_t value);
bool TryTextToInteger(std::string_view text, int64_t& result);
int64_t TextToInteger(std::string_view text);

std::string FloatToText(double value);
bool TryTextToFloat(std::string_view text, double& result);
double TextToFloat(std::string_view text);

std::string DateToText(TDateTime value);
std::string TimeToText(TDateTime value);
std::string DateTimeToText(TDateTime value);
bool TryTextToDate(std::string_view text, TDateTime& result);
bool TryTextToTime(std::string_view text, TDateTime& result);
bool TryTextToDateTime(std::string_view text, TDateTime& result);
TDateTime TextToDate(std::string_view text);
TDateTime TextToTime(std::string_view text);
TDateTime TextToDateTime(std::string_view text);

// "True" and "False"; reading ignores letter case and accepts nothing else.
std::string BooleanToText(bool value);
bool TryTextToBoolean(std::string_view text, bool& result);
