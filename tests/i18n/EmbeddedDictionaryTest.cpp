// Dictionary data embedded in a stored form: the stored-form encoding, the walk to a
// component's property, and the three dictionary values copied from an MLD file.
#include "i18n/EmbeddedDictionary.h"
#include "i18n/FormData.h"
#include "i18n/FormResource.h"
#include "i18n/MLDFile.h"
#include "tests/i18n/MLDTestData.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolProcess.h"
#include "tools/mldc/MldSource.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

using namespace vx::i18n;

namespace {

std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EIvDictionaryError& e) {
    return e.what();
  }
  return "(no error)";
}

std::string integerValue(int v) {
  FormWriter w;
  w.writeInteger(v);
  return w.take();
}

std::string stringValue(const std::string& s) {
  FormWriter w;
  w.writeString(s);
  return w.take();
}

// A value that holds every value type, lists nested in lists.
std::string everyTypeValue() {
  FormWriter w;
  w.beginList();
  w.writeInteger(-7);
  w.writeString("text");
  w.writeBoolean(false);
  w.writeBoolean(true);
  w.writeChar("\xC2\xA0");
  w.writeChar("");
  w.beginList();
  w.beginList();
  w.endList();
  w.writeString(std::string("\0\1\0", 3));
  w.endList();
  w.endList();
  return w.take();
}

void expectRowsEqual(const std::vector<MLDTranslationRow>& got, const std::vector<MLDTranslationRow>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].NativeText, want[i].NativeText) << i;
    EXPECT_EQ(got[i].Context1 + "/" + got[i].Context2, want[i].Context1 + "/" + want[i].Context2) << i;
    EXPECT_EQ(got[i].Texts, want[i].Texts) << i;
  }
}

TIvLocale russianLocale() {
  TIvLocale c = vxtest::makeLocale();
  c.PrimaryId = 25;
  c.IsoLanguage = "ru";
  c.IsoCountry = "RU";
  c.CodePage = 1251;
  c.Charset = 204;
  c.Custom = false;
  c.NativeLanguageName = "русский";
  c.NativeCountryName = "Россия";
  c.CurrencySymbol = "руб.";
  c.ThousandSeparator = "\xC2\xA0";
  c.TimeAMString = "ДП";
  c.LongMonthNames[0] = "январь";
  c.LongDayNames[6] = "воскресенье";
  return c;
}

TEST(EmbeddedDictionary, TheShippedDictionaryReadsBackAsFromItsFile) {
  const std::string dir = VX_I18N_DATA_DIR;
  const auto sources = vx::mldc::parseLanguages(vxtest::readAll(dir + "/vxdown.languages.ini"), "ini");
  MLDDocument doc;
  for (const auto& l : sources) doc.Languages.push_back(l.language);
  MLDWriteOptions options;
  options.contextKind =
      vx::mldc::parseTable(vxtest::readAll(dir + "/vxdown.translations.tsv"), "tsv", sources, doc.Translations);
  doc.Locales = {vxtest::makeLocale(), russianLocale()};
  vxtest::TempDir tmp;
  const std::string file = tmp.file("vxdown.mld");
  vxtest::writeAll(file, writeMLD(doc, options));

  StoredForm form{"TFVXSysDn", "FVXSysDn", {}};
  form.components.push_back({"TIvTranslator", "IvTranslator1", {{"DictionaryName", stringValue("Dictionary1")}}, {}});
  form.components.push_back(embeddedDictionaryComponent("TIvBinaryDictionary", "Dictionary1",
                                                        storeEmbeddedDictionary(file)));
  const std::string stored = writeStoredForm(form);
  EXPECT_EQ(readStoredFormHeader(stored), std::make_pair(std::string("TFVXSysDn"), std::string("FVXSysDn")));
  const EmbeddedDictionaryData data = readEmbeddedDictionary(stored, "TIvBinaryDictionary", "Dictionary1");

  TIvMLDFile f;
  f.LoadFile(file);
  ASSERT_EQ(data.languages.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    // The embedded layout has no country codes; everything else is as the file reads.
    TIvLanguage expected = f.Language(i);
    expected.CountryCodes.clear();
    EXPECT_TRUE(data.languages[static_cast<std::size_t>(i)] == expected) << i;
    EXPECT_EQ(data.languages[static_cast<std::size_t>(i)].IsoLanguage, expected.IsoLanguage) << i;
    EXPECT_EQ(data.languages[static_cast<std::size_t>(i)].NativeName, expected.NativeName) << i;
  }
  EXPECT_EQ(data.contextKind, f.ContextKind());
  EXPECT_EQ(data.contextKind, MLDContextKind::Both);
  expectRowsEqual(data.translations, doc.Translations);
  ASSERT_EQ(data.locales.size(), 2u);
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(data.locales[static_cast<std::size_t>(i)] == f.Locale(i)) << i;
  EXPECT_TRUE(data.locales[0] == vxtest::makeLocale());
  EXPECT_EQ(data.locales[1].LongMonthNames[0], "январь");
  EXPECT_EQ(data.locales[1].CurrencySymbol, "руб.");
}

