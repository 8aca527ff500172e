#include "dataset/fieldtext.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "core/errors.h"

namespace {

constexpr char kDecimalSeparator = '.';
constexpr int kTwoDigitYearWindow = 50;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// A small reader over one text: skips blanks, reads unsigned numbers and
// literal characters.
class TextReader {
 public:
  explicit TextReader(std::string_view text) : text_(text) {}
  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ >= text_.size();
  }
  // Reads up to `maxDigits` digits; false when there is none.
  bool Number(int& value, int& digits, int maxDigits = 9) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) && digits < maxDigits) {
      value = value * 10 + (text_[pos_] - '0');
      ++pos_;
      ++digits;
    }
    return digits > 0;
  }
  bool Char(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  // Reads an AM or PM marker; `pm` tells which.
  bool Marker(bool& pm) {
    SkipBlanks();
    std::string_view rest = text_.substr(pos_);
    if (rest.size() >= 2 && (EqualNoCase(rest.substr(0, 2), "AM") || EqualNoCase(rest.substr(0, 2), "PM"))) {
      pm = std::toupper(static_cast<unsigned char>(rest[0])) == 'P';
      pos_ += 2;
      return true;
    }
    return false;
  }
  size_t Position() const { return pos_; }
  void SetPosition(size_t pos) { pos_ = pos; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

int CurrentYear() {
  int year, month, day;
  DecodeDate(Date(), year, month, day);
  return year;
}

bool ReadDate(TextReader& reader, TDateTime& result) {
  int month, day, year, digits, yearDigits;
  if (!reader.Number(month, digits, 2) || !reader.Char('/') || !reader.Number(day, digits, 2) || !reader.Char('/') ||
      !reader.Number(year, yearDigits, 4))
    return false;
  if (yearDigits <= 2) {
    int current = CurrentYear();
    int start = current - kTwoDigitYearWindow;
    year += start / 100 * 100;
    if (year < start) year += 100;
  }
  return TryEncodeDate(year, month, day, result);
}

bool ReadTime(TextReader& reader, TDateTime& result) {
  int hour, minute = 0, second = 0, millisecond = 0, digits;
  if (!reader.Number(hour, digits, 2)) return false;
  if (reader.Char(':')) {
    if (!reader.Number(minute, digits, 2)) return false;
    if (reader.Char(':')) {
      if (!reader.Number(second, digits, 2)) return false;
      if (reader.Char(kDecimalSeparator) && !reader.Number(millisecond, digits, 3)) return false;
    }
  }
  bool pm = false;
  if (reader.Marker(pm)) {
    if (hour < 1 || hour > 12) return false;
    if (hour == 12) hour = 0;
    if (pm) hour += 12;
  }
  return TryEncodeTime(hour, minute, second, millisecond, result);
}

[[noreturn]] void ConversionError(std::string_view pattern, std::string_view text) {
  DatabaseErrorFmt(pattern, {text});
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
  if (!TryTextToInteger(text, value)) ConversionError("'%s' is not a valid integer value", text);
  return value;
}

std::string FloatToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string text(buffer);
  for (char& c : text)
    if (c == '.') c = kDecimalSeparator;
  // "1E+20" reads better as "1E20"; keep the sign of negative exponents.
  auto e = text.find('E');
  if (e != std::string::npos) {
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) exponent.erase(0, 1);
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    text = mantissa + "E" + (negative ? "-" : "") + exponent;
  }
  return text;
}

bool TryTextToFloat(std::string_view text, double& result) {
  text = Trim(text);
  if (text.empty()) return false;
  std::string copy;
  for (char c : text) {
    if (c == kDecimalSeparator) c = '.';
    else if (c == '.') return false;  // another separator than the locale's
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'))
      return false;
    copy.push_back(c);
  }
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || errno == ERANGE) return false;
  result = value;
  return true;
}

double TextToFloat(std::string_view text) {
  double value;
  if (!TryTextToFloat(text, value)) ConversionError("'%s' is not a valid floating point value", text);
  return value;
}

std::string DateToText(TDateTime value) {
  int year, month, day;
  if (!DecodeDate(value, year, month, day)) return {};
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d/%d/%04d", month, day, year);
  return buffer;
}

std::string TimeToText(TDateTime value) {
  int hour, minute, second, millisecond;
  DecodeTime(value, hour, minute, second, millisecond);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour, minute, second);
  return buffer;
}

std::string DateTimeToText(TDateTime value) {
  TTimeStamp stamp;
  if (!TryDateTimeToTimeStamp(value, stamp)) return {};
  std::string text = DateToText(value);
  if (stamp.Time != 0) {
    text.push_back(' ');
    text.append(TimeToText(value));
  }
  return text;
}

bool TryTextToDate(std::string_view text, TDateTime& result) {
  TextReader reader(text);
  TDateTime value;
  if (!ReadDate(reader, value) || !reader.AtEnd()) return false;
  result = value;
  return true;
}

bool TryTextToTime(std::string_view text, TDateTime& result) {
  TextReader reader(text);
  TDateTime value;
  if (!ReadTime(reader, value) || !reader.AtEnd()) return false;
  result = value;
  return true;
}

bool TryTextToDateTime(std::string_view text, TDateTime& result) {
  TextReader reader(text);
  TDateTime date = 0, time = 0;
  if (ReadDate(reader, date)) {
    if (!reader.AtEnd() && (!ReadTime(reader, time) || !reader.AtEnd())) return false;
    result = date >= 0 ? date + time : date - time;
    return true;
  }
  reader.SetPosition(0);
  if (!ReadTime(reader, time) || !reader.AtEnd()) return false;
  result = time;
  return true;
}

TDateTime TextToDate(std::string_view text) {
  TDateTime value;
  if (!TryTextToDate(text, value)) ConversionError("'%s' is not a valid date", text);
  return value;
}

TDateTime TextToTime(std::string_view text) {
  TDateTime value;
  if (!TryTextToTime(text, value)) ConversionError("'%s' is not a valid time", text);
  return value;
}

TDateTime TextToDateTime(std::string_view text) {
  TDateTime value;
  if (!TryTextToDateTime(text, value)) ConversionError("'%s' is not a valid date and time", text);
  return value;
}

std::string BooleanToText(bool value) { return value ? "True" : "False"; }

bool TryTextToBoolean(std::string_view text, bool& result) {
  text = Trim(text);
  if (EqualNoCase(text, "True")) {
    result = true;
    return true;
  }
  if (EqualNoCase(text, "False")) {
    result = false;
    return true;
  }
  return false;
}
