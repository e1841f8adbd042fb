#pragma once
// The user's locale and its number conventions, over ICU's locale data.
//
// The user's default locale comes from the environment as the C library reads it: LC_ALL,
// then LC_MESSAGES, then LANG ("nb_NO.UTF-8" becomes "nb_NO"); "C", "POSIX" or nothing
// means English (United States).
#include <string>

namespace vx::locale {

// The ICU name of the user's default locale, e.g. "nb_NO" or "en_US".
std::string userLocaleName();

// The decimal separator of a locale (the user's when `localeName` is empty), as UTF-8.
std::string decimalSeparator(const std::string& localeName = std::string());

}  // namespace vx::locale
