#include "i18n/MLDFile.h"

#include "i18n/CodePages.h"
#include "platform/IoError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::i18n {

namespace {

constexpr const char* kReadError = "Stream read error";

std::uint16_t word(const std::uint8_t* p, bool bigEndian) {
  return static_cast<std::uint16_t>(bigEndian ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8));
}

std::uint32_t dword(const std::uint8_t* p, bool bigEndian) {
  return bigEndian ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                         (std::uint32_t{p[2]} << 8) | p[3]
                   : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                         (std::uint32_t{p[1]} << 8) | p[0];
}

std::string trimNul(std::string s) {
  const auto n = s.find('\0');
  if (n != std::string::npos) s.resize(n);
  return s;
}

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) {
      items.push_back(text.substr(start));
      break;
    }
    items.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

}  // namespace

std::vector<int> parseSubIds(std::string_view text) {
  std::vector<int> ids;
  for (const std::string& item : splitList(std::string(text))) {
    std::size_t i = 0;
    while (i < item.size() && item[i] == ' ') ++i;
    bool negative = false;
    if (i < item.size() && (item[i] == '-' || item[i] == '+')) negative = item[i++] == '-';
    if (i >= item.size()) throw EIvDictionaryError("'" + item + "' is not a valid integer value");
    long long value = 0;
    for (; i < item.size(); ++i) {
      if (item[i] < '0' || item[i] > '9' || value > 0x7FFFFFFF)
        throw EIvDictionaryError("'" + item + "' is not a valid integer value");
      value = value * 10 + (item[i] - '0');
    }
    if (value > 0x7FFFFFFF) throw EIvDictionaryError("'" + item + "' is not a valid integer value");
    if (!negative && value >= 1) ids.push_back(static_cast<int>(value));
  }
  return ids;
}

void TIvMLDFile::AttachStream(std::string bytes) {
  if (bytes.size() > MaxStreamSize) throw EIvDictionaryError("The stream is too large for an MLD stream");
  data_ = std::move(bytes);
  pos_ = 0;
  headerRead_ = false;
}

void TIvMLDFile::LoadFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw IoError(windowsErrorFromErrno(errno, path));
  std::string bytes;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    throw IoError(windowsErrorFromErrno(err, path));
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw IoError(winerr::AccessDenied);
  }
  if (static_cast<unsigned long long>(st.st_size) > MaxStreamSize) {
    ::close(fd);
    throw EIvDictionaryError("The stream is too large for an MLD stream");
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      throw IoError(windowsErrorFromErrno(err, path));
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > MaxStreamSize) {
      ::close(fd);
      throw EIvDictionaryError("The stream is too large for an MLD stream");
    }
  }
  ::close(fd);
  AttachStream(std::move(bytes));
  ReadHeader();
}

void TIvMLDFile::Open(const std::string& path) {
  LoadFile(path);
  nativeCodePage_ = languageCount_ > 0 ? Language(0).CodePage : 0;
  SeekLanguages();
}

void TIvMLDFile::ReadHeader() {
  pos_ = 0;
  need(HeaderSize);
  std::copy_n(reinterpret_cast<const std::uint8_t*>(data_.data()), HeaderSize, header_.begin());
  if (header_[0] != 'M' || header_[1] != 'L' || header_[2] != 'D')
    throw EIvDictionaryError("The stream is not a valid MLD stream");
  pos_ = HeaderSize;
  const int rawVersion = header_[3];
  if (rawVersion == 1) {
    header_[5] = header_[7];
    header_[7] = 0;
    std::fill(header_.begin() + 30, header_.begin() + 36, std::uint8_t{0});
  }
  version_ = rawVersion > 2 ? 3 : rawVersion;
  recordVersion_ = version_ == 0 ? 1 : version_;
  bigEndian_ = header_[4] == 0;
  eightBit_ = header_[5] != 0;
  contextKind_ = header_[6] <= 3 ? static_cast<MLDContextKind>(header_[6]) : MLDContextKind::None;
  languageCount_ = word(&header_[12], bigEndian_);
  languageOffset_ = dword(&header_[14], bigEndian_);
  translationCount_ = word(&header_[18], bigEndian_);
  translationOffset_ = dword(&header_[20], bigEndian_);
  localeCount_ = word(&header_[24], bigEndian_);
  localeOffset_ = dword(&header_[26], bigEndian_);
  headerRead_ = true;
}

void TIvMLDFile::need(std::size_t n) const {
  if (n > data_.size() - pos_) throw EIvDictionaryError(kReadError);
}

std::uint8_t TIvMLDFile::readByte() {
  need(1);
  return static_cast<std::uint8_t>(data_[pos_++]);
}

std::uint16_t TIvMLDFile::readWord() {
  need(2);
  const auto v = word(reinterpret_cast<const std::uint8_t*>(data_.data()) + pos_, bigEndian_);
  pos_ += 2;
  return v;
}

