#include "platform/LocaleInfo.h"

#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>

#include <cstdlib>

namespace vx::locale {

std::string userLocaleName() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (!v || !*v) continue;
    std::string name(v);
    name = name.substr(0, name.find_first_of(".@"));
    if (name == "C" || name == "POSIX") return "en_US";
    return name;
  }
  return "en_US";
}

std::string decimalSeparator(const std::string& localeName) {
  const icu::Locale loc(localeName.empty() ? userLocaleName().c_str() : localeName.c_str());
  UErrorCode status = U_ZERO_ERROR;
  const icu::DecimalFormatSymbols symbols(loc, status);
  if (U_FAILURE(status)) return ".";
  std::string out;
  symbols.getConstSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol).toUTF8String(out);
  return out.empty() ? "." : out;
}

}  // namespace vx::locale
