#include "core/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/sync.h"

namespace {

// Derives the part order and separator from a strftime date format such as
// "%m/%d/%y", "%d.%m.%Y" or "%Y-%m-%d".
void ReadDateFormat(std::string_view format, TLocaleSettings& s) {
  std::string order;
  char separator = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c == '%' && i + 1 < format.size()) {
      char d = format[++i];
      if (d == 'E' || d == 'O' || d == '-' || d == '_' || d == '0') {
        if (i + 1 >= format.size()) break;
        d = format[++i];
      }
      switch (d) {
        case 'd': case 'e': order += 'D'; break;
        case 'm': order += 'M'; break;
        case 'y': case 'Y': case 'C': order += 'Y'; break;
        case 'D': order += "MDY"; if (!separator) separator = '/'; break;
        case 'F': order += "YMD"; if (!separator) separator = '-'; break;
        default: break;
      }
    } else if (!separator && !order.empty() && c != ' ') {
      separator = c;
    }
  }
  if (order == "MDY" || order == "DMY" || order == "YMD") {
    s.DateOrder = order;
    if (separator) s.DateSeparator = separator;
  }
}

TLocaleSettings ReadEnvironment() {
  TLocaleSettings s;
  locale_t loc = newlocale(LC_ALL_MASK, "", locale_t(0));
  if (loc == locale_t(0)) loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
  if (loc == locale_t(0)) return s;
  const char* radix = nl_langinfo_l(RADIXCHAR, loc);
  if (radix && radix[0] && !radix[1]) s.DecimalSeparator = radix[0];
  if (const char* df = nl_langinfo_l(D_FMT, loc)) ReadDateFormat(df, s);
  const char* am = nl_langinfo_l(AM_STR, loc);
  const char* pm = nl_langinfo_l(PM_STR, loc);
  s.TimeAMString = am ? am : "";
  s.TimePMString = pm ? pm : "";
  std::string tf = nl_langinfo_l(T_FMT, loc) ? nl_langinfo_l(T_FMT, loc) : "";
  s.TwentyFourHourTime = tf.find("%I") == std::string::npos && tf.find("%r") == std::string::npos;
  for (size_t i = 0; i + 1 < tf.size(); ++i) {
    if (tf[i] == '%' && (tf[i + 1] == 'H' || tf[i + 1] == 'I') && i + 2 < tf.size() && tf[i + 2] != '%') {
      s.TimeSeparator = tf[i + 2];
      break;
    }
  }
  freelocale(loc);
  return s;
}

TMutex clockMutex;
// State below is protected by clockMutex.
std::optional<TLocalDateTime> clockOverride GUARDED_BY(clockMutex);

TLocaleSettings& Settings() {
  static TLocaleSettings settings = ReadEnvironment();
  return settings;
}

// Days since 1970-01-01 of a proleptic Gregorian date (any year).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const int64_t kDayOneCivil = DaysFromCivil(1, 1, 1);

// A small cursor over a text for the locale's readers.
struct Cursor {
  std::string_view text;
  size_t pos = 0;
  void SkipBlanks() {
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= 32) ++pos;
  }
  bool AtEnd() const { return pos >= text.size(); }
  bool Take(char c) {
    SkipBlanks();
    if (pos < text.size() && text[pos] == c) { ++pos; return true; }
    return false;
  }
  // Up to `maxDigits` decimal digits; false when there is none.
  bool Number(int& value, int& digits, int maxDigits = 4) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos < text.size() && digits < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
      value = value * 10 + (text[pos] - '0');
      ++digits;
      ++pos;
    }
    return digits > 0;
  }
  // Case-insensitive marker; empty markers never match.
  bool TakeWord(std::string_view word) {
    SkipBlanks();
    if (word.empty() || text.size() - pos < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      char a = text[pos + i], b = word[i];
      if (a >= 'a' && a <= 'z') a = char(a - 32);
      if (b >= 'a' && b <= 'z') b = char(b - 32);
      if (a != b) return false;
    }
    pos += word.size();
    return true;
  }
};

bool ReadDate(Cursor& c, const TLocaleSettings& s, int32_t& dayNumber) {
  int parts[3], digits[3];
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && !c.Take(s.DateSeparator)) return false;
    if (!c.Number(parts[i], digits[i])) return false;
  }
  int year = 0, month = 0, day = 0, yearDigits = 0;
  for (int i = 0; i < 3; ++i) {
    switch (s.DateOrder[i]) {
      case 'Y': year = parts[i]; yearDigits = digits[i]; break;
      case 'M': month = parts[i]; break;
      default: day = parts[i]; break;
    }
  }
  if (yearDigits <= 2) year = ExpandTwoDigitYear(year);
  return TryEncodeDate(year, month, day, dayNumber);
}

