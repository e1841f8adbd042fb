// Choosing the language and locale of a dictionary from the user's and the system's locale,
// the code page checks, the formatting settings built from ICU's data, the missing-translation
// policy and the registry of dictionaries.
#include "i18n/Dictionary.h"
#include "i18n/LocaleSettings.h"
#include "i18n/MLDWriter.h"
#include "tests/i18n/MLDTestData.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include "platform/ResourceStrings.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QLocale>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using namespace vx::i18n;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// Sets LC_ALL and the system's locale file for one test and restores both.
class LocaleEnvironment {
 public:
  explicit LocaleEnvironment(const vxtest::TempDir& dir) : dir_(dir) {}
  ~LocaleEnvironment() { setSystemLocaleFile("/etc/default/locale"); }
  void user(const char* value) { lcAll_.set(std::string(value)); }
  void system(const char* lang) {
    vxtest::writeAll(dir_.file("default-locale"), std::string("LANG=") + lang + "\n");
    setSystemLocaleFile(dir_.file("default-locale"));
  }

 private:
  const vxtest::TempDir& dir_;
  vxtest::ScopedEnv lcAll_{"LC_ALL", std::nullopt};
};

class LanguageSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.system("en_US.UTF-8");  // ANSI code page 1252
    env.user("en_US.UTF-8");
  }
  void write(const vx::i18n::MLDDocument& doc) {
    vxtest::writeAll(dir.file("test.mld"), writeMLD(doc, MLDWriteOptions()));
    dict.SetFileName(q(dir.file("test.mld")));
  }
  // The test dictionary with Swedish for Sweden and Finland, and without custom locales.
  static vx::i18n::MLDDocument document() {
    vx::i18n::MLDDocument doc = vxtest::makeDocument();
    doc.Languages[2].SubIds = {1, 2};
    doc.Locales.clear();
    return doc;
  }
  std::string openError() {
    try {
      dict.Open();
    } catch (const EIvLanguageError& e) {
      EXPECT_FALSE(dict.Opened());
      return e.what();
    }
    return "(opened)";
  }

  vxtest::TempDir dir;
  LocaleEnvironment env{dir};
  TIvBinaryDictionary dict;
};

TEST_F(LanguageSelectionTest, TheUsersAndTheSystemsLocaleChooseTheLanguageAndSublanguage) {
  write(document());
  env.user("nb_NO.UTF-8");
  dict.Open();  // -1: the user's
  EXPECT_EQ(dict.CurrentIndex(), 1);
  EXPECT_EQ(dict.LanguageLocale(), 0x0414);
  dict.Close();

  env.system("sv_FI.UTF-8");  // Swedish (Finland): the record lists sublanguage 2
  dict.SetLanguage(-2);
  dict.Open();
  EXPECT_EQ(dict.CurrentIndex(), 2);
  EXPECT_EQ(dict.CurrentLanguage().CurrentSubId, 2);
  EXPECT_EQ(dict.LanguageLocale(), makeLangId(29, 2));
  EXPECT_EQ(dict.CurrentLocale(), makeLangId(29, 2));
  dict.Close();

  // A system language the file lacks: the first language after the native one that passes.
  env.system("de_DE.UTF-8");
  dict.Open();
  EXPECT_EQ(dict.CurrentIndex(), 1);
  // Norwegian's own default sublanguage, since the system's language is another one.
  EXPECT_EQ(dict.CurrentLanguage().CurrentSubId, 1);
}

TEST_F(LanguageSelectionTest, FindLanguageTriesTheSublanguageThenTheWholeLanguageThenAny) {
  vx::i18n::MLDDocument doc = document();
  doc.Languages.push_back(vxtest::makeLanguage(9, 1, "en", "US", 1252, "English (US)", "English"));
  doc.Languages.push_back(vxtest::makeLanguage(9, 0, "en", "", 1252, "English", "English"));
  doc.Languages.back().SubIds.clear();  // the whole language
  for (auto& row : doc.Translations) row.Texts.resize(5);
  write(doc);
  env.user("sv_SE.UTF-8");
  EXPECT_EQ(dict.FindLanguage(0), 0);
  EXPECT_EQ(dict.FindLanguage(kUserDefaultLocaleId), 2);
  EXPECT_EQ(dict.FindLanguage(makeLangId(9, 1)), 4);  // the exact sublanguage
  EXPECT_EQ(dict.FindLanguage(makeLangId(9, 2)), 5);  // the record for the whole language
  EXPECT_EQ(dict.FindLanguage(makeLangId(29, 3)), 2);  // any record of the language
  EXPECT_EQ(dict.FindLanguage(makeLangId(7, 1)), -1);
}

