#pragma once
// Text comparison by the collation of the user's default locale, the order
// that indexes and filters use for text.
//
// Texts are UTF-8 (invalid sequences compare as replacement characters).
// Without case the comparison runs at secondary strength (letters, accents),
// with case at tertiary strength. The locale is ICU's default locale, which
// follows LANG / LC_*; under a C or POSIX locale ICU would compare code points,
// where case always counts, so the root locale's collation is used instead.
//
// Collators are opened lazily, one pair per thread, so any thread may call
// CompareText. SetCollationLocale is for start-up and tests: call it while no
// other thread compares text.

#include <optional>
#include <string>
#include <string_view>

// <0, 0 or >0 as `a` sorts before, equal to or after `b`.
int CompareText(std::string_view a, std::string_view b, bool caseInsensitive);

// Forces a locale by its ICU name ("" for root, "de", "sv_SE", ...);
// std::nullopt returns to the user's default locale.
void SetCollationLocale(std::optional<std::string> localeName);

// The ICU locale name whose collation CompareText uses ("" for root).
std::string CollationLocaleName();