int MarkerAt(Cursor& c, const TLocaleSettings& s) {
  if (c.TakeWord(s.TimeAMString) || c.TakeWord("AM")) return 1;
  if (c.TakeWord(s.TimePMString) || c.TakeWord("PM")) return 2;
  return 0;
}

bool ReadTime(Cursor& c, const TLocaleSettings& s, int32_t& msecs) {
  int marker = MarkerAt(c, s);
  int hour, minute = 0, second = 0, msec = 0, digits;
  if (!c.Number(hour, digits, 2)) return false;
  if (c.Take(s.TimeSeparator)) {
    if (!c.Number(minute, digits, 2)) return false;
    if (c.Take(s.TimeSeparator)) {
      if (!c.Number(second, digits, 2)) return false;
      if (c.Take(s.DecimalSeparator) && !c.Number(msec, digits, 3)) return false;
    }
  }
  if (marker == 0) marker = MarkerAt(c, s);
  if (marker != 0) {
    if (hour < 1 || hour > 12) return false;
    if (hour == 12) hour = 0;
    if (marker == 2) hour += 12;
  }
  return TryEncodeTime(hour, minute, second, msec, msecs);
}

std::string Pad(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

}  // namespace

const TLocaleSettings& LocaleSettings() { return Settings(); }
TLocaleSettings SystemLocaleSettings() { return ReadEnvironment(); }
void SetLocaleSettings(const TLocaleSettings& settings) { Settings() = settings; }
void ResetLocaleSettings() { Settings() = ReadEnvironment(); }

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, int32_t& dayNumber) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  dayNumber = static_cast<int32_t>(DaysFromCivil(year, unsigned(month), unsigned(day)) - kDayOneCivil + 1);
  return true;
}

void DecodeDate(int32_t dayNumber, int& year, int& month, int& day) {
  CivilFromDays(int64_t(dayNumber) - 1 + kDayOneCivil, year, month, day);
}

bool TryEncodeTime(int hour, int minute, int second, int msec, int32_t& msecs) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  msecs = ((hour * 60 + minute) * 60 + second) * 1000 + msec;
  return true;
}

void DecodeTime(int32_t msecs, int& hour, int& minute, int& second, int& msec) {
  int32_t t = msecs % MSecsPerDay;
  if (t < 0) t += MSecsPerDay;
  msec = t % 1000;
  t /= 1000;
  second = t % 60;
  t /= 60;
  minute = t % 60;
  hour = t / 60;
}

double ToFrameworkDateTime(double engineMSecs) {
  double ms = std::round(engineMSecs);
  double day = std::floor(ms / MSecsPerDay);
  double time = ms - day * MSecsPerDay;
  double date = day - DateDelta;
  // Before the framework's zero the fraction still counts forward from midnight.
  return date >= 0 ? date + time / MSecsPerDay : date - time / MSecsPerDay;
}

double FromFrameworkDateTime(double frameworkValue) {
  double date = std::trunc(frameworkValue);
  double fraction = std::fabs(frameworkValue - date);
  return std::round((date + DateDelta) * MSecsPerDay + fraction * MSecsPerDay);
}

TLocalDateTime LocalNow() {
  {
    TLockGuard<TMutex> lock(clockMutex);
    if (clockOverride) return *clockOverride;
  }
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  if (ms < 0) ms += 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  TLocalDateTime result;
  TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, result.Date);
  // A leap second (tm_sec 60) is counted as the last second of the minute.
  TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, ms, result.Time);
  return result;
}

void SetClockOverride(std::optional<TLocalDateTime> now) {
  TLockGuard<TMutex> lock(clockMutex);
  clockOverride = now;
}

int ExpandTwoDigitYear(int year) {
  int currentYear, month, day;
  DecodeDate(LocalNow().Date, currentYear, month, day);
  int window = LocaleSettings().TwoDigitYearCenturyWindow;
  int threshold = currentYear - window;
  year += (threshold / 100) * 100;
  if (window > 0 && year < threshold) year += 100;
  return year;
}

std::string FloatToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  std::string text = buf;
  for (char& c : text)
    if (c == '.') c = LocaleSettings().DecimalSeparator;
  return text;
}