TEST_F(LanguageSelectionTest, TheCodePageCheckRefusesALanguageOfAnotherCodePage) {
  vx::i18n::MLDDocument doc = vxtest::makeDocument();
  doc.Languages = {doc.Languages[0], doc.Languages[3]};  // native and Russian (1251)
  for (auto& row : doc.Translations) row.Texts = {row.Texts[2]};
  doc.Locales.clear();
  write(doc);
  EXPECT_FALSE(TIvDictionary::PassesCodePageTest(doc.Languages[1]));
  EXPECT_TRUE(TIvDictionary::PassesSystemTest(doc.Languages[1]));
  env.user("de_DE.UTF-8");
  EXPECT_EQ(dict.FirstSupportedLanguage(), -1);
  EXPECT_EQ(openError(), "System does not support any language of the dicitonary!");
  env.user("ru_RU.UTF-8");
  EXPECT_EQ(openError(), "Russian is not supported by the code page");

  // Exempt by its flag, the language is used, and its locale is checked on its own.
  doc.Languages[1].LanguageFlags = 0x02;
  write(doc);
  EXPECT_EQ(openError(), "The locale (25, 1) is not supported by the current code page");
  dict.SetCheckLevel(TIvDictionary::ivclSystem);
  dict.Open();
  EXPECT_EQ(dict.CurrentIndex(), 1);
  dict.Close();
  // On a Russian system it passes the code page check as well.
  env.system("ru_RU.UTF-8");
  doc.Languages[1].LanguageFlags = 0;
  write(doc);
  dict.SetCheckLevel(TIvDictionary::ivclCodePage);
  dict.Open();
  EXPECT_EQ(dict.CurrentIndex(), 1);
}

TEST_F(LanguageSelectionTest, ARefusedLanguageSwitchKeepsTheLanguageInUse) {
  write(document());
  dict.SetLanguage(1);
  dict.Open();
  const TIvFormatSettings before = formatSettings();
  QSignalSpy spy(&dict, &TIvDictionary::LanguageChanged);
  try {
    dict.SetLanguage(3);
    ADD_FAILURE() << "switched to Russian on a 1252 system";
  } catch (const EIvLanguageError& e) {
    EXPECT_STREQ(e.what(), "Russian is not supported by the code page");
  }
  EXPECT_EQ(dict.Language(), 1);
  EXPECT_EQ(dict.CurrentIndex(), 1);
  EXPECT_EQ(dict.CurrentLanguage().EnglishName, "Norwegian");
  EXPECT_EQ(dict.TranslateText("file"), "fil (liten)");
  EXPECT_EQ(formatSettings().LongMonthNames, before.LongMonthNames);
  EXPECT_EQ(spy.count(), 0);
}

TEST_F(LanguageSelectionTest, ALocaleChangeCanChooseTheLanguage) {
  write(vxtest::makeDocument());  // with the custom locale of Norwegian
  env.user("sv_SE.UTF-8");
  dict.SetBinding(TIvDictionary::ivbiLanguageToLocale);
  dict.Open();
  EXPECT_EQ(dict.CurrentIndex(), 2);
  QSignalSpy languageSpy(&dict, &TIvDictionary::LanguageChanged);
  QSignalSpy localeSpy(&dict, &TIvDictionary::LocaleChanged);
  dict.SetPrimaryLanguage(20);
  EXPECT_EQ(dict.PrimaryLanguage(), 20);
  EXPECT_EQ(dict.SubLanguage(), 1);
  EXPECT_EQ(dict.CurrentIndex(), 1);
  EXPECT_TRUE(dict.CurrentLocaleRecord().Custom);  // the file's own record
  EXPECT_EQ(formatSettings().LongDayNames[0], "søndag");
  EXPECT_EQ(languageSpy.count(), 1);
  EXPECT_EQ(localeSpy.count(), 1);
  // A locale of no language in the file: the first supported language.
  dict.SetPrimaryLanguage(7);
  EXPECT_EQ(dict.CurrentIndex(), 1);
  EXPECT_EQ(languageSpy.count(), 1);
  EXPECT_EQ(localeSpy.count(), 2);
  EXPECT_EQ(formatSettings().DecimalSeparator, ",");
  EXPECT_EQ(formatSettings().LongMonthNames[2], "März");
}