std::vector<char16_t> TIvMLDFile::readUnits(std::size_t count) {
  need(count * 2);
  std::vector<char16_t> units(count);
  for (std::size_t i = 0; i < count; ++i) units[i] = static_cast<char16_t>(readWord());
  return units;
}

std::string TIvMLDFile::readFixed(std::size_t count, int codePage) {
  if (eightBit_) {
    need(count);
    std::string bytes = data_.substr(pos_, count);
    pos_ += count;
    return codepage::toUtf8(bytes, textCodePage(codePage));
  }
  return codepage::utf16ToUtf8(readUnits(count), textCodePage(codePage));
}

std::string TIvMLDFile::readText(int codePage) { return readFixed(readWord(), codePage); }

void TIvMLDFile::skipText() {
  const std::size_t n = std::size_t{readWord()} * (eightBit_ ? 1 : 2);
  need(n);
  pos_ += n;
}

std::string TIvMLDFile::readChar(int codePage) {
  // One character in the own code page; a NUL or unconvertible character gives none.
  std::string c = trimNul(readFixed(1, codePage));
  return c;
}

void TIvMLDFile::seekTo(std::uint32_t offset, const char* error) {
  if (!headerRead_) ReadHeader();
  if (offset == 0 || offset > data_.size()) throw EIvDictionaryError(error);
  pos_ = offset;
}

void TIvMLDFile::SeekLanguages() { seekTo(languageOffset_, "Invalid language offset"); }
void TIvMLDFile::SeekTranslations() { seekTo(translationOffset_, "Invalid translation offset"); }
void TIvMLDFile::SeekLocales() {
  if (!headerRead_) ReadHeader();
  if (localeCount_ == 0) throw EIvDictionaryError("No custom locales");
  seekTo(localeOffset_, "Invalid locale offset");
}

void TIvMLDFile::beginRecord() {
  recordStart_ = pos_;
  recordSize_ = recordVersion_ >= 3 ? readWord() : 0;
}

void TIvMLDFile::endRecord() {
  if (recordVersion_ < 3) return;
  const std::size_t consumed = pos_ - recordStart_;
  if (recordSize_ > consumed) {
    need(recordSize_ - consumed);
    pos_ = recordStart_ + recordSize_;
  }
}

const TIvLanguage& TIvMLDFile::ReadLanguage() {
  TIvLanguage& l = language_;
  l = TIvLanguage();
  beginRecord();
  l.PrimaryId = readWord();
  if (recordVersion_ >= 2) {
    l.IsoLanguage = trimNul(readFixed(2, 0));
    if (l.PrimaryId == 0) l.IsoLanguage.clear();
  }
  l.DefaultSubId = readWord();
  if (recordVersion_ >= 2) {
    l.IsoCountry = trimNul(readFixed(2, 0));
    if (l.DefaultSubId == 0) l.IsoCountry.clear();
  }
  l.SubIds = parseSubIds(readText(0));
  if (recordVersion_ >= 2) {
    for (std::string& code : splitList(readText(0))) l.CountryCodes.push_back(std::move(code));
  }
  if (recordVersion_ >= 3) l.Charset = static_cast<std::uint8_t>(readWord() & 0xFF);
  l.setCodePage(readWord());
  l.LanguageFlags = readByte() & 3;
  l.EnglishName = readText(0);
  l.NativeName = readText(l.CodePage);
  l.FontName = readText(0);
  l.FontSize = readByte();
  endRecord();
  CompleteLanguage(l);
  return l;
}

void TIvMLDFile::CompleteLanguage(TIvLanguage& l) {
  if (l.PrimaryId < 0) l.PrimaryId = 0;
  if (l.PrimaryId == 0) {
    l.DefaultSubId = 0;
    l.SubIds.clear();
    l.LanguageFlags = 2;
  } else if (l.DefaultSubId <= 0) {
    l.DefaultSubId = l.SubIds.empty() ? 1 : l.SubIds.front();
  }
  if (l.PrimaryId != 0 && (l.IsoLanguage.empty() || l.IsoCountry.empty() ||
                           l.EnglishName.empty() || l.NativeName.empty())) {
    int sub = l.SubIds.empty() ? l.DefaultSubId : l.SubIds.front();
    if (sub == 0) {
      if (l.PrimaryId == 4 && l.CodePage == 936) sub = 2;
      else if (l.PrimaryId == 4 && l.CodePage == 950) sub = 1;
      else if (l.PrimaryId == 26 && l.CodePage == 1250) sub = 1;
      else if (l.PrimaryId == 26 && l.CodePage == 1251) sub = 3;
    }
    const codepage::SystemLocaleNames names =
        codepage::systemLocaleNames(makeLocaleId(makeLangId(l.PrimaryId, sub), 0));
    if (l.IsoLanguage.empty()) l.IsoLanguage = names.isoLanguage;
    if (l.IsoCountry.empty()) l.IsoCountry = names.isoCountry;
    if (l.EnglishName.empty())
      l.EnglishName = codepage::shapeEnglishName(names.englishLanguage, l.PrimaryId, l.CodePage);
    if (l.NativeName.empty()) l.NativeName = names.nativeLanguage;
  }
  if (l.CodePage == 0) {
    l.setCodePage(codepage::defaultCodePage(makeLangId(l.PrimaryId, l.DefaultSubId)));
    if (l.CodePage == 0) l.setCodePage(1252);
  }
  if (l.PrimaryId == 0) {
    l.EnglishName = "Native";
    l.NativeName = "Native";
  }
  if (l.CurrentSubId == 0) l.CurrentSubId = l.DefaultSubId;
  if (l.Charset == 0) l.Charset = codepage::charsetOf(l.CodePage);
}

