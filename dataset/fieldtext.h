#pragma once
// Text forms of field values. Numbers, dates and times take the locale's
// formats (core/locale.h: decimal separator, date order and separator, 12- or
// 24-hour clock); this unit adds the integer and boolean texts and converts
// between the locale's stored-form dates and the framework's TDateTime.
//
// The Try... forms return false for text they cannot read; the others raise
// EConvertError quoting the text ("'%s' is not a valid integer value").

#include <cstdint>
#include <string>
#include <string_view>

#include "core/locale.h"
#include "dataset/datetime.h"

std::string IntegerToText(int64_t value);
// Decimal, with an optional sign; blanks around it are ignored.
bool TryTextToInteger(std::string_view text, int64_t& result);
int64_t TextToInteger(std::string_view text);

// "True" and "False"; reading ignores letter case and accepts nothing else.
std::string BooleanToText(bool value);
bool TryTextToBoolean(std::string_view text, bool& result);

// A TDateTime as the locale writes a date, a time, or a date with its time
// (the time left out at midnight). A value outside the calendar gives "".
std::string DateValueToText(TDateTime value);
std::string TimeValueToText(TDateTime value);
std::string DateTimeValueToText(TDateTime value);
bool TryTextToDateValue(std::string_view text, TDateTime& result);
bool TryTextToTimeValue(std::string_view text, TDateTime& result);
bool TryTextToDateTimeValue(std::string_view text, TDateTime& result);
// Raise "'%s' is not a valid date", "... time", "... date and time".
TDateTime TextToDateValue(std::string_view text);
TDateTime TextToTimeValue(std::string_view text);
TDateTime TextToDateTimeValue(std::string_view text);