TEST_F(LanguageSelectionTest, TheFormattingSettingsFollowTheLanguageOverIcu) {
  write(document());
  dict.SetLanguage(2);
  env.user("sv_SE.UTF-8");
  dict.Open();
  ASSERT_EQ(dict.CurrentLocale(), makeLangId(29, 1));
  const TIvFormatSettings& sv = formatSettings();
  EXPECT_EQ(sv.LocaleId, makeLangId(29, 1));
  EXPECT_EQ(sv.DecimalSeparator, ",");
  EXPECT_EQ(sv.CurrencyString, "kr");
  EXPECT_EQ(sv.ShortDateFormat, "yyyy-MM-dd");
  EXPECT_EQ(sv.DateSeparator, "-");
  EXPECT_EQ(sv.ShortTimeFormat, "hh:mm");
  EXPECT_EQ(sv.LongTimeFormat, "hh:mm:ss");
  EXPECT_EQ(sv.LongMonthNames[0], "januari");
  EXPECT_EQ(sv.LongDayNames[0], "söndag");
  EXPECT_EQ(sv.LongDayNames[1], "måndag");

  // English (United States): 12-hour time with the designator after it.
  QSignalSpy localeSpy(&dict, &TIvDictionary::LocaleChanged);
  vx::i18n::MLDDocument doc = document();
  doc.Languages.push_back(vxtest::makeLanguage(9, 1, "en", "US", 1252, "English", "English"));
  for (auto& row : doc.Translations) row.Texts.resize(4);
  write(doc);
  dict.SetLanguage(4);
  EXPECT_EQ(localeSpy.count(), 1);
  const TIvFormatSettings& en = formatSettings();
  EXPECT_EQ(en.DecimalSeparator, ".");
  EXPECT_EQ(en.CurrencyString, "$");
  EXPECT_EQ(en.ShortDateFormat, "M/d/yyyy");  // ICU's M/d/yy with the four-digit year
  EXPECT_EQ(en.ShortTimeFormat, "h:mm AMPM");
  EXPECT_EQ(en.TimeAMString, "AM");
  EXPECT_EQ(en.ShortMonthNames[11], "Dec");
  EXPECT_EQ(en.ShortDayNames[6], "Sat");
}

TEST(FormatSettings, TwoDigitYearsBecomeFourAndTheTimeFormatsAreComposed) {
  EXPECT_EQ(year2000Format("dd.MM.yy"), "dd.MM.yyyy");
  EXPECT_EQ(year2000Format("yy/MM/dd 'yy'"), "yyyy/MM/dd 'yy'");
  EXPECT_EQ(year2000Format("d. MMMM yyyy"), "d. MMMM yyyy");
  EXPECT_EQ(year2000Format("d. MMMM"), "d. MMMM");

  TIvLocale c = vxtest::makeLocale();
  c.ShortDateFormat = "dd.MM.yy";
  c.TimeSeparator.clear();
  c.TimeLeadingZero = false;
  c.TimeFormat = 0;
  c.TimeMarkerPosition = 1;
  const TIvFormatSettings on = formatSettingsFor(c, true, iveNormal, 2024, 5, 1);
  EXPECT_EQ(on.ShortDateFormat, "dd.MM.yyyy");
  EXPECT_EQ(on.TimeSeparator, ":");
  EXPECT_EQ(on.ShortTimeFormat, "AMPM h:mm");
  EXPECT_EQ(on.LongTimeFormat, "AMPM h:mm:ss");
  EXPECT_EQ(on.LongDayNames[0], "søndag");
  EXPECT_EQ(on.LongDayNames[1], "mandag");
  EXPECT_EQ(formatSettingsFor(c, false, iveNormal, 2024, 5, 1).ShortDateFormat, "dd.MM.yy");
}

