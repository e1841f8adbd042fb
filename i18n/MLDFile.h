#pragma once
// The reader of multi-language dictionary (MLD) streams: versions 1 to 3, either byte order,
// 8-bit code-page texts or UTF-16 texts, all handed out as UTF-8. Plain C++ (the fuzzer
// compiles it on its own).
//
// The whole stream is held in memory and every read is checked against its end: a short,
// corrupted or hostile stream fails with EIvDictionaryError ("Stream read error", "The stream
// is not a valid MLD stream", ...) and never allocates more than the stream itself holds.
#include "i18n/MLDTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx::i18n {

class TIvMLDFile {
 public:
  static constexpr std::size_t HeaderSize = 42;
  // A dictionary is a few hundred kilobytes; anything far larger is not one.
  static constexpr std::size_t MaxStreamSize = 64u * 1024u * 1024u;

  TIvMLDFile() = default;

  // Takes the stream's bytes (the owner sets the stream); ReadHeader must follow.
  void AttachStream(std::string bytes);
  // Reads the file read-only into the stream and reads its header. A file that cannot be
  // opened fails with the platform's vx::IoError ("File not found", ...).
  void LoadFile(const std::string& path);
  // The stream position of the next read: after a failed read, where the fault lies.
  std::size_t Position() const { return pos_; }
  // LoadFile, then remembers the code page of language 0 and seeks to the languages.
  void Open(const std::string& path);

  // Checks the magic, applies the version 1 layout and the byte order.
  void ReadHeader();

  int Version() const { return version_; }  // 0 to 3; anything above 2 reads as 3
  bool BigEndian() const { return bigEndian_; }
  bool EightBit() const { return eightBit_; }
  MLDContextKind ContextKind() const { return contextKind_; }
  int LanguageCount() const { return languageCount_; }
  int TranslationCount() const { return translationCount_; }
  int LocaleCount() const { return localeCount_; }
  int NativeCodePage() const { return nativeCodePage_; }

  // The system's ANSI code page, in which "code page 0" texts are read (1252 unless set).
  void SetSystemCodePage(int codePage) { systemCodePage_ = codePage; }

  void SeekLanguages();
  void SeekTranslations();
  void SeekLocales();

  // The next record, in the reader's reusable object (valid until the next record read).
  const TIvLanguage& ReadLanguage();
  const TIvLocale& ReadLocale();
  // Record n of its section (seeks to the section first).
  const TIvLanguage& Language(int n);
  const TIvLocale& Locale(int n);

  // Reads the next translation record into `entry`: the text of language `wanted`, else that
  // of `fallback`, is decoded in `currentCodePage`; the other languages' texts are skipped.
  TIvTextSource ReadTranslation(TIvTranslation& entry, int wanted, int currentCodePage,
                                int fallback);

  // Completes a language record as every record read is completed: ids, code page and
  // charset, the native record's names, and empty names and ISO codes from the system's
  // locale data. Also for language records that come from elsewhere (embedded data).
  static void CompleteLanguage(TIvLanguage& language);

 private:
  void need(std::size_t n) const;
  std::uint8_t readByte();
  std::uint16_t readWord();
  std::vector<char16_t> readUnits(std::size_t count);
  std::string readFixed(std::size_t count, int codePage);
  std::string readText(int codePage);
  void skipText();
  std::string readChar(int codePage);
  int textCodePage(int codePage) const { return codePage == 0 ? systemCodePage_ : codePage; }
  void beginRecord();
  void endRecord();
  void seekTo(std::uint32_t offset, const char* error);

  std::string data_;
  std::size_t pos_ = 0;
  std::array<std::uint8_t, HeaderSize> header_{};
  bool headerRead_ = false;
  int version_ = 0;
  int recordVersion_ = 1;
  bool bigEndian_ = false;
  bool eightBit_ = true;
  MLDContextKind contextKind_ = MLDContextKind::None;
  int languageCount_ = 0, translationCount_ = 0, localeCount_ = 0;
  std::uint32_t languageOffset_ = 0, translationOffset_ = 0, localeOffset_ = 0;
  std::size_t recordStart_ = 0;
  std::size_t recordSize_ = 0;
  int systemCodePage_ = 1252;
  int nativeCodePage_ = 0;
  TIvLanguage language_;
  TIvLocale locale_;
};

// The sublanguage list of a language record ("1,2"): items of 0 or less are dropped; an empty
// or non-numeric item fails with "'x' is not a valid integer value".
std::vector<int> parseSubIds(std::string_view text);

}  // namespace vx::i18n
