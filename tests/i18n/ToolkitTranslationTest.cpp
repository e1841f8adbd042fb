// Qt's own texts in the dictionary's language: Qt's catalogue from the translations folder
// first, the dictionary's rows for Qt's texts where it has none, following each change of
// language, and nothing for the texts of the program's forms.
#include "i18n/ToolkitTranslation.h"

#include "i18n/Dictionary.h"
#include "tests/support/QtPrinters.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeySequence>

#include <gtest/gtest.h>

using namespace vx::i18n;

namespace {

QString tr(const char* context, const char* text) { return QCoreApplication::translate(context, text); }

struct Case {
  int language;
  const char* catalogue;  // Qt's catalogue in use
  const char* yes;        // a message box's Yes
  const char* lookIn;     // the file dialog's "Look in:"
  const char* keys;       // Space and Tab as a menu names them
};

const Case kCases[] = {
    {1, "", "&Ja", "Søk i:", "Mellomrom, Tab"},  // Bokmål: no catalogue of Qt's; the dictionary's
    {2, "qt_sv.qm", "&Ja", "Leta i:", "Blanksteg, Tabb"},  // Qt's older catalogue lacks both
    {3, "qtbase_da.qm", "&Ja", "Kig i:", "Mellemrum, Tab"},  // Qt's "Kig i:" before the dictionary's
    {4, "qtbase_en.qm", "&Yes", "Look in:", "Space, Tab"},
};

}  // namespace

TEST(ToolkitTranslation, QtsCatalogueFirstThenTheDictionaryInTheCurrentLanguage) {
  TIvBinaryDictionary dictionary;
  dictionary.SetFileName(kProgramDictionaryFile);
  ToolkitTranslation toolkit(dictionary);
  dictionary.Open();
  ASSERT_TRUE(dictionary.Opened()) << "vxdown.mld was not found beside the tests";
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.language);
    dictionary.SetLanguage(c.language);
    EXPECT_EQ(QFileInfo(toolkit.catalogueFile()).fileName(), c.catalogue);
    EXPECT_EQ(tr("QPlatformTheme", "&Yes"), QString::fromUtf8(c.yes));
    EXPECT_EQ(tr("QFileDialog", "Look in:"), QString::fromUtf8(c.lookIn));
    // The key names stay the dictionary's, whatever Qt's catalogue calls them.
    EXPECT_EQ(QKeySequence(Qt::Key_Space, Qt::Key_Tab).toString(QKeySequence::NativeText),
              QString::fromUtf8(c.keys));
    // The program's forms are the form translator's, which reads their design texts.
    EXPECT_EQ(tr("TVXImport", "Import Data"), "Import Data");
  }
  dictionary.Close();
  EXPECT_EQ(toolkit.catalogueFile(), "");
  EXPECT_EQ(tr("QPlatformTheme", "&Yes"), "&Yes");
}
