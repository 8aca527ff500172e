#include "core/collation.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "core/errors.h"

namespace {

std::optional<std::string> forcedLocale;
std::atomic<unsigned> localeGeneration{1};

bool IsPosixName(const char* name) {
  if (!name || !*name) return false;
  return std::strcmp(name, "C") == 0 || std::strncmp(name, "C.", 2) == 0 || std::strcmp(name, "POSIX") == 0;
}

// The user's collation locale: ICU's default, or root when the environment
// names the C/POSIX locale for collation.
std::string DefaultCollationLocale() {
  const char* env = std::getenv("LC_ALL");
  if (!env || !*env) env = std::getenv("LC_COLLATE");
  if (!env || !*env) env = std::getenv("LANG");
  if (!env || !*env || IsPosixName(env)) return "";
  const char* icuDefault = uloc_getDefault();
  if (!icuDefault || std::strcmp(icuDefault, "en_US_POSIX") == 0) return "";
  return icuDefault;
}

struct ThreadCollators {
  unsigned generation = 0;
  UCollator* withoutCase = nullptr;
  UCollator* withCase = nullptr;

  ~ThreadCollators() { Close(); }
  void Close() {
    if (withoutCase) ucol_close(withoutCase);
    if (withCase) ucol_close(withCase);
    withoutCase = withCase = nullptr;
  }
  static UCollator* Open(const std::string& locale, UCollationStrength strength) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(locale.c_str(), &status);
    if (U_FAILURE(status) || !collator)
      DatabaseErrorFmt(ekGeneral, "Cannot open the text collation for locale '%s': %s", {locale, u_errorName(status)});
    ucol_setStrength(collator, strength);
    return collator;
  }
  void Refresh() {
    unsigned current = localeGeneration.load(std::memory_order_acquire);
    if (generation == current && withCase) return;
    Close();
    std::string locale = CollationLocaleName();
    withoutCase = Open(locale, UCOL_SECONDARY);
    withCase = Open(locale, UCOL_TERTIARY);
    generation = current;
  }
};

thread_local ThreadCollators collators;

}  // namespace

std::string CollationLocaleName() {
  return forcedLocale ? *forcedLocale : DefaultCollationLocale();
}

void SetCollationLocale(std::optional<std::string> localeName) {
  forcedLocale = std::move(localeName);
  localeGeneration.fetch_add(1, std::memory_order_release);
}

int CompareText(std::string_view a, std::string_view b, bool caseInsensitive) {
  collators.Refresh();
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = ucol_strcollUTF8(caseInsensitive ? collators.withoutCase : collators.withCase, a.data(),
                                        static_cast<int32_t>(a.size()), b.data(), static_cast<int32_t>(b.size()),
                                        &status);
  if (U_FAILURE(status)) {
    // Only a text too long for ICU gets here; fall back to byte order.
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}