TEST(FormatSettings, TheEuroFollowsThePhaseOfItsIntroduction) {
  TIvLocale de;
  ASSERT_TRUE(systemLocale(makeLangId(7, 1), de));
  ASSERT_FALSE(de.CurrencySymbol.empty());
  const std::string euro = "\xE2\x82\xAC";
  EXPECT_TRUE(isEuroLocale(makeLangId(7, 1)));
  EXPECT_FALSE(isEuroLocale(makeLangId(7, 2)));
  EXPECT_TRUE(isEuroLocale(makeLangId(29, 2)));
  EXPECT_FALSE(isEuroLocale(makeLangId(29, 1)));
  EXPECT_EQ(euroPhase(1998, 12, 31), 1);
  EXPECT_EQ(euroPhase(1999, 1, 1), 2);
  EXPECT_EQ(euroPhase(2002, 6, 30), 3);
  EXPECT_EQ(euroPhase(2002, 7, 1), 4);
  de.CurrencySymbol = "DM";
  EXPECT_EQ(currencyString(de, iveNormal, 1998, 6, 1), "DM");
  EXPECT_EQ(currencyString(de, iveNormal, 2000, 6, 1), "DM");
  EXPECT_EQ(currencyString(de, iveBusiness, 2000, 6, 1), euro);
  EXPECT_EQ(currencyString(de, iveNormal, 2002, 3, 1), euro);
  EXPECT_EQ(currencyString(de, iveIgnore, 2010, 1, 1), "DM");
  TIvLocale us;
  ASSERT_TRUE(systemLocale(makeLangId(9, 1), us));
  EXPECT_EQ(currencyString(us, iveBusiness, 2010, 1, 1), "$");
  TIvLocale unknown;
  EXPECT_FALSE(systemLocale(makeLangId(9, 0x3F), unknown));
  EXPECT_EQ(unknown, TIvLocale());
}

TEST_F(LanguageSelectionTest, AMissingTranslationFollowsThePolicy) {
  write(document());
  dict.SetLanguage(1);
  EXPECT_EQ(dict.TranslateText("Done"), "Done");  // closed
  dict.Open();
  EXPECT_EQ(dict.TranslateText("file"), "fil (liten)");
  EXPECT_EQ(dict.TranslateText(""), "");
  EXPECT_EQ(dict.TranslateText("Cancel"), "Cancel");
  dict.SetMissingTranslation(TIvDictionary::ivmtTagNative);
  EXPECT_EQ(dict.TranslateText("Cancel"), "@Cancel@");
  EXPECT_EQ(dict.TranslateText("file"), "fil (liten)");
  dict.SetMissingTranslation(TIvDictionary::ivmtUseNull);
  EXPECT_EQ(dict.TranslateText("Cancel"), "");
  dict.SetMissingTranslation(TIvDictionary::ivmtRaiseException);
  try {
    dict.TranslateText("Cancel");
    ADD_FAILURE() << "no error for a missing text";
  } catch (const EIvLanguageError& e) {
    EXPECT_STREQ(e.what(), "Dictionary does not contain a translation for the word \"Cancel\"");
  }
  try {
    dict.ApplyMissingTranslation("Cancel", true, QString());
    ADD_FAILURE() << "no error for an empty translation";
  } catch (const EIvLanguageError& e) {
    EXPECT_STREQ(e.what(), "Translation for the word \"Cancel\" is missing");
  }
}

TEST_F(LanguageSelectionTest, StringTableTextsAreLookedUpByTheirIdThenByTheirText) {
  vx::i18n::MLDDocument doc = document();
  doc.Translations.push_back({"Cancel", "", "12", {"Avbryt", "", ""}});
  doc.Translations.push_back({"Cancel", "", "40", {"Avbryt nå", "", ""}});
  write(doc);
  dict.SetLanguage(1);
  EXPECT_EQ(dict.TranslateResourceString(40, "Cancel"), "Cancel");  // closed
  dict.Open();
  ASSERT_TRUE(dict.ContextMode());
  EXPECT_EQ(dict.TranslateResourceString(40, "Cancel"), QString::fromUtf8("Avbryt nå"));
  EXPECT_EQ(dict.TranslateResourceString(12, "Cancel"), "Avbryt");
  EXPECT_EQ(dict.TranslateResourceString(7, "file"), "fil (liten)");  // by its text
  dict.SetMissingTranslation(TIvDictionary::ivmtTagNative);
  EXPECT_EQ(dict.TranslateResourceString(7, "Only Swedish"), "@Only Swedish@");
}

