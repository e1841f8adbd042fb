// The program's dictionary read from a resource (big-endian, UTF-16) gives exactly what the
// file beside the executable (little-endian, 8-bit) gives.
#include "i18n/Dictionary.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

using namespace vx::i18n;

namespace {

TEST(ResourceDictionary, ReadsLikeTheFileBesideTheExecutable) {
  TIvBinaryDictionary fromFile, fromResource;
  fromFile.SetFileName(kProgramDictionaryFile);
  ASSERT_TRUE(fromFile.IsDataAvailable());
  EXPECT_EQ(fromFile.FileName(),
            QDir(QCoreApplication::applicationDirPath()).filePath(kProgramDictionaryFile));
  fromResource.SetStorage(TIvCustomFileDictionary::ivsResource);
  fromResource.SetFileName(kProgramDictionaryFile);
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
    ASSERT_EQ(ta.size(), tb.size());
    for (std::size_t i = 0; i < ta.size(); ++i) {
      EXPECT_EQ(ta[i].NativeText, tb[i].NativeText);
      EXPECT_EQ(ta[i].Context1 + "/" + ta[i].Context2, tb[i].Context1 + "/" + tb[i].Context2);
      EXPECT_EQ(ta[i].TranslatedText, tb[i].TranslatedText);
    }
  }
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
