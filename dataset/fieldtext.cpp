#include "dataset/fieldtext.h"

#include <cctype>
#include <charconv>

#include "core/component.h"

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string IntegerToText(int64_t value) { return std::to_string(value); }

bool TryTextToInteger(std::string_view text, int64_t& result) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  return error == std::errc() && end == text.data() + text.size();
}

int64_t TextToInteger(std::string_view text) {
  int64_t value;
  if (!TryTextToInteger(text, value))
    throw EConvertError(FormatMessage("'%s' is not a valid integer value", {text}));
  return value;
}

std::string BooleanToText(bool value) { return value ? "True" : "False"; }

bool TryTextToBoolean(std::string_view text, bool& result) {
  text = Trim(text);
  if (SameNameIgnoringCase(text, "True")) {
    result = true;
    return true;
  }
  if (SameNameIgnoringCase(text, "False")) {
    result = false;
    return true;
  }
  return false;
}

std::string DateValueToText(TDateTime value) {
  TTimeStamp stamp;
  return TryDateTimeToTimeStamp(value, stamp) ? DateToText(stamp.Date) : std::string();
}

std::string TimeValueToText(TDateTime value) {
  TTimeStamp stamp;
  return TryDateTimeToTimeStamp(value, stamp) ? TimeToText(stamp.Time) : std::string();
}

std::string DateTimeValueToText(TDateTime value) {
  TTimeStamp stamp;
  return TryDateTimeToTimeStamp(value, stamp) ? DateTimeToText(TimeStampToMSecs(stamp)) : std::string();
}

bool TryTextToDateValue(std::string_view text, TDateTime& result) {
  int32_t day;
  if (!TryTextToDate(text, day) || day < 1 || day > MaxDayNumber) return false;
  result = StoredDateToDateTime(day);
  return true;
}

bool TryTextToTimeValue(std::string_view text, TDateTime& result) {
  int32_t msecs;
  if (!TryTextToTime(text, msecs)) return false;
  result = StoredTimeToDateTime(msecs);
  return true;
}

bool TryTextToDateTimeValue(std::string_view text, TDateTime& result) {
  double msecs;
  if (!TryTextToDateTime(text, msecs)) return false;
  // A time alone has day 0, which the stored form cannot name: it stands for
  // that time on the framework's day zero.
  if (msecs >= 0 && msecs < MSecsPerDay) {
    result = StoredTimeToDateTime(static_cast<int32_t>(msecs));
    return true;
  }
  TTimeStamp stamp;
  if (!TryMSecsToTimeStamp(msecs, stamp)) return false;
  result = TimeStampToDateTime(stamp);
  return true;
}

TDateTime TextToDateValue(std::string_view text) {
  TDateTime value;
  if (!TryTextToDateValue(text, value)) throw EConvertError(FormatMessage("'%s' is not a valid date", {text}));
  return value;
}

TDateTime TextToTimeValue(std::string_view text) {
  TDateTime value;
  if (!TryTextToTimeValue(text, value)) throw EConvertError(FormatMessage("'%s' is not a valid time", {text}));
  return value;
}

TDateTime TextToDateTimeValue(std::string_view text) {
  TDateTime value;
  if (!TryTextToDateTimeValue(text, value))
    throw EConvertError(FormatMessage("'%s' is not a valid date and time", {text}));
  return value;
}
