// The program's dictionary read from a resource (big-endian, UTF-16) and from the data
// embedded in a stored form gives exactly what the file beside the executable gives.
#include "i18n/Dictionary.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <memory>

using namespace vx::i18n;

namespace {

void expectSameTranslations(const std::vector<TIvTranslation>& a, const std::vector<TIvTranslation>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].NativeText, b[i].NativeText);
    EXPECT_EQ(a[i].Context1 + "/" + a[i].Context2, b[i].Context1 + "/" + b[i].Context2);
    EXPECT_EQ(a[i].TranslatedText, b[i].TranslatedText);
  }
}

TEST(ResourceDictionary, ReadsLikeTheFileBesideTheExecutable) {
  TIvBinaryDictionary fromFile, fromResource;
  fromFile.SetFileName("vxdown.mld");
  ASSERT_TRUE(fromFile.IsDataAvailable());
  EXPECT_EQ(fromFile.FileName(),
            QDir(QCoreApplication::applicationDirPath()).filePath("vxdown.mld"));
  fromResource.SetStorage(TIvCustomFileDictionary::ivsResource);
  fromResource.SetFileName("vxdown.mld");
  ASSERT_TRUE(fromResource.IsDataAvailable());
  ASSERT_EQ(fromResource.OpenDictionaryStream()->BigEndian(), true);
  ASSERT_EQ(fromResource.GetLanguageCount(), 5);

  std::vector<TIvLanguage> a, b;
  fromFile.GetLanguages(a);
  fromResource.GetLanguages(b);
  EXPECT_EQ(a, b);
  for (int language = 1; language <= 4; ++language) {
    fromFile.SetLanguage(language);
    fromResource.SetLanguage(language);
    fromFile.Open();
    fromResource.Open();
    const auto& ta = fromFile.Translations();
    const auto& tb = fromResource.Translations();
    ASSERT_FALSE(ta.empty());
    expectSameTranslations(ta, tb);
  }
}

// The host form of an embedded dictionary: its stored form is the resource
// ":/forms/TFEmbedHost".
std::unique_ptr<QObject> embedHost() {
  auto host = std::make_unique<QObject>();
  host->setProperty("VXClassName", "TFEmbedHost");
  return host;
}

TEST(EmbeddedDictionary, ReadsLikeTheFileItWasStoredFrom) {
  TIvBinaryDictionary fromFile;
  fromFile.SetFileName("vxdown.mld");
  const auto host = embedHost();
  auto* embedded = new TIvBinaryDictionary(host.get());
  embedded->setObjectName("IvBinaryDictionary1");
  embedded->SetStorage(TIvCustomFileDictionary::ivsEmbedded);
  ASSERT_EQ(embedded->OwnerFormClass(), "TFEmbedHost");
  ASSERT_TRUE(embedded->IsDataAvailable());
  ASSERT_EQ(embedded->GetLanguageCount(), fromFile.GetLanguageCount());
  EXPECT_EQ(embedded->GetTranslationCount(), fromFile.GetTranslationCount());
  EXPECT_EQ(embedded->GetLocaleCount(), 0);

  std::vector<TIvLanguage> a, b;
  fromFile.GetLanguages(a);
  embedded->GetLanguages(b);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].PrimaryId, b[i].PrimaryId);
    EXPECT_EQ(a[i].SubIds, b[i].SubIds);
    EXPECT_EQ(a[i].CodePage, b[i].CodePage);
    EXPECT_EQ(a[i].EnglishName, b[i].EnglishName);
    EXPECT_EQ(a[i].NativeName, b[i].NativeName);
  }
  for (int language = 1; language <= 4; ++language) {
    fromFile.SetLanguage(language);
    embedded->SetLanguage(language);
    fromFile.Open();
    embedded->Open();
    ASSERT_TRUE(embedded->ContextMode());
    const auto& ta = fromFile.Translations();
    const auto& tb = embedded->Translations();
    ASSERT_FALSE(ta.empty());
    expectSameTranslations(ta, tb);
  }
  QString text;
  EXPECT_TRUE(embedded->TranslateInContext("&File", "TFVXSysDn", "MnuFile", text));
  EXPECT_EQ(text, "&File");  // English
  try {
    TIvLocale locale;
    embedded->GetLocale(0, locale);
    ADD_FAILURE() << "a locale from a dictionary without custom locales";
  } catch (const EIvDictionaryError& e) {
    EXPECT_STREQ(e.what(), "No custom locales");
  }
}

TEST(EmbeddedDictionary, WithoutItsStoredDataNothingOpens) {
  // A component the stored form does not hold.
  const auto host = embedHost();
  auto* other = new TIvBinaryDictionary(host.get());
  other->setObjectName("IvBinaryDictionary2");
  other->SetStorage(TIvCustomFileDictionary::ivsEmbedded);
  try {
    other->Open();
    ADD_FAILURE() << "opened without stored data";
  } catch (const EIvDictionaryError& e) {
    EXPECT_STREQ(e.what(), "Could not find the property");
  }
  EXPECT_FALSE(other->Opened());
  // A form class without a stored form.
  QObject plain;
  plain.setProperty("VXClassName", "TFNoSuchForm");
  auto* orphan = new TIvBinaryDictionary(&plain);
  orphan->SetStorage(TIvCustomFileDictionary::ivsEmbedded);
  EXPECT_THROW(orphan->GetLanguageCount(), EIvDictionaryError);
}

TEST(ResourceDictionary, NeedsAFileNameLikeEveryStorage) {
  TIvBinaryDictionary d;
  d.SetStorage(TIvCustomFileDictionary::ivsResource);
  try {
    d.GetLanguageCount();
    ADD_FAILURE() << "read the resource without a FileName";
  } catch (const EIvDictionaryError& e) {
    EXPECT_STREQ(e.what(), "No FileName property set");
  }
}

}  // namespace
