// The MLD reader over files from the writer: every variant reads back what was written, and
// damaged streams fail with their error texts.
#include "i18n/MLDFile.h"
#include "i18n/MLDWriter.h"
#include "platform/IoError.h"
#include "tests/i18n/MLDTestData.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace vx::i18n;

namespace {

std::vector<TIvLanguage> readLanguages(TIvMLDFile& f) {
  std::vector<TIvLanguage> out;
  f.SeekLanguages();
  for (int i = 0; i < f.LanguageCount(); ++i) out.push_back(f.ReadLanguage());
  return out;
}

std::vector<TIvTranslation> readTranslations(TIvMLDFile& f, int wanted, int cp, int fallback) {
  std::vector<TIvTranslation> out;
  f.SeekTranslations();
  for (int i = 0; i < f.TranslationCount(); ++i) {
    TIvTranslation t;
    f.ReadTranslation(t, wanted, cp, fallback);
    out.push_back(t);
  }
  return out;
}

TIvMLDFile attach(const std::string& bytes) {
  TIvMLDFile f;
  f.AttachStream(bytes);
  f.ReadHeader();
  return f;
}

void expectError(const std::function<void()>& f, const std::string& text) {
  try {
    f();
    ADD_FAILURE() << "no error, expected \"" << text << "\"";
  } catch (const EIvDictionaryError& e) {
    EXPECT_EQ(e.what(), text);
  }
}

// A header field patched in place (little-endian).
void patch32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void patch16(std::string& bytes, std::size_t at, unsigned v) {
  bytes[at] = static_cast<char>(v & 0xFF);
  bytes[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

class MLDVariantTest : public ::testing::TestWithParam<std::tuple<int, bool, bool>> {};

TEST_P(MLDVariantTest, ReadsBackWhatWasWritten) {
  const auto [version, bigEndian, utf16] = GetParam();
  MLDWriteOptions o;
  o.version = version;
  o.bigEndian = bigEndian;
  o.utf16 = utf16;
  const MLDDocument doc = vxtest::makeDocument();
  TIvMLDFile f = attach(writeMLD(doc, o));
  EXPECT_EQ(f.Version(), version);
  EXPECT_EQ(f.BigEndian(), bigEndian);
  EXPECT_EQ(f.EightBit(), !utf16);
  EXPECT_EQ(f.ContextKind(), MLDContextKind::Both);
  ASSERT_EQ(f.LanguageCount(), 4);
  ASSERT_EQ(f.TranslationCount(), 7);
  EXPECT_EQ(f.LocaleCount(), 1);

  const auto langs = readLanguages(f);
  EXPECT_EQ(langs[0].PrimaryId, 0);
  EXPECT_EQ(langs[0].EnglishName, "Native");
  EXPECT_EQ(langs[0].LanguageFlags, 2);
  EXPECT_EQ(langs[1].NativeName, "Norsk (bokmål)");
  EXPECT_EQ(langs[1].SubIds, std::vector<int>{1});
  EXPECT_EQ(langs[1].CurrentSubId, 1);
  EXPECT_EQ(langs[3].NativeName, "Русский");  // decoded from code page 1251
  EXPECT_EQ(langs[3].CodePage, 1251);
  EXPECT_EQ(langs[3].Charset, 204);
  EXPECT_EQ(langs[2].FontName, "Sans");
  EXPECT_EQ(langs[2].FontSize, 9);
  if (version >= 2) {
    EXPECT_EQ(langs[1].IsoLanguage, "nb");
    EXPECT_EQ(langs[1].IsoCountry, "NO");
    EXPECT_EQ(langs[1].CountryCodes, (std::vector<std::string>{"47", "0047"}));
  } else {
    EXPECT_TRUE(langs[1].CountryCodes.empty());
    // Version 1 carries no ISO names: they come from the system's data for the locale id.
    EXPECT_EQ(langs[3].IsoLanguage, "ru");
    EXPECT_EQ(langs[3].IsoCountry, "RU");
  }

  const auto ts = readTranslations(f, 3, langs[3].CodePage, 0);
  EXPECT_EQ(ts[0].NativeText, "&File");
  EXPECT_EQ(ts[0].Context1, "TFVXSysDn");
  EXPECT_EQ(ts[0].Context2, "mnuFile");
  EXPECT_EQ(ts[0].TranslatedText, "&Файл");
  EXPECT_EQ(ts[2].TranslatedText, "Завершено");
  EXPECT_EQ(ts[6].NativeText, "Tab\tand\r\nlines");

  const TIvLocale& c = f.Locale(0);
  TIvLocale expected = vxtest::makeLocale();
  if (version < 2) expected.IsoLanguage = expected.IsoCountry = "";
  EXPECT_EQ(c, expected);
}

INSTANTIATE_TEST_SUITE_P(AllVariants, MLDVariantTest,
                         ::testing::Combine(::testing::Values(1, 2, 3), ::testing::Bool(),
                                            ::testing::Bool()));

TEST(MLDFile, BigEndianUtf16ReadsLikeItsLittleEndian8BitTwin) {
  const MLDDocument doc = vxtest::makeDocument();
  MLDWriteOptions be;
  be.bigEndian = true;
  be.utf16 = true;
  MLDWriteOptions le;
  const std::string beBytes = writeMLD(doc, be), leBytes = writeMLD(doc, le);
  ASSERT_NE(beBytes, leBytes);
  EXPECT_EQ(beBytes[4], 0);
  TIvMLDFile a = attach(beBytes), b = attach(leBytes);
  EXPECT_EQ(readLanguages(a), readLanguages(b));
  for (int lang = 1; lang < 4; ++lang) {
    const int cp = lang == 3 ? 1251 : 1252;
    const auto ta = readTranslations(a, lang, cp, 1), tb = readTranslations(b, lang, cp, 1);
    ASSERT_EQ(ta.size(), tb.size());
    for (std::size_t i = 0; i < ta.size(); ++i) {
      EXPECT_EQ(ta[i].NativeText, tb[i].NativeText);
      EXPECT_EQ(ta[i].Context1 + "|" + ta[i].Context2, tb[i].Context1 + "|" + tb[i].Context2);
      EXPECT_EQ(ta[i].TranslatedText, tb[i].TranslatedText);
      EXPECT_EQ(ta[i].TextSource, tb[i].TextSource);
    }
  }
  EXPECT_EQ(a.Locale(0), b.Locale(0));
}

TEST(MLDFile, TextSourceFallsBackAndReportsMissingTexts) {
  TIvMLDFile f = attach(writeMLD(vxtest::makeDocument(), MLDWriteOptions()));
  // Swedish wanted, Norwegian as fallback.
  const auto ts = readTranslations(f, 2, 1252, 1);
  EXPECT_EQ(ts[1].TextSource, ivtsCurrent);
  EXPECT_EQ(ts[1].TranslatedText, "Klar");
  EXPECT_EQ(ts[3].TextSource, ivtsFallback);
  EXPECT_EQ(ts[3].TranslatedText, "fil (liten)");
  EXPECT_EQ(ts[4].TextSource, ivtsCurrent);
  EXPECT_EQ(ts[5].TextSource, ivtsNone);
  EXPECT_EQ(ts[5].TranslatedText, "");
  // Without a fallback the Norwegian-only text is missing too.
  EXPECT_EQ(readTranslations(f, 2, 1252, 0)[3].TextSource, ivtsNone);
}

TEST(MLDFile, ContextKindsStoreOnlyTheirFields) {
  const MLDDocument doc = vxtest::makeDocument();
  for (auto kind : {MLDContextKind::None, MLDContextKind::Context2Only, MLDContextKind::Context1Only}) {
    MLDWriteOptions o;
    o.contextKind = kind;
    TIvMLDFile f = attach(writeMLD(doc, o));
    EXPECT_EQ(f.ContextKind(), kind);
    const auto ts = readTranslations(f, 1, 1252, 0);
    EXPECT_EQ(ts[1].Context1, kind == MLDContextKind::Context1Only ? "TFVXSysDn" : "");
    EXPECT_EQ(ts[1].Context2, kind == MLDContextKind::Context2Only ? "btDone" : "");
    EXPECT_EQ(ts[1].TranslatedText, "Ferdig");
    EXPECT_EQ(ts[6].TranslatedText, "Fane\tog\r\nlinjer");  // the records stay in step
  }
}

TEST(MLDFile, SkipsTheExtraBytesOfNewerRecords) {
  MLDWriteOptions o;
  o.extraRecordBytes = 17;
  const MLDDocument doc = vxtest::makeDocument();
  TIvMLDFile padded = attach(writeMLD(doc, o)), plain = attach(writeMLD(doc, MLDWriteOptions()));
  EXPECT_EQ(readLanguages(padded), readLanguages(plain));
  EXPECT_EQ(padded.Language(3).NativeName, "Русский");
  EXPECT_EQ(padded.Locale(0), plain.Locale(0));
  // The extra bytes do not count in a version 2 file, which has no record sizes.
  o.version = 2;
  EXPECT_EQ(attach(writeMLD(doc, o)).Language(2).EnglishName, "Swedish");
}

TEST(MLDFile, Version1TakesTheEncodingFromByte7) {
  MLDWriteOptions o;
  o.version = 1;
  std::string bytes = writeMLD(vxtest::makeDocument(), o);
  ASSERT_EQ(bytes[5], 0);  // byte 5 would mean UTF-16
  ASSERT_EQ(bytes[7], 1);
  TIvMLDFile f = attach(bytes);
  EXPECT_TRUE(f.EightBit());
  EXPECT_EQ(f.Language(1).NativeName, "Norsk (bokmål)");
  // Version 0 does not move byte 7: the same file reads as UTF-16 and fails or differs.
  bytes[3] = 0;
  TIvMLDFile v0 = attach(bytes);
  EXPECT_FALSE(v0.EightBit());
}

TEST(MLDFile, Version2TakesTheCharsetFromTheCodePage) {
  MLDDocument doc = vxtest::makeDocument();
  doc.Languages[3].Charset = 77;  // not stored in version 2, replaced in version 3
  MLDWriteOptions o;
  o.version = 2;
  EXPECT_EQ(attach(writeMLD(doc, o)).Language(3).Charset, 204);
  o.version = 3;
  EXPECT_EQ(attach(writeMLD(doc, o)).Language(3).Charset, 204);
}

TEST(MLDFile, CompletesLanguageRecords) {
  MLDDocument doc = vxtest::makeDocument();
  doc.Languages[1].DefaultSubId = 0;
  doc.Languages[1].SubIds = {2, 1};
  doc.Languages[2].DefaultSubId = 0;
  doc.Languages[2].SubIds.clear();
  doc.Languages[3].setCodePage(0);
  doc.Languages[0].DefaultSubId = 5;
  doc.Languages[0].SubIds = {5};
  TIvMLDFile f = attach(writeMLD(doc, MLDWriteOptions()));
  const auto langs = readLanguages(f);
  EXPECT_EQ(langs[0].DefaultSubId, 0);
  EXPECT_TRUE(langs[0].SubIds.empty());
  EXPECT_EQ(langs[1].DefaultSubId, 2);  // the first sublanguage of the list
  EXPECT_EQ(langs[1].CurrentSubId, 2);
  EXPECT_EQ(langs[2].DefaultSubId, 1);
  EXPECT_EQ(langs[3].CodePage, 1251);  // the default code page of Russian
}

TEST(MLDFile, ParsesSublanguageLists) {
  EXPECT_EQ(parseSubIds("1,2"), (std::vector<int>{1, 2}));
  EXPECT_EQ(parseSubIds(""), std::vector<int>{});
  EXPECT_EQ(parseSubIds("3,"), std::vector<int>{3});
  EXPECT_EQ(parseSubIds("0,-4,7"), std::vector<int>{7});
  expectError([] { parseSubIds("1,,2"); }, "'' is not a valid integer value");
  expectError([] { parseSubIds("1,x"); }, "'x' is not a valid integer value");
  expectError([] { parseSubIds("99999999999"); }, "'99999999999' is not a valid integer value");
}

TEST(MLDFile, RefusesStreamsThatAreNoMLD) {
  const std::string good = writeMLD(vxtest::makeDocument(), MLDWriteOptions());
  std::string bad = good;
  bad[2] = 'd';  // compared case-sensitively
  expectError([&] { attach(bad); }, "The stream is not a valid MLD stream");
  expectError([] { attach(""); }, "Stream read error");
  expectError([&] { attach(good.substr(0, 41)); }, "Stream read error");
}

TEST(MLDFile, ReportsBadOffsets) {
  const std::string good = writeMLD(vxtest::makeDocument(), MLDWriteOptions());
  std::string bytes = good;
  patch32(bytes, 14, 0);
  expectError([&] { attach(bytes).SeekLanguages(); }, "Invalid language offset");
  bytes = good;
  patch32(bytes, 20, 0);
  expectError([&] { attach(bytes).SeekTranslations(); }, "Invalid translation offset");
  bytes = good;
  patch32(bytes, 26, 0);
  expectError([&] { attach(bytes).Locale(0); }, "Invalid locale offset");
  bytes = good;
  patch32(bytes, 14, 0xFFFFFFF0u);
  expectError([&] { attach(bytes).Language(0); }, "Invalid language offset");
  patch16(bytes, 24, 0);
  expectError([&] { attach(bytes).SeekLocales(); }, "No custom locales");
  expectError([&] { attach(good).Language(4); }, "Out of language range");
  expectError([&] { attach(good).Locale(1); }, "Out of locale range");
}

TEST(MLDFile, CountsBeyondTheStreamFailWithoutAllocating) {
  std::string bytes = writeMLD(vxtest::makeDocument(), MLDWriteOptions());
  patch16(bytes, 12, 0xFFFF);
  patch16(bytes, 18, 0xFFFF);
  TIvMLDFile f = attach(bytes);
  expectError([&] { readLanguages(f); }, "Stream read error");
  expectError([&] { readTranslations(f, 1, 1252, 0); }, "Stream read error");
  // A record size that reaches past the end is a read error too, not a jump.
  MLDWriteOptions o;
  std::string sized = writeMLD(vxtest::makeDocument(), o);
  patch16(sized, 42, 0xFFFF);
  expectError([&] { attach(sized).Language(0); }, "Stream read error");
}

TEST(MLDFile, EveryTruncationFailsWithAReadError) {
  for (bool utf16 : {false, true}) {
    MLDWriteOptions o;
    o.utf16 = utf16;
    const std::string good = writeMLD(vxtest::makeDocument(), o);
    for (std::size_t n = TIvMLDFile::HeaderSize; n < good.size(); ++n) {
      TIvMLDFile f = attach(good.substr(0, n));
      try {
        readLanguages(f);
        readTranslations(f, 1, 1252, 2);
        f.Locale(0);
        ADD_FAILURE() << "a stream cut at " << n << " of " << good.size() << " read completely";
      } catch (const EIvDictionaryError& e) {
        ASSERT_STREQ(e.what(), "Stream read error") << "cut at " << n;
      }
    }
  }
}

TEST(MLDFile, Utf16CharactersTheCodePageLacksBecomeItsDefaultCharacter) {
  MLDDocument doc = vxtest::makeDocument();
  doc.Translations[0].Texts[0] = "Fil \xE2\x98\x83";  // a snowman, not in 1252
  MLDWriteOptions o;
  o.utf16 = true;
  TIvMLDFile f = attach(writeMLD(doc, o));
  EXPECT_EQ(readTranslations(f, 1, 1252, 0)[0].TranslatedText, "Fil ?");
}

TEST(MLDFile, DecodesMultiByteCodePages) {
  MLDDocument doc = vxtest::makeDocument();
  doc.Languages[3] = vxtest::makeLanguage(17, 1, "ja", "JP", 932, "Japanese", "日本語");
  doc.Translations[0].Texts[2] = "ファイル(&F)";
  for (bool utf16 : {false, true}) {
    MLDWriteOptions o;
    o.utf16 = utf16;
    const std::string bytes = writeMLD(doc, o);
    if (!utf16) {
      EXPECT_NE(bytes.find("\x93\xfa\x96\x7b\x8c\xea"), std::string::npos);  // Shift JIS
    }
    TIvMLDFile f = attach(bytes);
    EXPECT_EQ(f.Language(3).NativeName, "日本語");
    EXPECT_EQ(f.Language(3).Charset, 128);
    EXPECT_EQ(readTranslations(f, 3, 932, 0)[0].TranslatedText, "ファイル(&F)");
  }
}

TEST(MLDFile, OpensFilesAndReportsMissingOnes) {
  vxtest::TempDir dir;
  vxtest::writeAll(dir.file("a.mld"), writeMLD(vxtest::makeDocument(), MLDWriteOptions()));
  TIvMLDFile f;
  f.Open(dir.file("a.mld"));
  EXPECT_EQ(f.NativeCodePage(), 1252);
  EXPECT_EQ(f.ReadLanguage().PrimaryId, 0);  // positioned at the languages
  TIvMLDFile missing;
  try {
    missing.Open(dir.file("none.mld"));
    ADD_FAILURE() << "opened a missing file";
  } catch (const vx::IoError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
}

}  // namespace
