// The binary dictionary over a file written for the test: loading the current language,
// both lookups, the language index and where the file is found.
#include "i18n/Dictionary.h"
#include "i18n/EmbeddedDictionary.h"
#include "i18n/FormData.h"
#include "i18n/MLDWriter.h"
#include "platform/IoError.h"
#include "tests/i18n/MLDTestData.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vx::i18n;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// Switches the current folder for one test.
class CurrentDir {
 public:
  explicit CurrentDir(const std::string& path) : previous_(QDir::currentPath()) {
    QDir::setCurrent(q(path));
  }
  ~CurrentDir() { QDir::setCurrent(previous_); }

 private:
  QString previous_;
};

class DictionaryTest : public ::testing::Test {
 protected:
  void write(const MLDWriteOptions& o = MLDWriteOptions()) {
    vxtest::writeAll(dir.file("test.mld"), writeMLD(vxtest::makeDocument(), o));
    dict.SetFileName(q(dir.file("test.mld")));
  }
  QString tr(const char* text) {
    QString out = QStringLiteral("(unchanged)");
    dict.Translate(QString::fromUtf8(text), out);
    return out;
  }
  QString trIn(const char* text, const char* c1, const char* c2) {
    QString out = QStringLiteral("(unchanged)");
    dict.TranslateInContext(QString::fromUtf8(text), QString::fromUtf8(c1), QString::fromUtf8(c2), out);
    return out;
  }

  vxtest::TempDir dir;
  TIvBinaryDictionary dict;
};

TEST_F(DictionaryTest, LoadsTheCurrentLanguageAndLooksUpWithAndWithoutContext) {
  write();
  dict.SetLanguage(1);
  dict.Open();
  ASSERT_TRUE(dict.Opened());
  EXPECT_TRUE(dict.ContextMode());
  EXPECT_EQ(dict.GetLanguageCount(), 4);
  EXPECT_EQ(dict.GetTranslationCount(), 7);  // the file's records
  EXPECT_EQ(dict.TIvCustomDictionary::GetTranslationCount(), 5);  // Norwegian has five texts
  EXPECT_EQ(dict.CurrentLanguage().EnglishName, "Norwegian");

  EXPECT_EQ(trIn("Done", "TFVXSysDn", "btDone"), "Ferdig");
  EXPECT_EQ(trIn("Done", "TVXImport", "cmdDone"), "Fullført");
  EXPECT_EQ(trIn("Done", "TVXImport", "btDone"), "(unchanged)");
  const QString plain = tr("Done");
  EXPECT_TRUE(plain == "Ferdig" || plain == "Fullført") << plain.toStdString();
  // Case-sensitive: "File" is not "file", and "&File" is only itself.
  EXPECT_EQ(tr("file"), "fil (liten)");
  EXPECT_EQ(tr("File"), "(unchanged)");
  EXPECT_EQ(tr("&File"), "&Fil");
  EXPECT_EQ(tr("Only Swedish"), "(unchanged)");
  EXPECT_EQ(tr("Tab\tand\r\nlines"), "Fane\tog\r\nlinjer");
  // A context-free text is found by a context lookup only with empty contexts.
  EXPECT_EQ(trIn("file", "", ""), "fil (liten)");
}

TEST_F(DictionaryTest, SortedByteWiseSoThatPrefixesAndHighCharactersAreFound) {
  MLDDocument doc = vxtest::makeDocument();
  doc.Translations.clear();
  const char* natives[] = {"Ab", "Abc", "Ab\xC3\xA6", "A", "B", "a", "Ab ", "Z"};
  for (const char* n : natives) doc.Translations.push_back({n, "F", "c", {std::string("t:") + n}});
  for (auto kind : {MLDContextKind::None, MLDContextKind::Both}) {
    MLDWriteOptions o;
    o.contextKind = kind;
    vxtest::writeAll(dir.file("sort.mld"), writeMLD(doc, o));
    TIvBinaryDictionary d;
    d.SetFileName(q(dir.file("sort.mld")));
    d.SetLanguage(1);
    d.Open();
    for (const char* n : natives) {
      QString out;
      ASSERT_TRUE(d.Translate(QString::fromUtf8(n), out)) << n;
      EXPECT_EQ(out, QString::fromUtf8((std::string("t:") + n).c_str()));
      out.clear();
      ASSERT_TRUE(d.TranslateInContext(QString::fromUtf8(n), "F", "c", out)) << n;
      EXPECT_EQ(out, QString::fromUtf8((std::string("t:") + n).c_str()));
    }
  }
}