bool TryTextToFloat(std::string_view text, double& value) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  if (b == e || e - b > 400) return false;
  const char sep = LocaleSettings().DecimalSeparator;
  std::string plain;
  plain.reserve(e - b);
  for (size_t i = b; i < e; ++i) {
    char c = text[i];
    if (c == sep) c = '.';
    else if (c == '.' || !(std::isdigit(static_cast<unsigned char>(c)) || c == 'e' || c == 'E' || c == '+' || c == '-'))
      return false;
    plain.push_back(c);
  }
  const char* first = plain.data();
  const char* last = plain.data() + plain.size();
  if (*first == '+') {
    ++first;
    if (first == last || *first == '-' || *first == '+') return false;
  }
  auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  return ec == std::errc() && ptr == last && std::isfinite(value);
}

double TextToFloat(std::string_view text) {
  double value;
  if (!TryTextToFloat(text, value))
    throw EConvertError(FormatMessage("'%s' is not a valid floating point value", {text}));
  return value;
}

std::string DateToText(int32_t dayNumber) {
  const TLocaleSettings& s = LocaleSettings();
  int y, m, d;
  DecodeDate(dayNumber, y, m, d);
  std::string out;
  for (int i = 0; i < 3; ++i) {
    if (i) out += s.DateSeparator;
    switch (s.DateOrder[i]) {
      case 'Y': out += Pad(y, 4); break;
      case 'M': out += std::to_string(m); break;
      default: out += std::to_string(d); break;
    }
  }
  return out;
}

std::string TimeToText(int32_t msecs) {
  const TLocaleSettings& s = LocaleSettings();
  int h, m, sec, ms;
  DecodeTime(msecs, h, m, sec, ms);
  std::string marker;
  if (!s.TwentyFourHourTime) {
    marker = h < 12 ? (s.TimeAMString.empty() ? "AM" : s.TimeAMString)
                    : (s.TimePMString.empty() ? "PM" : s.TimePMString);
    h %= 12;
    if (h == 0) h = 12;
  }
  std::string out = std::to_string(h) + s.TimeSeparator + Pad(m, 2) + s.TimeSeparator + Pad(sec, 2);
  if (!marker.empty()) out += " " + marker;
  return out;
}

std::string DateTimeToText(double engineMSecs) {
  double ms = std::round(engineMSecs);
  if (!std::isfinite(ms) || std::fabs(ms) > 1e15) return {};
  int64_t total = static_cast<int64_t>(ms);
  int64_t day = total / MSecsPerDay;
  int64_t time = total % MSecsPerDay;
  if (time < 0) { time += MSecsPerDay; --day; }
  std::string out = DateToText(static_cast<int32_t>(day));
  if (time != 0) out.append(" ").append(TimeToText(static_cast<int32_t>(time)));
  return out;
}

bool TryTextToDate(std::string_view text, int32_t& dayNumber) {
  Cursor c{text};
  if (!ReadDate(c, LocaleSettings(), dayNumber)) return false;
  c.SkipBlanks();
  return c.AtEnd();
}

bool TryTextToTime(std::string_view text, int32_t& msecs) {
  Cursor c{text};
  if (!ReadTime(c, LocaleSettings(), msecs)) return false;
  c.SkipBlanks();
  return c.AtEnd();
}

bool TryTextToDateTime(std::string_view text, double& engineMSecs) {
  const TLocaleSettings& s = LocaleSettings();
  Cursor c{text};
  int32_t day = 0, time = 0;
  if (ReadDate(c, s, day)) {
    c.SkipBlanks();
    if (!c.AtEnd() && !ReadTime(c, s, time)) return false;
  } else {
    c.pos = 0;
    if (!ReadTime(c, s, time)) return false;
  }
  c.SkipBlanks();
  if (!c.AtEnd()) return false;
  engineMSecs = double(day) * MSecsPerDay + time;
  return true;
}

int32_t TextToDate(std::string_view text) {
  int32_t value;
  if (!TryTextToDate(text, value)) throw EConvertError(FormatMessage("'%s' is not a valid date", {text}));
  return value;
}

int32_t TextToTime(std::string_view text) {
  int32_t value;
  if (!TryTextToTime(text, value)) throw EConvertError(FormatMessage("'%s' is not a valid time", {text}));
  return value;
}

double TextToDateTime(std::string_view text) {
  double value;
  if (!TryTextToDateTime(text, value))
    throw EConvertError(FormatMessage("'%s' is not a valid date and time", {text}));
  return value;
}