const TIvLocale& TIvMLDFile::ReadLocale() {
  TIvLocale& c = locale_;
  c = TIvLocale();
  beginRecord();
  c.PrimaryId = readWord();
  if (recordVersion_ >= 2) c.IsoLanguage = trimNul(readFixed(2, 0));
  c.SubId = readWord();
  if (recordVersion_ >= 2) c.IsoCountry = trimNul(readFixed(2, 0));
  if (recordVersion_ >= 3) c.Charset = static_cast<std::uint8_t>(readWord() & 0xFF);
  c.CodePage = readWord();
  const int own = c.CodePage;
  c.Custom = readByte() != 0;
  c.EnglishLanguageName = readText(0);
  c.EnglishCountryName = readText(0);
  c.NativeLanguageName = readText(own);
  c.NativeCountryName = readText(own);
  c.AbbreviatedLanguageName = readText(0);
  c.LocalizedCountryName = readText(0);
  c.Measurement = readByte();
  c.CurrencySymbol = readText(own);
  c.PositiveCurrencyFormat = readByte();
  c.NegativeCurrencyFormat = readByte();
  c.CurrencyDecimals = readByte();
  c.ThousandSeparator = readChar(own);
  c.DecimalSeparator = readChar(own);
  c.DateSeparator = readChar(own);
  c.ShortDateFormat = readText(own);
  c.LongDateFormat = readText(own);
  c.TimeSeparator = readChar(own);
  c.TimeAMString = readText(own);
  c.TimePMString = readText(own);
  c.TimeLeadingZero = readByte() != 0;
  c.TimeFormat = readByte();
  c.TimeMarkerPosition = readByte();
  c.CalendarType = readByte();
  c.OptionalCalendar = readByte();
  c.FirstDayOfWeek = readByte();
  c.FirstWeekOfYear = readByte();
  for (auto* names : {&c.ShortMonthNames, &c.LongMonthNames, &c.ShortDayNames, &c.LongDayNames})
    for (std::string& name : *names) name = readText(own);
  endRecord();
  return c;
}

const TIvLanguage& TIvMLDFile::Language(int n) {
  if (!headerRead_) ReadHeader();
  if (n < 0 || n >= languageCount_) throw EIvDictionaryError("Out of language range");
  SeekLanguages();
  for (int i = 0; i < n; ++i) ReadLanguage();
  return ReadLanguage();
}

const TIvLocale& TIvMLDFile::Locale(int n) {
  SeekLocales();
  if (n < 0 || n >= localeCount_) throw EIvDictionaryError("Out of locale range");
  for (int i = 0; i < n; ++i) ReadLocale();
  return ReadLocale();
}

TIvTextSource TIvMLDFile::ReadTranslation(TIvTranslation& entry, int wanted, int currentCodePage,
                                          int fallback) {
  entry.NativeText = readText(0);
  const bool ctx1 = contextKind_ == MLDContextKind::Both || contextKind_ == MLDContextKind::Context1Only;
  const bool ctx2 = contextKind_ == MLDContextKind::Both || contextKind_ == MLDContextKind::Context2Only;
  entry.Context1 = ctx1 ? readText(0) : std::string();
  entry.Context2 = ctx2 ? readText(0) : std::string();
  std::string wantedText, fallbackText;
  for (int i = 1; i < languageCount_; ++i) {
    if (i == wanted) wantedText = readText(currentCodePage);
    else if (i == fallback) fallbackText = readText(currentCodePage);
    else skipText();
  }
  if (!wantedText.empty()) {
    entry.TranslatedText = std::move(wantedText);
    entry.TextSource = ivtsCurrent;
  } else if (!fallbackText.empty()) {
    entry.TranslatedText = std::move(fallbackText);
    entry.TextSource = ivtsFallback;
  } else {
    entry.TextSource = ivtsNone;
  }
  return entry.TextSource;
}

void TIvLanguage::setCodePage(int codePage) {
  CodePage = codePage;
  Charset = codepage::charsetOf(codePage);
}

}  // namespace vx::i18n