TEST_F(LanguageSelectionTest, LanguageRecordsNamesAndBindingsBetweenLanguageAndLocale) {
  vx::i18n::MLDDocument doc = vxtest::makeDocument();  // Swedish for Sweden only
  doc.Locales.clear();
  // A second record of Swedish (Finland) with the same primary language.
  doc.Languages.push_back(vxtest::makeLanguage(29, 2, "sv", "FI", 1252, "Swedish (Finland)", "Svenska (Finland)"));
  for (auto& row : doc.Translations) row.Texts.resize(4);
  write(doc);
  dict.SetLanguage(1);
  dict.Open();
  EXPECT_EQ(&dict.GetLanguageRecord(1), &dict.CurrentLanguage());
  EXPECT_EQ(dict.GetLanguageRecord(2).EnglishName, "Swedish");
  EXPECT_EQ(dict.GetLanguageRecord(4).IsoCountry, "FI");
  for (int bad : {-1, 5}) {
    try {
      dict.GetLanguageRecord(bad);
      ADD_FAILURE() << "no error for language " << bad;
    } catch (const EIvDictionaryError& e) {
      EXPECT_STREQ(e.what(), "Out of language range");
    }
  }

  std::vector<TIvDictionary::LanguageName> names;
  dict.AddLanguageNames(names, true);
  ASSERT_EQ(names.size(), 4u);  // the two Swedish records count once
  EXPECT_EQ(names[0].primaryId, 0);
  EXPECT_EQ(names[1].name, QString::fromUtf8("Norsk (bokmål)"));
  EXPECT_EQ(names[2].name, "Svenska");
  EXPECT_EQ(names[2].primaryId, 29);
  EXPECT_EQ(names[3].primaryId, 25);
  names.clear();
  dict.AddLanguageNames(names, false);
  EXPECT_EQ(names[3].name, "Russian");

  // The locale follows the language, then the language follows the locale.
  dict.SetBinding(TIvDictionary::ivbiNone);
  dict.SetPrimaryLanguage(7);  // German: the language stays Norwegian
  ASSERT_EQ(dict.CurrentLocale(), makeLangId(7, 1));
  QSignalSpy languageSpy(&dict, &TIvDictionary::LanguageChanged);
  QSignalSpy localeSpy(&dict, &TIvDictionary::LocaleChanged);
  dict.BindLocaleToLanguage();
  EXPECT_EQ(dict.CurrentLocale(), makeLangId(20, 1));
  EXPECT_EQ(localeSpy.count(), 1);
  EXPECT_EQ(languageSpy.count(), 0);
  dict.BindLocaleToLanguage();  // no change, no event
  EXPECT_EQ(localeSpy.count(), 1);
  dict.SetPrimaryLanguage(29);
  dict.SetSubLanguage(2);
  dict.BindLanguageToLocale();
  EXPECT_EQ(dict.CurrentIndex(), 4);  // Swedish (Finland)
  EXPECT_EQ(languageSpy.count(), 1);
  // A locale of no language of the file: the first supported language, not the user's.
  env.user("sv_SE.UTF-8");
  dict.SetPrimaryLanguage(7);
  dict.SetSubLanguage(1);
  dict.BindLanguageToLocale();
  EXPECT_EQ(dict.CurrentIndex(), 1);
}

TEST_F(LanguageSelectionTest, LocalesAreSupportedByTheSystemOrByTheDictionary) {
  vx::i18n::MLDDocument doc = vxtest::makeDocument();
  vx::i18n::TIvLocale invented = vxtest::makeLocale();
  invented.PrimaryId = 0x3F;  // no such language
  invented.SubId = 5;
  doc.Locales.push_back(invented);
  write(doc);
  EXPECT_TRUE(dict.IsLocaleSupported(makeLangId(29, 1)));
  EXPECT_TRUE(dict.IsLocaleSupported(kUserDefaultLocaleId));
  EXPECT_TRUE(dict.IsLocaleSupported(makeLangId(0x3F, 5)));
  EXPECT_FALSE(dict.IsLocaleSupported(makeLangId(0x3F, 4)));
}

TEST_F(LanguageSelectionTest, AChangeSetsTheThreadLocaleAndTellsTheTranslatorsOnce) {
  write(document());
  dict.SetLanguage(2);
  QSignalSpy translators(&dict, &TIvDictionary::TranslatorsChanged);
  dict.Open();
  ASSERT_EQ(translators.count(), 1);
  EXPECT_EQ(translators.at(0).at(0).toBool(), true);
  EXPECT_EQ(translators.at(0).at(1).toBool(), true);
  EXPECT_EQ(threadLocale(), makeLangId(29, 1));
  EXPECT_EQ(QLocale().name(), "sv_SE");
  EXPECT_EQ(QLocale().toString(1234.5, 'f', 1), QString::fromUtf8("1\u00a0234,5"));

  dict.SetLanguage(1);
  ASSERT_EQ(translators.count(), 2);
  EXPECT_EQ(QLocale().name(), "nb_NO");
  // Without automatic translation the translators are left alone; the events still come.
  dict.SetOptions(TIvDictionary::kAllOptions & ~TIvDictionary::ivdoAutoTranslate);
  QSignalSpy languageSpy(&dict, &TIvDictionary::LanguageChanged);
  dict.SetLanguage(2);
  EXPECT_EQ(translators.count(), 2);
  EXPECT_EQ(languageSpy.count(), 1);
  QLocale::setDefault(QLocale::c());
}

