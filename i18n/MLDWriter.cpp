#include "i18n/MLDWriter.h"

#include "i18n/CodePages.h"
#include "i18n/MLDFile.h"

namespace vx::i18n {

namespace {

class Out {
 public:
  explicit Out(const MLDWriteOptions& o) : o_(o) {}

  std::string bytes;

  void byte(unsigned v) { bytes.push_back(static_cast<char>(v & 0xFF)); }
  void word(unsigned v) {
    if (v > 0xFFFF) throw EIvDictionaryError("A number does not fit into an MLD word");
    if (o_.bigEndian) { byte(v >> 8); byte(v); } else { byte(v); byte(v >> 8); }
  }
  void dwordAt(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      const int shift = o_.bigEndian ? 24 - 8 * i : 8 * i;
      bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> shift) & 0xFF);
    }
  }
  void wordAt(std::size_t at, unsigned v) {
    if (v > 0xFFFF) throw EIvDictionaryError("Too many records for an MLD stream");
    const auto hi = static_cast<char>((v >> 8) & 0xFF), lo = static_cast<char>(v & 0xFF);
    bytes[at] = o_.bigEndian ? hi : lo;
    bytes[at + 1] = o_.bigEndian ? lo : hi;
  }
  int cp(int codePage) const { return codePage == 0 ? o_.systemCodePage : codePage; }

  // The characters of a UTF-8 text as the file stores them.
  void chars(const std::string& utf8, int codePage, std::size_t fixed, bool counted) {
    if (!o_.utf16) {
      std::string b = codepage::fromUtf8(utf8, cp(codePage));
      if (!counted) b.resize(fixed, '\0');
      if (b.size() > 0xFFFF) throw EIvDictionaryError("A text is too long for an MLD stream");
      if (counted) word(static_cast<unsigned>(b.size()));
      bytes += b;
      return;
    }
    // Through the code page, as the reader's texts go.
    std::u16string u = codepage::utf8ToUtf16(codepage::toUtf8(codepage::fromUtf8(utf8, cp(codePage)), cp(codePage)));
    if (!counted) u.resize(fixed, u'\0');
    if (u.size() > 0xFFFF) throw EIvDictionaryError("A text is too long for an MLD stream");
    if (counted) word(static_cast<unsigned>(u.size()));
    for (char16_t c : u) word(c);
  }
  void text(const std::string& utf8, int codePage) { chars(utf8, codePage, 0, true); }
  void fixed(const std::string& utf8, std::size_t n, int codePage) { chars(utf8, codePage, n, false); }

  std::size_t beginRecord() {
    const std::size_t at = bytes.size();
    if (o_.version >= 3) word(0);
    return at;
  }
  void endRecord(std::size_t at) {
    if (o_.version < 3) return;
    bytes.append(o_.extraRecordBytes, '\0');
    if (bytes.size() - at > 0xFFFF) throw EIvDictionaryError("A record is too long for an MLD stream");
    wordAt(at, static_cast<unsigned>(bytes.size() - at));
  }

  const MLDWriteOptions& o_;
};

std::string join(const std::vector<std::string>& items) {
  std::string s;
  for (std::size_t i = 0; i < items.size(); ++i) s += (i ? "," : "") + items[i];
  return s;
}

}  // namespace

