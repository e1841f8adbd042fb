#include "vxcomp/version/Language.h"

namespace vx::version {

namespace {

constexpr std::uint16_t kSublanguageIds[] = {2052, 2055, 2057, 2058, 2060, 2064,
                                             2067, 2068, 2070, 2074, 3084, 4108};
static_assert(lnSimplifiedChinese + sizeof kSublanguageIds / sizeof kSublanguageIds[0] == kLanguageCount);

constexpr std::uint16_t kCodePages[] = {0,    932,  949,  950,  1200, 1250,
                                        1251, 1252, 1253, 1254, 1255, 1256};
static_assert(sizeof kCodePages / sizeof kCodePages[0] == kCharacterSetCount);

}  // namespace

std::uint16_t languageId(TLanguage language) {
  if (language < 0 || language >= kLanguageCount) return 0;
  if (language < lnSimplifiedChinese) return static_cast<std::uint16_t>(1025 + language);
  return kSublanguageIds[language - lnSimplifiedChinese];
}

std::optional<TLanguage> languageFromId(int id) {
  for (int i = 0; i < kLanguageCount; ++i)
    if (languageId(static_cast<TLanguage>(i)) == id) return static_cast<TLanguage>(i);
  return std::nullopt;
}

std::uint16_t codePage(TCharacterSet characterSet) {
  if (characterSet < 0 || characterSet >= kCharacterSetCount) return 0;
  return kCodePages[characterSet];
}

std::optional<TCharacterSet> characterSetFromCodePage(int page) {
  for (int i = 0; i < kCharacterSetCount; ++i)
    if (kCodePages[i] == page) return static_cast<TCharacterSet>(i);
  return std::nullopt;
}

}  // namespace vx::version