TEST_F(LanguageSelectionTest, OpeningRoutesTheStringTableAndShortcutKeyNamesThroughTheDictionary) {
  vx::i18n::MLDDocument doc = document();
  doc.Translations.push_back({"Cancel", "", "4711", {"Avbryt", "", ""}});
  doc.Translations.push_back({"Ctrl", "", "", {"Ktrl", "", ""}});
  doc.Translations.push_back({"Del", "", "", {"Slett", "", ""}});
  doc.Translations.push_back({"F%1", "", "", {"Fn%1", "", ""}});
  write(doc);
  vx::res::registerString(4711, "Cancel");
  const QKeySequence keys(Qt::CTRL | Qt::Key_Delete);
  const QKeySequence function(Qt::Key_F5);
  dict.SetLanguage(1);
  EXPECT_FALSE(ResourceStringTranslationOn());
  EXPECT_EQ(vx::res::loadResString(4711), "Cancel");
  dict.Open();
  EXPECT_TRUE(ResourceStringTranslationOn());
  EXPECT_EQ(vx::res::loadResString(4711), "Avbryt");
  EXPECT_EQ(keys.toString(QKeySequence::NativeText), "Ktrl+Slett");
  EXPECT_EQ(function.toString(QKeySequence::NativeText), "F5");  // function keys stay as they are
  EXPECT_EQ(keys.toString(QKeySequence::PortableText), "Ctrl+Del");
  dict.Close();
  EXPECT_FALSE(ResourceStringTranslationOn());
  EXPECT_EQ(vx::res::loadResString(4711), "Cancel");
  EXPECT_EQ(keys.toString(QKeySequence::NativeText), "Ctrl+Del");

  // Without the option the dictionary leaves the string table alone.
  dict.SetOptions(TIvDictionary::kAllOptions & ~TIvDictionary::ivdoTranslateResourceStrings);
  dict.Open();
  EXPECT_FALSE(ResourceStringTranslationOn());
  EXPECT_EQ(vx::res::loadResString(4711), "Cancel");
}

TEST_F(LanguageSelectionTest, ARightToLeftLanguageTurnsTheWholeProgram) {
  vx::i18n::MLDDocument doc = document();
  doc.Languages.push_back(vxtest::makeLanguage(13, 1, "he", "IL", 1255, "Hebrew", "Hebrew"));
  for (auto& row : doc.Translations) row.Texts.resize(4);
  write(doc);
  dict.SetCheckLevel(TIvDictionary::ivclNone);
  dict.SetLanguage(4);
  dict.Open();
  EXPECT_TRUE(dict.RightToLeft());
  EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::RightToLeft);
  dict.SetLanguage(1);
  EXPECT_FALSE(dict.RightToLeft());
  EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
}

TEST(Dictionaries, EveryDictionaryIsRegisteredUnderAFreeName) {
  const int before = TIvDictionaries::Count();
  auto first = std::make_unique<TIvBinaryDictionary>();
  EXPECT_EQ(first->DictionaryName(), QStringLiteral("Dictionary%1").arg(before + 1));
  first->SetDictionaryName(QStringLiteral("Dictionary%1").arg(before + 2));
  auto second = std::make_unique<TIvBinaryDictionary>();
  EXPECT_EQ(second->DictionaryName(), QStringLiteral("Dictionary%1").arg(before + 3));
  EXPECT_EQ(TIvDictionaries::Count(), before + 2);
  EXPECT_EQ(TIvDictionaries::Item(before), first.get());
  EXPECT_EQ(TIvDictionaries::Find(second->DictionaryName()), second.get());
  EXPECT_EQ(TIvDictionaries::Find(second->DictionaryName().toLower()), nullptr);
  EXPECT_EQ(TIvDictionaries::Item(before + 2), nullptr);
  first.reset();
  EXPECT_EQ(TIvDictionaries::Count(), before + 1);
  EXPECT_EQ(TIvDictionaries::Item(before), second.get());
  EXPECT_EQ(TIvDictionaries::Find(QStringLiteral("Dictionary%1").arg(before + 2)), nullptr);
}

}  // namespace