std::string writeMLD(const MLDDocument& doc, const MLDWriteOptions& o) {
  if (o.version < 0 || o.version > 255) throw EIvDictionaryError("Unknown MLD version");
  Out out(o);
  const int v = o.version == 0 ? 1 : (o.version > 2 ? 3 : o.version);
  out.bytes.assign(TIvMLDFile::HeaderSize, '\0');
  out.bytes[0] = 'M';
  out.bytes[1] = 'L';
  out.bytes[2] = 'D';
  out.bytes[3] = static_cast<char>(o.version);
  out.bytes[4] = o.bigEndian ? 0 : 1;
  out.bytes[o.version == 1 ? 7 : 5] = o.utf16 ? 0 : 1;
  out.bytes[6] = static_cast<char>(o.contextKind);

  out.wordAt(12, static_cast<unsigned>(doc.Languages.size()));
  out.dwordAt(14, static_cast<std::uint32_t>(out.bytes.size()));
  for (const TIvLanguage& l : doc.Languages) {
    const std::size_t at = out.beginRecord();
    out.word(static_cast<unsigned>(l.PrimaryId));
    if (v >= 2) out.fixed(l.IsoLanguage, 2, 0);
    out.word(static_cast<unsigned>(l.DefaultSubId));
    if (v >= 2) out.fixed(l.IsoCountry, 2, 0);
    std::vector<std::string> subs;
    for (int id : l.SubIds) subs.push_back(std::to_string(id));
    out.text(join(subs), 0);
    if (v >= 2) out.text(join(l.CountryCodes), 0);
    if (v >= 3) out.word(l.Charset);
    out.word(static_cast<unsigned>(l.CodePage));
    out.byte(l.LanguageFlags);
    out.text(l.EnglishName, 0);
    out.text(l.NativeName, l.CodePage);
    out.text(l.FontName, 0);
    out.byte(static_cast<unsigned>(l.FontSize));
    out.endRecord(at);
  }

  const bool ctx1 = o.contextKind == MLDContextKind::Both || o.contextKind == MLDContextKind::Context1Only;
  const bool ctx2 = o.contextKind == MLDContextKind::Both || o.contextKind == MLDContextKind::Context2Only;
  out.wordAt(18, static_cast<unsigned>(doc.Translations.size()));
  out.dwordAt(20, static_cast<std::uint32_t>(out.bytes.size()));
  const std::size_t others = doc.Languages.empty() ? 0 : doc.Languages.size() - 1;
  for (const MLDTranslationRow& row : doc.Translations) {
    if (row.Texts.size() > others)
      throw EIvDictionaryError("A translation has more texts than the dictionary has languages");
    out.text(row.NativeText, 0);
    if (ctx1) out.text(row.Context1, 0);
    if (ctx2) out.text(row.Context2, 0);
    for (std::size_t i = 0; i < others; ++i)
      out.text(i < row.Texts.size() ? row.Texts[i] : std::string(), doc.Languages[i + 1].CodePage);
  }

  out.wordAt(24, static_cast<unsigned>(doc.Locales.size()));
  if (!doc.Locales.empty()) out.dwordAt(26, static_cast<std::uint32_t>(out.bytes.size()));
  for (const TIvLocale& c : doc.Locales) {
    const int own = c.CodePage;
    const std::size_t at = out.beginRecord();
    out.word(static_cast<unsigned>(c.PrimaryId));
    if (v >= 2) out.fixed(c.IsoLanguage, 2, 0);
    out.word(static_cast<unsigned>(c.SubId));
    if (v >= 2) out.fixed(c.IsoCountry, 2, 0);
    if (v >= 3) out.word(c.Charset);
    out.word(static_cast<unsigned>(c.CodePage));
    out.byte(c.Custom ? 1 : 0);
    out.text(c.EnglishLanguageName, 0);
    out.text(c.EnglishCountryName, 0);
    out.text(c.NativeLanguageName, own);
    out.text(c.NativeCountryName, own);
    out.text(c.AbbreviatedLanguageName, 0);
    out.text(c.LocalizedCountryName, 0);
    out.byte(c.Measurement);
    out.text(c.CurrencySymbol, own);
    out.byte(c.PositiveCurrencyFormat);
    out.byte(c.NegativeCurrencyFormat);
    out.byte(c.CurrencyDecimals);
    out.fixed(c.ThousandSeparator, 1, own);
    out.fixed(c.DecimalSeparator, 1, own);
    out.fixed(c.DateSeparator, 1, own);
    out.text(c.ShortDateFormat, own);
    out.text(c.LongDateFormat, own);
    out.fixed(c.TimeSeparator, 1, own);
    out.text(c.TimeAMString, own);
    out.text(c.TimePMString, own);
    out.byte(c.TimeLeadingZero ? 1 : 0);
    out.byte(c.TimeFormat);
    out.byte(c.TimeMarkerPosition);
    out.byte(c.CalendarType);
    out.byte(c.OptionalCalendar);
    out.byte(c.FirstDayOfWeek);
    out.byte(c.FirstWeekOfYear);
    for (const auto* names : {&c.ShortMonthNames, &c.LongMonthNames, &c.ShortDayNames, &c.LongDayNames}) {
      const std::size_t n = names == &c.ShortDayNames || names == &c.LongDayNames ? 7 : 12;
      for (std::size_t i = 0; i < n; ++i) out.text(i < names->size() ? (*names)[i] : std::string(), own);
    }
    out.endRecord(at);
  }
  return out.bytes;
}

}  // namespace vx::i18n
