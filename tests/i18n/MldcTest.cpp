// The sources of the dictionary file: the table and the language list, including the ones
// the program ships.
#include "i18n/MLDFile.h"
#include "tests/i18n/MLDTestData.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"
#include "tools/mldc/MldSource.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace vx::i18n;
using vx::mldc::formatLocale;
using vx::mldc::parseLanguages;
using vx::mldc::parseLocales;
using vx::mldc::parseTable;

namespace {

const char* kLangs =
    "[Language0]\nPrimaryId=0\nCodePage=1252\n"
    "[Language1]\nColumn=NOR\nPrimaryId=20\nDefaultSubId=1\nSubIds=1\nCodePage=1252\n"
    "EnglishName=Norwegian\nNativeName=Norsk\n"
    "[Language2]\nColumn=SWE\nPrimaryId=29\nDefaultSubId=1\nCodePage=1252\n";

std::string errorOf(const std::string& table, const std::string& langs = kLangs) {
  try {
    std::vector<MLDTranslationRow> rows;
    parseTable(table, "t.tsv", parseLanguages(langs, "l.ini"), rows);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(Mldc, ReadsTheTableWithEscapesCommentsAndColumnsInAnyOrder) {
  std::vector<MLDTranslationRow> rows;
  const auto kind = parseTable(
      "context1\tcontext2\tnative\tSWE\tNOR\n# a comment\n"
      "F\tb\t&Done\t&Klar\t&Ferdig\n"
      "\t\tLine\\none\\ttab\\\\\tRad\tLinje\\r\n",
      "t.tsv", parseLanguages(kLangs, "l.ini"), rows);
  EXPECT_EQ(kind, MLDContextKind::Both);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Texts, (std::vector<std::string>{"&Ferdig", "&Klar"}));  // NOR, SWE
  EXPECT_EQ(rows[1].NativeText, "Line\none\ttab\\");
  EXPECT_EQ(rows[1].Texts[0], "Linje\r");
  EXPECT_EQ(rows[1].Context1 + rows[1].Context2, "");
}

TEST(Mldc, ChoosesTheContextKindTheRowsNeed) {
  const auto kindOf = [](const std::string& body) {
    std::vector<MLDTranslationRow> rows;
    return parseTable("context1\tcontext2\tnative\tNOR\tSWE\n" + body, "t", parseLanguages(kLangs, "l"), rows);
  };
  EXPECT_EQ(kindOf("\t\ta\tb\tc\n"), MLDContextKind::None);
  EXPECT_EQ(kindOf("F\t\ta\tb\tc\n"), MLDContextKind::Context1Only);
  EXPECT_EQ(kindOf("\tx\ta\tb\tc\n"), MLDContextKind::Context2Only);
  EXPECT_EQ(kindOf("F\t\ta\tb\tc\n\tx\ta\tb\tc\n"), MLDContextKind::Both);
}

TEST(Mldc, RefusesBrokenTablesWithTheLine) {
  const std::string h = "context1\tcontext2\tnative\tNOR\tSWE\n";
  EXPECT_EQ(errorOf("native\tNOR\n"), "t.tsv:1: the header must start with context1, context2, native");
  EXPECT_EQ(errorOf("context1\tcontext2\tnative\tNOR\n"), "t.tsv:1: the header has no column SWE");
  EXPECT_EQ(errorOf("context1\tcontext2\tnative\tNOR\tSWE\tFIN\n"), "t.tsv:1: the header column FIN is no language");
  EXPECT_EQ(errorOf(h + "\t\ta\tb\n"), "t.tsv:2: expected 5 fields, found 4");
  EXPECT_EQ(errorOf(h + "\t\ta\\x\tb\tc\n"), "t.tsv:2: unknown escape \\x");
  EXPECT_EQ(errorOf(h + "\t\t\tb\tc\n"), "t.tsv:2: the native text is empty");
  EXPECT_EQ(errorOf(h + "F\tc\ta\tb\tc\nF\tc\ta\tB\tC\n"), "t.tsv:3: the native text and contexts repeat an earlier row");
  EXPECT_EQ(errorOf("# only a comment\n"), "t.tsv:1: the table has no header");
  // Texts the file's code page cannot hold would be written as "?".
  EXPECT_EQ(errorOf(h + "\t\ta\t\xD0\x9F\xD1\x80\tc\n"),
            "t.tsv:2: the text of column NOR cannot be written in code page 1252");
  EXPECT_EQ(errorOf(h + "\t\ta\xCF\xCF\tb\tc\n"), "t.tsv:2: the native text cannot be written in code page 1252");
  EXPECT_EQ(errorOf(h + "F\xE2\x82\xAC\x80\t\ta\tb\tc\n"), "t.tsv:2: context1 cannot be written in code page 1252");
  EXPECT_EQ(errorOf(h + "\t\t\xE2\x82\xAC 5\t\xC3\xB8\t\xC3\xA4\n"), "(no error)");  // euro sign, ø, ä
  EXPECT_EQ(errorOf(h, "[Language1]\n"), "l.ini:1: expected the section [Language0]");
  EXPECT_EQ(errorOf(h, "[Language0]\n[Language1]\nPrimaryId=9\n"), "l.ini:3: [Language1] has no Column");
  EXPECT_EQ(errorOf(h, "[Language0]\nCodePage=12x\n"), "l.ini:2: '12x' is not a number from 0 to 65535");
}

TEST(Mldc, TheShippedSourcesGiveTheLanguagesTheProgramReliesOn) {
  const std::string dir = VX_I18N_DATA_DIR;
  const auto langs = parseLanguages(vxtest::readAll(dir + "/vxdown.languages.ini"), "ini");
  MLDDocument doc;
  for (const auto& l : langs) doc.Languages.push_back(l.language);
  const auto kind = parseTable(vxtest::readAll(dir + "/vxdown.translations.tsv"), "tsv", langs, doc.Translations);
  MLDWriteOptions o;
  o.contextKind = kind;
  TIvMLDFile f;
  f.AttachStream(writeMLD(doc, o));
  f.ReadHeader();
  ASSERT_EQ(f.LanguageCount(), 5);
  const int primaries[] = {0, 20, 29, 6, 9};  // native, Norwegian, Swedish, Danish, English
  const char* columns[] = {"", "NOR", "SWE", "DAN", "ENG"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(f.Language(i).PrimaryId, primaries[i]) << i;
    EXPECT_EQ(f.Language(i).CodePage, 1252) << i;
    EXPECT_EQ(langs[static_cast<std::size_t>(i)].column, columns[i]);
  }
  EXPECT_GT(f.TranslationCount(), 0);
}

}  // namespace

namespace {

TEST(MldcTool, CompilesEveryVariantAndDumpsIt) {
  vxtest::TempDir dir;
  vxtest::writeAll(dir.file("t.tsv"), "context1\tcontext2\tnative\tNOR\tSWE\nF\tb\t&Done\t&Ferdig\t&Klar\n");
  vxtest::writeAll(dir.file("l.ini"), kLangs);
  const auto run = [&](std::vector<std::string> args) {
    return vxtest::runTool("mldc", args, {}, dir.path());
  };
  auto r = run({"compile", dir.file("t.tsv"), dir.file("l.ini"), "-o", dir.file("a.mld"),
                "--version", "2", "--big-endian", "--utf16"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = run({"dump", dir.file("a.mld")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("MLD version 2, big-endian, UTF-16 texts, context kind 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"&Done\" in \"F\"/\"b\"\n    1: \"&Ferdig\"\n    2: \"&Klar\""), std::string::npos) << r.out;

  r = run({"compile", dir.file("t.tsv"), dir.file("l.ini"), "-o", dir.file("b.mld"), "--version", "4"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--version takes 1, 2 or 3"), std::string::npos) << r.err;
  // A broken table writes nothing.
  vxtest::writeAll(dir.file("t.tsv"), "context1\tcontext2\tnative\tNOR\tSWE\nF\tb\t&Done\n");
  r = run({"compile", dir.file("t.tsv"), dir.file("l.ini"), "-o", dir.file("b.mld")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("t.tsv:2: expected 5 fields, found 3"), std::string::npos) << r.err;
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir.file("b.mld"))));
  r = run({"dump", dir.file("t.tsv")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("The stream is not a valid MLD stream"), std::string::npos) << r.err;
}

}  // namespace

namespace {

// Two locales with a value in every field, one in code page 1251.
const char* kLocales =
    "; custom locales\n"
    "[Locale0]\n"
    "PrimaryId=20\nSubId=1\nIsoLanguage=nb\nIsoCountry=NO\nCodePage=1252\nCharset=186\nCustom=yes\n"
    "EnglishLanguageName=Norwegian\nEnglishCountryName=Norway\nNativeLanguageName=norsk bokmål\n"
    "NativeCountryName=Norge\nAbbreviatedLanguageName=NOR\nLocalizedCountryName=Norge\n"
    "Measurement=1\nCurrencySymbol=kr\nPositiveCurrencyFormat=2\nNegativeCurrencyFormat=12\n"
    "CurrencyDecimals=2\nThousandSeparator=\" \"\nDecimalSeparator=\",\"\nDateSeparator=.\n"
    "ShortDateFormat=dd.MM.yyyy\nLongDateFormat=d. MMMM yyyy\nTimeSeparator=:\n"
    "TimeAMString=\" a.m.\"\nTimePMString=\"p.\\\"m\\\"\"\nTimeLeadingZero=1\nTimeFormat=1\n"
    "TimeMarkerPosition=1\nCalendarType=1\nOptionalCalendar=3\nFirstDayOfWeek=6\nFirstWeekOfYear=2\n"
    "ShortMonthNames=jan,feb,mar,apr,mai,jun,jul,aug,sep,okt,nov,des\n"
    "LongMonthNames=januar,februar,mars,april,mai,juni,juli,august,september,oktober,november,desember\n"
    "ShortDayNames=man.,tir.,ons.,tor.,fre.,lør.,søn.\n"
    "LongDayNames=mandag, tirsdag, onsdag, torsdag, fredag, lørdag, \"søndag, helg\"\n"
    "[Locale1]\n"
    "PrimaryId=25\nCodePage=1251\nSubId=1\nNativeLanguageName=русский\nThousandSeparator=\xC2\xA0\n"
    "LongMonthNames=январь,,,,,,,,,,,декабрь\n";

std::vector<TIvLocale> expectedLocales() {
  TIvLocale nb = vxtest::makeLocale();
  nb.Charset = 186;
  nb.Measurement = 1;
  nb.TimeAMString = " a.m.";
  nb.TimePMString = "p.\"m\"";
  nb.TimeMarkerPosition = 1;
  nb.OptionalCalendar = 3;
  nb.FirstDayOfWeek = 6;
  nb.LongDayNames[6] = "søndag, helg";
  nb.ShortDayNames = {"man.", "tir.", "ons.", "tor.", "fre.", "lør.", "søn."};
  TIvLocale ru;
  ru.PrimaryId = 25;
  ru.SubId = 1;
  ru.CodePage = 1251;
  ru.NativeLanguageName = "русский";
  ru.ThousandSeparator = "\xC2\xA0";
  ru.LongMonthNames.front() = "январь";
  ru.LongMonthNames.back() = "декабрь";
  return {nb, ru};
}

std::string localeError(const std::string& ini) {
  try {
    parseLocales(ini, "c.ini");
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(MldcLocales, ReadsEveryFieldAndWritesItBack) {
  const std::vector<TIvLocale> locales = parseLocales(kLocales, "c.ini");
  const std::vector<TIvLocale> expected = expectedLocales();
  ASSERT_EQ(locales.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(formatLocale(locales[i]), formatLocale(expected[i])) << i;
    EXPECT_TRUE(locales[i] == expected[i]) << i;
    // The lines of a dump read back as a section.
    EXPECT_TRUE(parseLocales("[Locale0]\n" + formatLocale(expected[i], "    "), "dump")[0] == expected[i]) << i;
  }
}

TEST(MldcLocales, RefusesBadInputWithTheLine) {
  const std::string h = "[Locale0]\nPrimaryId=9\n";
  EXPECT_EQ(localeError(h + "Currency=kr\n"), "c.ini:3: unknown key Currency");
  EXPECT_EQ(localeError(h + "CodePage=12x\n"), "c.ini:3: '12x' is not a number from 0 to 65535");
  EXPECT_EQ(localeError(h + "Measurement=256\n"), "c.ini:3: '256' is not a number from 0 to 255");
  EXPECT_EQ(localeError(h + "FirstWeekOfYear=-1\n"), "c.ini:3: '-1' is not a number from 0 to 255");
  EXPECT_EQ(localeError("[Locale0]\nPrimaryId=1024\n"), "c.ini:2: '1024' is not a number from 0 to 1023");
  EXPECT_EQ(localeError(h + "SubId=64\n"), "c.ini:3: '64' is not a number from 0 to 63");
  EXPECT_EQ(localeError(h + "Custom=maybe\n"), "c.ini:3: 'maybe' is not 0 or 1");
  EXPECT_EQ(localeError(h + "ShortDayNames=ma,ti,on,to,fr,lø\n"), "c.ini:3: ShortDayNames needs 7 names, found 6");
  EXPECT_EQ(localeError(h + "LongMonthNames=\n"), "c.ini:3: LongMonthNames needs 12 names, found 0");
  EXPECT_EQ(localeError(h + "DateSeparator=./\n"), "c.ini:3: DateSeparator must be one character");
  EXPECT_EQ(localeError(h + "IsoCountry=NOR\n"), "c.ini:3: IsoCountry has more than two characters");
  EXPECT_EQ(localeError(h + "TimeAMString=\"am\n"), "c.ini:3: a quoted text lacks its closing '\"'");
  EXPECT_EQ(localeError(h + "TimeAMString=\"am\" x\n"), "c.ini:3: text follows the closing '\"'");
  EXPECT_EQ(localeError(h + "SortId=1\n"), "c.ini:3: SortId is not stored in a dictionary file");
  EXPECT_EQ(localeError(h + "PrimaryId=9\n"), "c.ini:3: the key PrimaryId is given twice in [Locale0]");
  EXPECT_EQ(localeError(h + "NativeLanguageName=русский\n"),
            "c.ini:3: NativeLanguageName cannot be written in code page 1252");
  EXPECT_EQ(localeError("[Locale1]\n"), "c.ini:1: expected the section [Locale0]");
  EXPECT_EQ(localeError("PrimaryId=9\n"), "c.ini:1: a value outside a [LocaleN] section");
  EXPECT_EQ(localeError("[Locale0]\nSubId=1\n"), "c.ini:1: [Locale0] has no PrimaryId");
  EXPECT_EQ(localeError(h + "[Locale1]\nPrimaryId=9\n"), "c.ini:3: [Locale1] repeats the locale id 9 of [Locale0]");
  EXPECT_TRUE(parseLocales("; none\n", "c.ini").empty());
}

TEST(MldcTool, CompilesLocalesIntoEveryVariantAndDumpsEveryField) {
  vxtest::TempDir dir;
  vxtest::writeAll(dir.file("t.tsv"), "context1\tcontext2\tnative\tNOR\tSWE\nF\tb\t&Done\t&Ferdig\t&Klar\n");
  vxtest::writeAll(dir.file("l.ini"), kLangs);
  vxtest::writeAll(dir.file("c.ini"), kLocales);
  const std::vector<TIvLocale> expected = expectedLocales();
  for (const char* version : {"1", "2", "3"})
    for (const bool bigEndian : {false, true})
      for (const bool utf16 : {false, true}) {
        std::vector<std::string> args = {"compile", dir.file("t.tsv"), dir.file("l.ini"), "--locales",
                                         dir.file("c.ini"), "-o", dir.file("a.mld"), "--version", version};
        if (bigEndian) args.push_back("--big-endian");
        if (utf16) args.push_back("--utf16");
        const auto r = vxtest::runTool("mldc", args, {}, dir.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        TIvMLDFile f;
        f.LoadFile(dir.file("a.mld"));
        ASSERT_EQ(f.LocaleCount(), 2);
        for (int i = 0; i < 2; ++i) {
          // Version 1 records hold no ISO codes, versions 1 and 2 no charset.
          TIvLocale want = expected[static_cast<std::size_t>(i)];
          if (version[0] == '1') want.IsoLanguage = want.IsoCountry = "";
          if (version[0] != '3') want.Charset = 0;
          EXPECT_EQ(formatLocale(f.Locale(i)), formatLocale(want)) << version << bigEndian << utf16 << i;
        }
      }
  const auto r = vxtest::runTool("mldc", {"dump", dir.file("a.mld")}, {}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto at = r.out.find("locales 2\n  [0] id 1044 iso nb-NO \"Norwegian\" \"Norway\"\n");
  ASSERT_NE(at, std::string::npos) << r.out;
  const auto first = r.out.find('\n', r.out.find("[0] id", at)) + 1;
  const auto second = r.out.find("  [1] id 1049", first);
  ASSERT_NE(second, std::string::npos) << r.out;
  EXPECT_TRUE(parseLocales("[Locale0]\n" + r.out.substr(first, second - first), "dump")[0] == expected[0]) << r.out;

  vxtest::writeAll(dir.file("c.ini"), "[Locale0]\nPrimaryId=20\nLongDayNames=a,b\n");
  const auto bad = vxtest::runTool("mldc", {"compile", dir.file("t.tsv"), dir.file("l.ini"), "--locales",
                                            dir.file("c.ini"), "-o", dir.file("b.mld")}, {}, dir.path());
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("c.ini:3: LongDayNames needs 7 names, found 2"), std::string::npos) << bad.err;
}

}  // namespace

// Control characters in a message are shown escaped, and a NUL never ends it.
TEST(Mldc, MessagesShowControlCharactersEscaped) {
  const std::string h = "context1\tcontext2\tnative\tNOR\tSWE";
  EXPECT_EQ(errorOf(h + std::string("\tF\0N\x01\n", 6)), "t.tsv:1: the header column F\\x00N\\x01 is no language");
  EXPECT_EQ(errorOf(h + "\n", std::string(kLangs) + "CodePage=1\x7F\n"),
            "l.ini:17: '1\\x7F' is not a number from 0 to 65535");
}

// A damaged file is named with the offset where reading stopped; a text's control characters
// are dumped escaped.
TEST(MldcTool, NamesTheFileAndOffsetOfAFaultAndDumpsControlCharactersEscaped) {
  vxtest::TempDir dir;
  vxtest::writeAll(dir.file("t.tsv"), std::string("context1\tcontext2\tnative\tNOR\tSWE\n\t\ta\x01z\tb\x1B\tc\n"));
  vxtest::writeAll(dir.file("l.ini"), kLangs);
  auto r = vxtest::runTool("mldc", {"compile", dir.file("t.tsv"), dir.file("l.ini"), "-o", dir.file("a.mld")}, {},
                           dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = vxtest::runTool("mldc", {"dump", dir.file("a.mld")}, {}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"a\\x01z\"\n    1: \"b\\x1B\""), std::string::npos) << r.out;

  const std::string whole = vxtest::readAll(dir.file("a.mld"));
  vxtest::writeAll(dir.file("cut.mld"), whole.substr(0, whole.size() - 3));
  r = vxtest::runTool("mldc", {"dump", dir.file("cut.mld")}, {}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  const std::string prefix = "mldc: " + dir.file("cut.mld") + ": offset ";
  ASSERT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
  const std::size_t offset = std::stoul(r.err.substr(prefix.size()));
  EXPECT_GT(offset, 42u);
  EXPECT_LT(offset, whole.size());
  EXPECT_NE(r.err.find(": Stream read error"), std::string::npos) << r.err;
}