TEST(EmbeddedDictionary, EscapesLineBreaksTabsAndHashesInTranslationTexts) {
  EXPECT_EQ(escapeEmbeddedText("a\r\nb\tc#d##"), "a#C#Lb#Tc##d####");
  EXPECT_EQ(unescapeEmbeddedText("a#C#Lb#Tc##d####"), "a\r\nb\tc#d##");
  // Anything else after "#" is no escape.
  EXPECT_EQ(unescapeEmbeddedText("#x#c##C#"), "#x#c#C#");

  std::vector<TIvLanguage> languages(3);
  const std::vector<MLDTranslationRow> rows = {
      {"Tab\there", "TForm#1", "line\r\n", {"#T is a tab", "##"}},
      {"#C", "", "", {"\r", ""}},
  };
  const EmbeddedDictionaryValues v = encodeEmbeddedDictionary(languages, MLDContextKind::Both, rows, {});
  EXPECT_NE(v.translations.find("Tab#There"), std::string::npos);
  EXPECT_NE(v.translations.find("line#C#L"), std::string::npos);
  EXPECT_EQ(v.translations.find("\r\n"), std::string::npos);
  MLDContextKind kind = MLDContextKind::None;
  expectRowsEqual(readEmbeddedTranslations(v.translations, kind), rows);
  EXPECT_EQ(kind, MLDContextKind::Both);
}

TEST(EmbeddedDictionary, KeepsOnlyTheContextsItsKindStores) {
  std::vector<TIvLanguage> languages(2);
  const std::vector<MLDTranslationRow> rows = {{"Done", "TForm", "btDone", {"Ferdig"}}};
  for (const auto& [kind, c1, c2] : {std::tuple{MLDContextKind::None, "", ""},
                                    std::tuple{MLDContextKind::Context1Only, "TForm", ""},
                                    std::tuple{MLDContextKind::Context2Only, "", "btDone"}}) {
    MLDContextKind read = MLDContextKind::Both;
    const auto back = readEmbeddedTranslations(encodeEmbeddedDictionary(languages, kind, rows, {}).translations, read);
    EXPECT_EQ(read, kind);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].Context1 + "/" + back[0].Context2, std::string(c1) + "/" + c2);
    EXPECT_EQ(back[0].Texts, std::vector<std::string>{"Ferdig"});
  }
}

