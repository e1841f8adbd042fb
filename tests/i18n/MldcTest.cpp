// The sources of the dictionary file: the table and the language list, including the ones
// the program ships.
#include "i18n/MLDFile.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"
#include "tools/mldc/MldSource.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace vx::i18n;
using vx::mldc::parseLanguages;
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