TEST_F(DictionaryTest, TheNativeLanguageLoadsNothing) {
  write();
  dict.SetLanguage(0);
  dict.Open();
  ASSERT_TRUE(dict.Opened());
  EXPECT_EQ(dict.TIvCustomDictionary::GetTranslationCount(), 0);
  EXPECT_EQ(tr("Done"), "(unchanged)");
}

TEST_F(DictionaryTest, LanguageChangesReloadAndAreAnnouncedOnce) {
  write(MLDWriteOptions{3, true, true, MLDContextKind::Both, 1252, 0});
  dict.SetCheckLevel(TIvDictionary::ivclNone);  // Russian (1251) on any system
  dict.SetLanguage(1);
  dict.Open();
  QSignalSpy spy(&dict, &TIvDictionary::LanguageChanged);
  dict.SetLanguage(3);
  EXPECT_EQ(spy.count(), 1);
  EXPECT_EQ(trIn("&File", "TFVXSysDn", "mnuFile"), "&Файл");
  dict.SetLanguage(3);
  EXPECT_EQ(spy.count(), 1);
  dict.SetLanguage(2);
  EXPECT_EQ(tr("Only Swedish"), "Bara svenska");
  EXPECT_EQ(spy.count(), 2);
}

TEST_F(DictionaryTest, ALanguageIndexOutOfRangeIsRefusedAndChangesNothing) {
  write();
  dict.SetLanguage(7);  // closed: only stored, and refused when the dictionary opens
  EXPECT_EQ(dict.Language(), 7);
  try {
    dict.Open();
    ADD_FAILURE() << "opened with language 7 of 4";
  } catch (const EIvDictionaryError& e) {
    EXPECT_STREQ(e.what(), "Language index 7 is out of range");
  }
  EXPECT_FALSE(dict.Opened());
  dict.SetLanguage(2);
  dict.Open();
  for (int bad : {4, -3}) {
    try {
      dict.SetLanguage(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const EIvDictionaryError& e) {
      EXPECT_EQ(std::string(e.what()), "Language index " + std::to_string(bad) + " is out of range");
    }
  }
  EXPECT_EQ(dict.Language(), 2);
  EXPECT_EQ(dict.CurrentIndex(), 2);
  EXPECT_EQ(tr("Done"), "Klar");
}

TEST_F(DictionaryTest, AFailedOpenLeavesTheDictionaryClosed) {
  std::string bytes = writeMLD(vxtest::makeDocument(), MLDWriteOptions());
  bytes.resize(bytes.size() - 600);  // the translations end early
  vxtest::writeAll(dir.file("short.mld"), bytes);
  dict.SetFileName(q(dir.file("short.mld")));
  dict.SetLanguage(1);
  EXPECT_THROW(dict.Open(), EIvDictionaryError);
  EXPECT_FALSE(dict.Opened());
  EXPECT_EQ(dict.TIvCustomDictionary::GetTranslationCount(), 0);
}

TEST_F(DictionaryTest, ListsLanguagesAndLocalesInFileOrder) {
  write();
  std::vector<TIvLanguage> langs;
  dict.GetLanguages(langs);
  ASSERT_EQ(langs.size(), 4u);
  EXPECT_EQ(langs[2].NativeName, "Svenska");
  TIvLanguage one;
  dict.GetLanguage(3, one);
  EXPECT_EQ(one, langs[3]);
  std::vector<TIvLocale> locales;
  dict.GetLocales(locales);
  ASSERT_EQ(locales.size(), 1u);
  EXPECT_EQ(locales[0], vxtest::makeLocale());
  EXPECT_EQ(locales[0].localeId(), 0x0414);
  // A file without locales leaves the list as it is.
  MLDDocument doc = vxtest::makeDocument();
  doc.Locales.clear();
  vxtest::writeAll(dir.file("test.mld"), writeMLD(doc, MLDWriteOptions()));
  dict.GetLocales(locales);
  EXPECT_EQ(locales.size(), 1u);
  EXPECT_EQ(dict.GetLocaleCount(), 0);
}

TEST_F(DictionaryTest, MissingFileAndMissingNameFailClearly) {
  EXPECT_FALSE(dict.IsDataAvailable());
  try {
    dict.GetLanguageCount();
    ADD_FAILURE() << "no error without a FileName";
  } catch (const EIvDictionaryError& e) {
    EXPECT_STREQ(e.what(), "No FileName property set");
  }
  dict.SetFileName(q(dir.file("absent.mld")));
  EXPECT_FALSE(dict.IsDataAvailable());
  dict.Open();  // no data: stays closed, the forms stay untranslated
  EXPECT_FALSE(dict.Opened());
  try {
    dict.GetLanguageCount();
    ADD_FAILURE() << "no error for a missing file";
  } catch (const vx::IoError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  dict.SetStorage(TIvCustomFileDictionary::ivsEmbedded);
  EXPECT_TRUE(dict.IsDataAvailable());
}

TEST_F(DictionaryTest, FindsTheFileInTheCurrentFolderThenBesideTheExecutable) {
  const std::string name = "vx-dictionary-test-" + std::to_string(QCoreApplication::applicationPid()) + ".mld";
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(q(name));
  vxtest::writeAll(beside.toStdString(), writeMLD(vxtest::makeDocument(), MLDWriteOptions()));
  CurrentDir cd(dir.path());
  dict.SetFileName(q(name));
  EXPECT_EQ(dict.ResolveFileName(q(name)), beside);
  EXPECT_TRUE(dict.IsDataAvailable());
  EXPECT_EQ(dict.GetLanguageCount(), 4);
  // A file of that name in the current folder comes first.
  MLDDocument small = vxtest::makeDocument();
  small.Languages.resize(2);
  for (auto& row : small.Translations) row.Texts.resize(1);
  vxtest::writeAll(dir.file(name), writeMLD(small, MLDWriteOptions()));
  EXPECT_EQ(dict.ResolveFileName(q(name)), q(dir.file(name)));
  // A name with a folder is not looked for beside the executable.
  EXPECT_EQ(dict.ResolveFileName(q("sub/" + name)), q("sub/" + name));
  // Other storages use the name as it is.
  dict.SetStorage(TIvCustomFileDictionary::ivsResource);
  EXPECT_EQ(dict.ResolveFileName(q(name)), q(name));
  QFile::remove(beside);
}

TEST_F(DictionaryTest, ThePropertiesArePublished) {
  dict.setProperty("DictionaryName", "Dictionary1");
  dict.setProperty("FileName", "vxdown.mld");
  dict.setProperty("Storage", QVariant::fromValue(TIvCustomFileDictionary::ivsResource));
  dict.setProperty("Language", 3);
  EXPECT_EQ(dict.DictionaryName(), "Dictionary1");
  EXPECT_EQ(dict.FileName(), "vxdown.mld");
  EXPECT_EQ(dict.Storage(), TIvCustomFileDictionary::ivsResource);
  EXPECT_EQ(dict.Language(), 3);
  EXPECT_EQ(TIvBinaryDictionary().Language(), -1);
}

// A dictionary whose embedded data is the stored form it is given, not a resource of the program.
class FormDataDictionary : public TIvBinaryDictionary {
 public:
  FormDataDictionary(QObject* owner, std::string form) : TIvBinaryDictionary(owner), form_(std::move(form)) {}
  void ReadLanguagesData(std::string_view) override { TIvBinaryDictionary::ReadLanguagesData(form_); }
  void ReadTranslationsData(std::string_view) override { TIvBinaryDictionary::ReadTranslationsData(form_); }
  void ReadLocalesData(std::string_view) override { TIvBinaryDictionary::ReadLocalesData(form_); }

 private:
  std::string form_;
};

class DictionaryFallback : public ::testing::TestWithParam<TIvCustomFileDictionary::TIvStorage> {};

INSTANTIATE_TEST_SUITE_P(Storages, DictionaryFallback,
                         ::testing::Values(TIvCustomFileDictionary::ivsFile, TIvCustomFileDictionary::ivsEmbedded),
                         [](const auto& p) { return p.param == TIvCustomFileDictionary::ivsFile ? "File" : "Embedded"; });

// A text the chosen language lacks is taken from the dictionary's record for the whole of its
// primary language, when the chosen record is one for some of its sublanguages; from no other.
TEST_P(DictionaryFallback, ATextMissingInASublanguageComesFromItsWholeLanguage) {
  MLDDocument doc = vxtest::makeDocument();
  doc.Languages.resize(1);
  doc.Languages.push_back(vxtest::makeLanguage(9, 1, "en", "US", 1252, "English (US)", "English (US)"));
  doc.Languages.push_back(vxtest::makeLanguage(9, 0, "en", "", 1252, "English", "English"));
  doc.Languages.back().SubIds.clear();  // the whole language
  doc.Languages.push_back(vxtest::makeLanguage(9, 2, "en", "GB", 1252, "English (UK)", "English (UK)"));
  doc.Languages.push_back(vxtest::makeLanguage(29, 1, "sv", "SE", 1252, "Swedish", "Svenska"));  // no whole Swedish
  //                          US             English     UK             Swedish
  doc.Translations = {{"Lift", "", "", {"us:Elevator", "en:Lift", "", "sv:Hiss"}},
                      {"Truck", "", "", {"", "en:Lorry", "uk:Lorry", ""}},
                      {"Biscuit", "", "", {"us:Cookie", "", "", ""}}};
  doc.Locales.clear();
  vxtest::TempDir dir;
  vxtest::writeAll(dir.file("fallback.mld"), writeMLD(doc, MLDWriteOptions()));
  QObject form;
  form.setProperty("VXClassName", "TFVXSysDn");
  StoredForm stored{"TFVXSysDn", "FVXSysDn", {}};
  stored.components.push_back(embeddedDictionaryComponent("TIvBinaryDictionary", "Dictionary1",
                                                          storeEmbeddedDictionary(dir.file("fallback.mld"))));
  FormDataDictionary dict(&form, writeStoredForm(stored));
  dict.setObjectName("Dictionary1");
  dict.SetStorage(GetParam());
  dict.SetFileName(q(dir.file("fallback.mld")));
  dict.SetCheckLevel(TIvDictionary::ivclNone);

  const struct {
    int language;
    const char* text;
    const char* expected;  // nullptr: no translation
  } cases[] = {
      {1, "Lift", "us:Elevator"}, {1, "Truck", "en:Lorry"},  {1, "Biscuit", "us:Cookie"},
      {3, "Lift", "en:Lift"},     {3, "Truck", "uk:Lorry"},  {3, "Biscuit", nullptr},  // not from US
      {2, "Lift", "en:Lift"},     {2, "Biscuit", nullptr},  // the whole language has no fallback
      {4, "Lift", "sv:Hiss"},     {4, "Truck", nullptr},    // nor a language without its whole record
  };
  for (const auto& c : cases) {
    dict.SetLanguage(c.language);
    if (!dict.Opened()) dict.Open();
    ASSERT_TRUE(dict.Opened());
    QString out = QStringLiteral("(unchanged)");
    const bool found = dict.Translate(QString::fromUtf8(c.text), out);
    EXPECT_EQ(found, c.expected != nullptr) << c.language << " " << c.text;
    EXPECT_EQ(out, c.expected ? QString::fromUtf8(c.expected) : QStringLiteral("(unchanged)"))
        << c.language << " " << c.text;
  }
}

}  // namespace