TEST(EmbeddedDictionary, RefusesDataVersionsItDoesNotKnow) {
  const auto versioned = [](int version) {
    FormWriter w;
    w.beginList();
    w.writeInteger(version);
    w.writeInteger(0);
    w.writeInteger(0);
    w.endList();
    return w.take();
  };
  MLDContextKind kind;
  EXPECT_EQ(errorOf([&] { readEmbeddedLanguages(versioned(3)); }), "Unknown language data version: 3");
  EXPECT_EQ(errorOf([&] { readEmbeddedTranslations(versioned(3), kind); }), "Unknown translation data version: 3");
  EXPECT_EQ(errorOf([&] { readEmbeddedLocales(versioned(3)); }), "Unknown locale data version: 3");
  EXPECT_EQ(errorOf([&] { readEmbeddedLocales(versioned(0)); }), "Unknown locale data version: 0");
  EXPECT_EQ(errorOf([&] { readEmbeddedLanguages(stringValue("2")); }),
            "Expected a list for language data, found a string");
  // Version 1: no charset in a language record, no context kind in the translations.
  FormWriter l;
  l.beginList();
  l.writeInteger(1);
  l.writeInteger(1);
  l.beginList();
  l.writeInteger(20);
  l.writeString("1,2");
  l.writeInteger(0);
  l.writeInteger(1251);
  for (const char* s : {"Norwegian", "Norsk", "Sans"}) l.writeString(s);
  l.writeInteger(9);
  l.writeBoolean(true);
  l.writeBoolean(false);
  l.endList();
  l.endList();
  const auto languages = readEmbeddedLanguages(l.bytes());
  ASSERT_EQ(languages.size(), 1u);
  EXPECT_EQ(languages[0].SubIds, (std::vector<int>{1, 2}));
  EXPECT_EQ(languages[0].DefaultSubId, 1);  // completed from the sublanguages
  EXPECT_EQ(languages[0].Charset, 204);
  EXPECT_EQ(languages[0].LanguageFlags, 1);
  EXPECT_EQ(languages[0].CurrentSubId, 1);
  FormWriter t;
  t.beginList();
  t.writeInteger(1);
  t.writeInteger(1);
  t.beginList();
  t.writeString("Done");
  t.writeString("Ferdig");
  t.endList();
  t.endList();
  const auto rows = readEmbeddedTranslations(t.bytes(), kind);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Texts, std::vector<std::string>{"Ferdig"});
  EXPECT_EQ(kind, MLDContextKind::None);
}

TEST(EmbeddedDictionary, StoresOnlyFromAnExisting8BitFile) {
  vxtest::TempDir tmp;
  const std::string missing = tmp.file("none.mld");
  try {
    storeEmbeddedDictionary(missing);
    ADD_FAILURE() << "stored a missing file";
  } catch (const EIvStoreError& e) {
    EXPECT_EQ(e.caption(), "File not found");
    EXPECT_EQ(std::string(e.what()), "Can not find the file name " + missing + ". No dictionary data was stored!");
  }
  MLDWriteOptions utf16;
  utf16.utf16 = true;
  const std::string unicode = tmp.file("unicode.mld");
  vxtest::writeAll(unicode, writeMLD(vxtest::makeDocument(), utf16));
  try {
    storeEmbeddedDictionary(unicode);
    ADD_FAILURE() << "stored a UTF-16 file";
  } catch (const EIvStoreError& e) {
    EXPECT_EQ(e.caption(), "Unicode not supported");
    EXPECT_EQ(std::string(e.what()), "Can not use a Unicode MLD file " + unicode + ". No dictionary data was stored!");
  }
  vxtest::writeAll(tmp.file("bad.mld"), "MLX");
  EXPECT_EQ(errorOf([&] { storeEmbeddedDictionary(tmp.file("bad.mld")); }), "Stream read error");
}

// A form whose components hide the wanted one: decoys of the same class or name, a nested
// component of the same class and name, and values of every type in between.
StoredForm decoyForm(const std::string& wanted) {
  StoredComponent nestedTwin{"TIvBinaryDictionary", "Dictionary1", {{"Languages", stringValue("nested")}}, {}};
  StoredComponent panel{"TPanel", "Panel1", {{"Languages", everyTypeValue()}, {"Caption", stringValue("x")}}, {}};
  panel.components.push_back(nestedTwin);
  panel.components.push_back({"TLabel", "Label1", {{"Tag", integerValue(5)}}, {{"TFont", "", {}, {}}}});
  StoredComponent target{"TIvBinaryDictionary", "Dictionary1", {}, {{"TTimer", "Timer1", {}, {}}}};
  target.properties = {{"Tag", integerValue(1)},     {"Enabled", everyTypeValue()},
                       {"Name", stringValue("Languages ")}, {"Languages", wanted},
                       {"Locales", everyTypeValue()}};
  return {"TFVXSysDn",
          "FVXSysDn",
          {panel,
           {"TIvBinaryDictionary", "Dictionary2", {{"Languages", stringValue("other name")}}, {}},
           {"TIvDictionary", "Dictionary1", {{"Languages", stringValue("other class")}}, {}},
           target}};
}

