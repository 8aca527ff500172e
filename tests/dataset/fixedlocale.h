#pragma once
// Fixes the locale (and optionally the clock) for one test, so that texts of
// numbers, dates and times do not depend on the machine.

#include <optional>

#include "core/locale.h"

class FixedLocale {
 public:
  explicit FixedLocale(bool twentyFourHour = true, char decimalSeparator = '.') {
    TLocaleSettings settings;
    settings.DecimalSeparator = decimalSeparator;
    settings.DateSeparator = '/';
    settings.TimeSeparator = ':';
    settings.DateOrder = "MDY";
    settings.TwentyFourHourTime = twentyFourHour;
    SetLocaleSettings(settings);
  }
  ~FixedLocale() {
    ResetLocaleSettings();
    SetClockOverride(std::nullopt);
  }
  FixedLocale(const FixedLocale&) = delete;
  FixedLocale& operator=(const FixedLocale&) = delete;

  static void FixClock(int32_t dayNumber, int32_t msecs) { SetClockOverride(TLocalDateTime{dayNumber, msecs}); }
};
