// Which (class, property) pairs a translator translates, and the stored form of the list.
#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/TranslationSource.h"

#include <gtest/gtest.h>

using namespace vx::i18n;

TEST(TargetProperties, MatchingByClassAndProperty) {
  TIvTargetProperties t;
  t.add("", "Caption");
  t.add("TRichEdit", "Text");
  t.add("TListBox", "");
  EXPECT_TRUE(t.accepts("QLabel", "caption"));  // case does not matter
  EXPECT_TRUE(t.accepts("TRichEdit", "Text"));
  EXPECT_TRUE(t.accepts("trichedit", "TEXT"));
  // Only the object's own class name counts, not a descendant of another name.
  EXPECT_FALSE(t.accepts("TVXRichEdit", "Text"));
  EXPECT_TRUE(t.accepts("TListBox", "Items"));
  EXPECT_TRUE(t.accepts("TListBox", "Hint"));
  EXPECT_FALSE(t.accepts("TComboBox", "Items"));
  EXPECT_FALSE(TIvTargetProperties().accepts("QLabel", "Caption"));
}

TEST(TargetProperties, ExcludesWinOverIncludes) {
  TIvTargetProperties t;
  t.add("", "Caption");
  t.add("TButton", "Caption", TargetKind::Exclude);
  EXPECT_EQ(t.excludeCount(), 1);
  EXPECT_TRUE(t.accepts("TLabel", "Caption"));
  EXPECT_FALSE(t.accepts("TButton", "Caption"));
}

TEST(TargetProperties, StoredFormRoundTripsAndDropsDuplicates) {
  TIvTargetProperties t = mainWindowTargets();
  t.add("TMemo", "", TargetKind::Exclude);
  const QVariantList stored = t.write();
  ASSERT_EQ(stored.size(), 2 + 8);
  EXPECT_EQ(stored[0].toInt(), 1);
  EXPECT_EQ(stored[1].toInt(), 8);
  EXPECT_EQ(stored[2].toList(), (QVariantList{"*", "Hint", 0}));
  EXPECT_EQ(stored[9].toList(), (QVariantList{"TMemo", "*", 1}));

  QVariantList withDuplicates = stored;
  withDuplicates[1] = 10;
  withDuplicates.append(QVariant(QVariantList{"*", "Hint", 0}));
  withDuplicates.append(QVariant(QVariantList{"*", "hint", 0}));  // differs in case: kept
  TIvTargetProperties back;
  back.read(withDuplicates);
  EXPECT_EQ(back.count(), 9);
  EXPECT_EQ(back.excludeCount(), 1);
  EXPECT_EQ(back.entries()[0], (TIvTargetProperty{"", "Hint", TargetKind::Include}));
  EXPECT_EQ(back.entries()[7], (TIvTargetProperty{"TMemo", "", TargetKind::Exclude}));
  EXPECT_EQ(back.entries()[8].propertyName, "hint");
}

TEST(TargetProperties, RejectsUnknownVersionAndBrokenListsWithoutChangingEntries) {
  TIvTargetProperties t = mainWindowTargets();
  try {
    t.read({2, 0});
    FAIL() << "version 2 was accepted";
  } catch (const EIvMulti& e) {
    EXPECT_STREQ(e.what(), "Unknown target properties data version: 2");
  }
  EXPECT_THROW(t.read({1, 3, QVariant(QVariantList{"*", "Hint", 0})}), EIvMulti);  // count beyond the list
  EXPECT_THROW(t.read({1, 1, QVariant(QVariantList{"*", "Hint"})}), EIvMulti);     // short entry
  EXPECT_THROW(t.read({1, 1, QVariant(QVariantList{"*", "Hint", 7})}), EIvMulti);  // unknown kind
  EXPECT_THROW(t.read({}), EIvMulti);
  EXPECT_EQ(t.count(), 7);
}

TEST(TargetProperties, ReadsTheOlderStoredForm) {
  TIvTargetProperties t;
  t.readOldData({3, "*", "Caption", "TMemo", "Lines", "*", "Caption"});
  ASSERT_EQ(t.count(), 2);
  EXPECT_EQ(t.excludeCount(), 0);
  EXPECT_TRUE(t.accepts("X", "Caption"));
  EXPECT_TRUE(t.accepts("TMemo", "Lines"));
  EXPECT_THROW(t.readOldData({4, "*", "Caption"}), EIvMulti);
}