TEST(StoredForm, FindsTheComponentDirectlyUnderTheFormAndItsProperty) {
  const std::string form = writeStoredForm(decoyForm(stringValue("found")));
  EXPECT_EQ(findStoredProperty(form, "TIvBinaryDictionary", "Dictionary1", "Languages"), stringValue("found"));
  EXPECT_EQ(findStoredProperty(form, "TIvBinaryDictionary", "Dictionary1", "Locales"), everyTypeValue());
  EXPECT_EQ(findStoredProperty(form, "TIvBinaryDictionary", "Dictionary2", "Languages"), stringValue("other name"));
  EXPECT_EQ(findStoredProperty(form, "TPanel", "Panel1", "Caption"), stringValue("x"));

  EXPECT_EQ(errorOf([&] { findStoredProperty(form, "TIvBinaryDictionary", "Dictionary1", "Translations"); }),
            "Could not find the property");
  // Nested components are not directly under the form.
  EXPECT_EQ(errorOf([&] { findStoredProperty(form, "TLabel", "Label1", "Tag"); }), "Could not find the property");
  EXPECT_EQ(errorOf([&] { findStoredProperty(writeStoredForm({"TF", "F", {}}), "TLabel", "L", "Tag"); }),
            "Could not find the property");
  EXPECT_EQ(errorOf([&] { findStoredProperty("VXF0" + form.substr(4), "TPanel", "Panel1", "Caption"); }),
            "The data is not a stored form (no VXF1 signature)");
  EXPECT_EQ(errorOf([&] { findStoredProperty("VX", "TPanel", "Panel1", "Caption"); }),
            "The data is not a stored form (no VXF1 signature)");
}

TEST(StoredForm, NamesAValueTypeItDoesNotKnow) {
  // Type 99 in a skipped component, and in the wanted component before the property.
  for (const char* component : {"Panel1", "Dictionary1"}) {
    StoredForm f = decoyForm(stringValue("found"));
    auto& c = std::string(component) == "Panel1" ? f.components[0] : f.components[3];
    c.properties.insert(c.properties.begin(), {"Odd", integerValue(0)});
    std::string bytes = writeStoredForm(f);
    const std::string odd = std::string("\3Odd") + integerValue(0);
    bytes[bytes.find(odd) + 4] = 99;
    EXPECT_EQ(errorOf([&] { findStoredProperty(bytes, "TIvBinaryDictionary", "Dictionary1", "Languages"); }),
              "Unknown property value: 99")
        << component;
  }
  // The end marker is no value either.
  const std::string endMarker(1, '\0');
  FormReader r(endMarker);
  EXPECT_EQ(errorOf([&] { r.skipValue(); }), "Unknown property value: 0");
  // The writer only stores well-formed values.
  StoredForm bad{"TF", "F", {{"TC", "C", {{"P", integerValue(1).substr(0, 3)}}, {}}}};
  EXPECT_EQ(errorOf([&] { writeStoredForm(bad); }), "The value of the property P of C is not one stored value");
  FormWriter w;
  EXPECT_EQ(errorOf([&] { w.writeChar("ab"); }), "'ab' is not one character");
  EXPECT_EQ(errorOf([&] { w.writeName(std::string(256, 'n')); }).substr(0, 9), "The name ");
}

