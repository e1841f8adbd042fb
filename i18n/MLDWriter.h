#pragma once
// Writes multi-language dictionary (MLD) streams in every variant the reader understands.
// Texts are given as UTF-8 and stored in the code page of their field, or as UTF-16.
#include "i18n/MLDTypes.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vx::i18n {

struct MLDWriteOptions {
  int version = 3;          // 0 to 3 (0 is laid out like 1, with the encoding in byte 5)
  bool bigEndian = false;
  bool utf16 = false;       // false: 8-bit code-page texts
  MLDContextKind contextKind = MLDContextKind::Both;
  int systemCodePage = 1252;  // the code page of the "code page 0" fields
  // Bytes of zeros appended to every version 3 language and locale record, as a newer
  // writer would append fields.
  std::size_t extraRecordBytes = 0;
};

struct MLDTranslationRow {
  std::string NativeText;
  std::string Context1;
  std::string Context2;
  std::vector<std::string> Texts;  // languages 1 to n - 1; missing ones are empty
};

struct MLDDocument {
  std::vector<TIvLanguage> Languages;  // language 0 first
  std::vector<MLDTranslationRow> Translations;
  std::vector<TIvLocale> Locales;
};

// The stream's bytes. Fails with EIvDictionaryError when something does not fit the format
// (more than 65535 records, a text longer than 65535 characters, a row with more texts than
// languages).
std::string writeMLD(const MLDDocument& document, const MLDWriteOptions& options);

}  // namespace vx::i18n