TEST(StoredForm, DataCutAtAnyLengthFailsCleanly) {
  vxtest::TempDir tmp;
  vxtest::writeAll(tmp.file("d.mld"), writeMLD(vxtest::makeDocument(), MLDWriteOptions{}));
  const EmbeddedDictionaryValues values = storeEmbeddedDictionary(tmp.file("d.mld"));
  StoredForm form = decoyForm(stringValue("x"));
  form.components.back() = embeddedDictionaryComponent("TIvBinaryDictionary", "Dictionary1", values);
  form.components.back().components.push_back(form.components.front());
  const std::string bytes = writeStoredForm(form);
  const EmbeddedDictionaryData full = readEmbeddedDictionary(bytes, "TIvBinaryDictionary", "Dictionary1");
  ASSERT_EQ(full.translations.size(), vxtest::makeDocument().Translations.size());
  ASSERT_EQ(full.locales.size(), 1u);
  // What follows the last property the reader needs may go without harm.
  const std::size_t needed = bytes.rfind(values.locales) + values.locales.size();
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    try {
      const EmbeddedDictionaryData cut = readEmbeddedDictionary(bytes.substr(0, n), "TIvBinaryDictionary", "Dictionary1");
      EXPECT_GE(n, needed);
      EXPECT_TRUE(cut.locales == full.locales && cut.languages == full.languages) << n;
    } catch (const EIvDictionaryError&) {
      EXPECT_LT(n, needed);
    }
  }
  EXPECT_EQ(errorOf([&] { readEmbeddedDictionary(bytes.substr(0, bytes.size() / 2), "TIvBinaryDictionary", "Dictionary1"); }),
            "The stored form data ends early");
}

TEST(StoredForm, TheProgramsResourceHoldsTheShippedDictionary) {
  // Made at build time by mldc compile and mldc embed from data/i18n.
  const std::string form = loadStoredFormResource("TFVXSysDn");
  EXPECT_EQ(readStoredFormHeader(form).second, "FVXSysDn");
  const EmbeddedDictionaryData data = readEmbeddedDictionary(form, "TIvBinaryDictionary", "Dictionary1");
  TIvMLDFile f;
  f.LoadFile(VX_TEST_EMBEDDED_MLD);  // the file the stored form was made from
  ASSERT_EQ(static_cast<int>(data.languages.size()), f.LanguageCount());
  EXPECT_EQ(data.languages[4].EnglishName, "English");
  EXPECT_EQ(static_cast<int>(data.translations.size()), f.TranslationCount());
  f.SeekTranslations();
  for (const MLDTranslationRow& row : data.translations) {
    TIvTranslation t;
    f.ReadTranslation(t, 1, 1252, -1);
    EXPECT_EQ(row.NativeText, t.NativeText);
    EXPECT_EQ(row.Texts[0], t.TextSource == ivtsNone ? "" : t.TranslatedText);
  }
  EXPECT_TRUE(data.locales.empty());
  EXPECT_EQ(errorOf([] { loadStoredFormResource("TNoSuchForm"); }),
            "The stored form TNoSuchForm is not among the program's resources");
}

TEST(StoredForm, MldcEmbedWritesTheComponentIntoAStoredForm) {
  vxtest::TempDir dir;
  vxtest::writeAll(dir.file("d.mld"), writeMLD(vxtest::makeDocument(), MLDWriteOptions{}));
  const auto run = [&](std::vector<std::string> args) { return vxtest::runTool("mldc", args, {}, dir.path()); };
  auto r = run({"embed", dir.file("d.mld"), "-o", dir.file("f.vxform"), "--form", "TFLogin:Login",
                "--component", "TIvBinaryDictionary:Dictionary1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string form = vxtest::readAll(dir.file("f.vxform"));
  EXPECT_EQ(readStoredFormHeader(form), std::make_pair(std::string("TFLogin"), std::string("Login")));
  const auto data = readEmbeddedDictionary(form, "TIvBinaryDictionary", "Dictionary1");
  EXPECT_EQ(data.languages.size(), 4u);
  expectRowsEqual(data.translations, vxtest::makeDocument().Translations);

  r = run({"embed", dir.file("d.mld"), "-o", dir.file("g.vxform"), "--form", "TFLogin", "--component", "Dictionary1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--component takes CLASS:NAME"), std::string::npos) << r.err;
  MLDWriteOptions utf16;
  utf16.utf16 = true;
  vxtest::writeAll(dir.file("u.mld"), writeMLD(vxtest::makeDocument(), utf16));
  r = run({"embed", dir.file("u.mld"), "-o", dir.file("g.vxform"), "--form", "TFLogin", "--component", "T:D"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Unicode not supported: Can not use a Unicode MLD file"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("g.vxform")));
}

}  // namespace
