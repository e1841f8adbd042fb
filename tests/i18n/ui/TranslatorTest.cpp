// The translator on a real form (offscreen): a window with a menu, a group box, a label, a
// line edit, a combo box, a list, a memo and a status bar, translated through a dictionary
// with two languages and back.
#include "i18n/ui/Translator.h"
#include "tests/i18n/ui/FakeSource.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace vx::i18n;
using vxtest::FakeSource;

namespace {

// A memo whose contents are a list of lines, as the program's memos are.
class LinesMemo : public QPlainTextEdit {
  Q_OBJECT
  Q_PROPERTY(QStringList Lines READ lines WRITE setLines)
 public:
  using QPlainTextEdit::QPlainTextEdit;
  QStringList lines() const { return lines_; }
  void setLines(const QStringList& l) {
    lines_ = l;
    setPlainText(l.join('\n'));
  }

 private:
  QStringList lines_;
};

class TestForm : public QMainWindow {
 public:
  TestForm() {
    setObjectName("FTest");
    setProperty("VXClassName", "TFTest");
    setWindowTitle("Circulation");
    resize(400, 300);
    menu = menuBar()->addMenu("&File");
    menu->setObjectName("mnuFile");
    open = new QAction("&Open ...", this);
    open->setObjectName("mnuOpen");
    exitAction = new QAction("E&xit", this);
    exitAction->setObjectName("mnuExit");
    menu->addAction(open);
    menu->addAction(exitAction);

    auto* central = new QWidget(this);
    central->setObjectName("Panel1");
    setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    group = new QGroupBox("&Borrower", central);
    group->setObjectName("grpBorrower");
    group->setMinimumHeight(60);
    edit = new QLineEdit(group);  // placed by position, not by a layout
    edit->setObjectName("eBorrower");
    edit->setGeometry(20, 20, 100, 21);
    edit->setText("Scan here");
    layout->addWidget(group);
    label = new QLabel("Item", central);
    label->setObjectName("lItem");
    label->setToolTip("Items of the borrower");
    layout->addWidget(label);
    button = new QPushButton("&Done", central);
    button->setObjectName("btDone");
    layout->addWidget(button);
    combo = new QComboBox(central);
    combo->setObjectName("cbUnit");
    combo->addItems({"Main library", "Branch", "Bookmobile"});
    combo->setCurrentIndex(1);
    layout->addWidget(combo);
    list = new QListWidget(central);
    list->setObjectName("lbUnits");
    list->addItems({"Main library", "Branch"});
    list->setCurrentRow(1);
    layout->addWidget(list);
    memo = new LinesMemo(central);
    memo->setObjectName("mItems");
    memo->setLines({"Item", "Branch"});
    layout->addWidget(memo);
    statusBar()->setObjectName("sbMain");
    statusBar()->showMessage("Ready");
  }

  QMenu* menu;
  QAction* open;
  QAction* exitAction;
  QGroupBox* group;
  QLineEdit* edit;
  QLabel* label;
  QPushButton* button;
  QComboBox* combo;
  QListWidget* list;
  LinesMemo* memo;
};

TIvTargetProperties targets() {
  TIvTargetProperties t = mainWindowTargets();
  t.add("", "Items");
  return t;
}

class Translator : public ::testing::Test {
 protected:
  void SetUp() override {
    // Language 1 (Norwegian), language 2 (Swedish).
    for (auto [native, no, sv] : std::initializer_list<std::tuple<const char*, const char*, const char*>>{
             {"Circulation", "Utlån", "Utlåning"},
             {"&File", "&Fil", "&Arkiv"},
             {"&Open ...", "&Åpne ...", "&Öppna ..."},
             {"&Borrower", "&Låner", "&Låntagare"},
             {"Item", "Eksemplar", "Exemplar"},
             {"Items of the borrower", "Lånerens eksemplarer", "Låntagarens exemplar"},
             {"&Done", "&Ferdig", "&Klar"},
             {"Main library", "Hovedbibliotek", "Huvudbibliotek"},
             {"Branch", "Filial", "Filial"},
             {"Ready", "Klar", "Redo"},
         }) {
      source.add(1, native, no);
      source.add(2, native, sv);
    }
    // Held without its accelerator only.
    source.add(1, "Exit", "Avslutt");
    source.add(2, "Exit", "Avsluta");
    translator = new TIvTranslator(&form);
    translator->setObjectName("IvTranslator1");
    translator->setDictionaryName("Dictionary1");
    translator->setTargets(targets());
  }

  void expectNorwegian() {
    EXPECT_EQ(form.windowTitle(), "Utlån");
    EXPECT_EQ(form.menu->title(), "&Fil");
    EXPECT_EQ(form.open->text(), "&Åpne ...");
    EXPECT_EQ(form.group->title(), "&Låner");
    EXPECT_EQ(form.label->text(), "Eksemplar");
    EXPECT_EQ(form.label->toolTip(), "Lånerens eksemplarer");
    EXPECT_EQ(form.button->text(), "&Ferdig");
    EXPECT_EQ(form.combo->itemText(0), "Hovedbibliotek");
    EXPECT_EQ(form.list->item(0)->text(), "Hovedbibliotek");
    EXPECT_EQ(form.memo->lines(), (QStringList{"Eksemplar", "Filial"}));
    EXPECT_EQ(form.statusBar()->currentMessage(), "Klar");
  }
  void expectNative() {
    EXPECT_EQ(form.windowTitle(), "Circulation");
    EXPECT_EQ(form.menu->title(), "&File");
    EXPECT_EQ(form.open->text(), "&Open ...");
    EXPECT_EQ(form.group->title(), "&Borrower");
    EXPECT_EQ(form.label->text(), "Item");
    EXPECT_EQ(form.label->toolTip(), "Items of the borrower");
    EXPECT_EQ(form.combo->itemText(0), "Main library");
    EXPECT_EQ(form.list->item(0)->text(), "Main library");
    EXPECT_EQ(form.memo->lines(), (QStringList{"Item", "Branch"}));
    EXPECT_EQ(form.statusBar()->currentMessage(), "Ready");
    EXPECT_EQ(form.edit->text(), "Scan here");
  }

  FakeSource source;
  TestForm form;
  TIvTranslator* translator = nullptr;
};

TEST_F(Translator, SwitchingThereAndBackGivesTheSameTexts) {
  source.setLanguage(1);
  translator->Loaded();
  ASSERT_TRUE(translator->isOpened());
  expectNorwegian();

  source.setLanguage(2);
  EXPECT_EQ(form.windowTitle(), "Utlåning");
  EXPECT_EQ(form.menu->title(), "&Arkiv");
  EXPECT_EQ(form.group->title(), "&Låntagare");
  EXPECT_EQ(form.memo->lines(), (QStringList{"Exemplar", "Filial"}));
  EXPECT_EQ(form.statusBar()->currentMessage(), "Redo");

  source.setLanguage(1);
  expectNorwegian();
  source.setLanguage(0);
  expectNative();
  // The menu's own action is not a second copy of the title.
  EXPECT_EQ(form.menu->menuAction()->text(), "&File");
}

TEST_F(Translator, MenuTextsKeepOrFallBackForTheirAccelerator) {
  source.setLanguage(1);
  translator->Open();
  EXPECT_EQ(form.open->text(), "&Åpne ...");
  // The dictionary holds "Exit" only without its "&": that entry is used.
  EXPECT_EQ(form.exitAction->text(), "Avslutt");
  source.setLanguage(2);
  EXPECT_EQ(form.exitAction->text(), "Avsluta");
  source.setLanguage(0);
  EXPECT_EQ(form.exitAction->text(), "E&xit");
  // A label is not a menu item: its text is looked up only as it is.
  form.label->setText("E&xit");
  source.setLanguage(1);
  EXPECT_EQ(form.label->text(), "E&xit");
}

TEST_F(Translator, TextsSetByTheProgramAreTheNewNativeTexts) {
  source.setLanguage(1);
  translator->Open();
  form.statusBar()->showMessage("Item");  // set at run time, in the native language
  form.label->setText("Branch");
  source.setLanguage(2);
  EXPECT_EQ(form.statusBar()->currentMessage(), "Exemplar");
  EXPECT_EQ(form.label->text(), "Filial");
  const auto& table = translator->table();
  EXPECT_TRUE(std::any_of(table.begin(), table.end(), [&](const TIvTranslator::TableItem& row) {
    return row.object == form.statusBar() && row.propertyName == "SimpleText" && row.nativeText == "Item" &&
           row.currentText == "Exemplar" && row.componentName == "sbMain";
  }));
  source.setLanguage(0);
  EXPECT_EQ(form.statusBar()->currentMessage(), "Item");
  EXPECT_EQ(form.label->text(), "Branch");
}

TEST_F(Translator, ListsKeepTheirSelection) {
  form.list->item(0)->setSelected(true);
  source.setLanguage(1);
  translator->Open();
  EXPECT_EQ(form.combo->currentIndex(), 1);
  EXPECT_EQ(form.combo->currentText(), "Filial");
  EXPECT_EQ(form.combo->itemText(2), "Bookmobile");  // no translation: kept
  EXPECT_EQ(form.list->currentRow(), 1);
  EXPECT_TRUE(form.list->item(0)->isSelected());

  // A hidden combo box is left as it is.
  form.combo->hide();
  source.setLanguage(2);
  EXPECT_EQ(form.combo->itemText(0), "Hovedbibliotek");
  EXPECT_EQ(form.list->item(0)->text(), "Huvudbibliotek");
  form.combo->show();
  source.setLanguage(0);
  EXPECT_EQ(form.combo->itemText(0), "Main library");
  EXPECT_EQ(form.combo->currentIndex(), 1);
}

TEST_F(Translator, OnlyTargetedPropertiesAreTranslated) {
  TIvTargetProperties t;
  t.add("", "Caption");
  t.add("QGroupBox", "Caption", TargetKind::Exclude);
  translator->setTargets(t);
  source.setLanguage(1);
  translator->Open();
  EXPECT_EQ(form.label->text(), "Eksemplar");
  EXPECT_EQ(form.group->title(), "&Borrower");
  EXPECT_EQ(form.label->toolTip(), "Items of the borrower");
  EXPECT_EQ(form.combo->itemText(0), "Main library");
  EXPECT_EQ(form.statusBar()->currentMessage(), "Ready");
  EXPECT_EQ(form.objectName(), "FTest");
}

TEST_F(Translator, FileDialogFilterAndTitleAreProperties) {
  auto* dialog = new QObject(&form);
  dialog->setObjectName("OpenDialog1");
  dialog->setProperty("Filter", "Workfiles (*.csv)|*.csv");
  dialog->setProperty("Title", "Choose workfile");
  dialog->setProperty("Name", "Branch");  // a component's name is never a text
  source.add(1, "Workfiles (*.csv)|*.csv", "Arbeidsfiler (*.csv)|*.csv");
  source.add(1, "Choose workfile", "Velg arbeidsfil");
  TIvTargetProperties t = targets();
  t.add("", "Name");
  translator->setTargets(t);
  source.setLanguage(1);
  translator->Open();
  EXPECT_EQ(dialog->property("Filter").toString(), "Arbeidsfiler (*.csv)|*.csv");
  EXPECT_EQ(dialog->property("Title").toString(), "Velg arbeidsfil");
  EXPECT_EQ(dialog->property("Name").toString(), "Branch");
  source.setLanguage(0);
  EXPECT_EQ(dialog->property("Title").toString(), "Choose workfile");
}

TEST_F(Translator, MemoTextIsLookedUpWithoutTrailingLineBreaks) {
  auto* note = new QPlainTextEdit(form.centralWidget());
  note->setObjectName("mNote");
  note->setPlainText("Scan the borrower\nthen the items\r\n\n");
  source.add(1, "Scan the borrower\nthen the items", "Skann låneren\nså eksemplarene");
  source.setLanguage(1);
  translator->Open();
  EXPECT_EQ(note->toPlainText(), "Skann låneren\nså eksemplarene");
  source.setLanguage(0);
  EXPECT_EQ(note->toPlainText(), "Scan the borrower\nthen the items");
}

TEST_F(Translator, ContextLookupsComeFirst) {
  source.addInContext(1, "Item", "TFTest", "lItem", "Eks.");
  source.setLanguage(1);
  translator->Open();
  EXPECT_EQ(form.label->text(), "Eks.");
  // Other components with the same native text fall back to the plain lookup.
  EXPECT_EQ(form.memo->lines().first(), "Eksemplar");
}

TEST_F(Translator, RightToLeftLanguageMirrorsPlacedControls) {
  source.setPrimaryLanguage(3, 13);  // Hebrew
  source.add(3, "Item", "פריט");
  source.setLanguage(1);
  translator->Open();
  form.show();
  const int width = form.group->contentsRect().width();
  ASSERT_GT(width, 0);
  EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);

  source.setLanguage(3);
  EXPECT_EQ(form.label->text(), "פריט");
  EXPECT_EQ(form.layoutDirection(), Qt::RightToLeft);
  EXPECT_EQ(form.menu->layoutDirection(), Qt::RightToLeft);
  EXPECT_TRUE(translator->state() & TIvCustomTranslator::Mirrored);
  EXPECT_EQ(form.edit->x(), width - 100 - 20);

  source.setLanguage(3);  // again: mirrored once only
  EXPECT_EQ(form.edit->x(), width - 100 - 20);

  source.setLanguage(2);
  EXPECT_EQ(form.edit->x(), 20);
  EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);
  EXPECT_FALSE(translator->state() & TIvCustomTranslator::Mirrored);
}

TEST_F(Translator, LocalePropertyFollowsOnlyWhenAskedOrWhenTheReadingOrderChanges) {
  auto* calendar = new QObject(&form);
  calendar->setObjectName("Calendar1");
  calendar->setProperty("Locale", 0);
  source.setLocaleId(1, 0x414);
  source.setLocaleId(2, 0x41D);
  source.setLocaleId(3, 0x40D);
  source.setPrimaryLanguage(3, 13);  // Hebrew
  source.setLanguage(1);
  translator->Open();
  EXPECT_EQ(calendar->property("Locale").toInt(), 0);
  source.setLanguage(3);  // the reading order changes
  EXPECT_EQ(calendar->property("Locale").toInt(), 0x40D);
  source.setLanguage(3);  // stays right to left: left alone
  calendar->setProperty("Locale", 7);
  source.setLanguage(3);
  EXPECT_EQ(calendar->property("Locale").toInt(), 7);
  source.setLanguage(1);  // back to left to right
  EXPECT_EQ(calendar->property("Locale").toInt(), 0x414);
  translator->setOptions(translator->options() | ivtoUpdateLocaleProperty);
  source.setLanguage(2);
  EXPECT_EQ(calendar->property("Locale").toInt(), 0x41D);
}

TEST_F(Translator, LanguageFontAndBackToTheDesignFont) {
  QFont design = form.font();
  design.setFamily("DejaVu Sans");
  design.setPointSize(9);
  form.setFont(design);
  source.setFont(2, "Noto Sans", 12);
  source.setLanguage(1);
  translator->Open();
  EXPECT_EQ(form.font().pointSize(), 9);
  source.setLanguage(2);
  EXPECT_EQ(form.font().family(), "Noto Sans");
  EXPECT_EQ(form.font().pointSize(), 12);
  source.setLanguage(1);
  EXPECT_EQ(form.font().family(), "DejaVu Sans");
  EXPECT_EQ(form.font().pointSize(), 9);
}

TEST_F(Translator, MultiByteLanguageScalesTheFormOnce) {
  translator->setMultiByteScale(150);
  source.setPrimaryLanguage(4, 17);  // Japanese
  source.setLanguage(1);
  translator->Open();
  form.show();
  const QSize size = form.size();
  int scaledCount = 0;
  QObject::connect(translator, &TIvTranslator::scaled, [&] { ++scaledCount; });
  source.setLanguage(4);
  EXPECT_EQ(form.edit->geometry(), QRect(30, 30, 150, 32));
  EXPECT_EQ(form.size(), size * 3 / 2);
  source.setLanguage(4);
  EXPECT_EQ(form.edit->geometry(), QRect(30, 30, 150, 32));
  source.setLanguage(1);
  EXPECT_EQ(form.edit->geometry(), QRect(20, 20, 100, 21));
  EXPECT_EQ(scaledCount, 2);
}

TEST_F(Translator, RevertAndRestoreNativeBringBackTheDesignTexts) {
  source.setLanguage(1);
  translator->Open();
  expectNorwegian();
  translator->Revert();
  EXPECT_FALSE(translator->isOpened());
  EXPECT_EQ(translator->dictionary(), nullptr);
  expectNative();
  EXPECT_TRUE(source.translators().empty());

  translator->Open();
  expectNorwegian();
  translator->RestoreNative();
  expectNative();
  EXPECT_EQ(source.language(), 1);  // the dictionary itself keeps its language
  source.setLanguage(2);            // a closed translator is not re-run
  expectNative();
}

TEST_F(Translator, NothingHappensWithoutDataOrTargets) {
  source.setDataAvailable(false);
  source.setLanguage(1);
  translator->Open();
  EXPECT_FALSE(translator->isOpened());
  EXPECT_EQ(form.label->text(), "Item");
  source.setDataAvailable(true);
  translator->setTargets({});
  translator->Open();
  EXPECT_FALSE(translator->isOpened());
  EXPECT_EQ(form.label->text(), "Item");
}

TEST(TranslatorLinks, NoDictionaryAtAllIsAnError) {
  QWidget form;
  form.setObjectName("FVXSysDn");
  TIvTranslator translator(&form);
  translator.setObjectName("IvTranslator1");
  translator.setTargets(mainWindowTargets());
  translator.Loaded();  // auto-open needs a dictionary: nothing happens
  EXPECT_FALSE(translator.isOpened());
  try {
    translator.Open();
    FAIL() << "opened without a dictionary";
  } catch (const EIvMulti& e) {
    EXPECT_STREQ(e.what(),
                 "No dictionary has been assigned to the translator component (IvTranslator1 on \"FVXSysDn\" form)");
  }
}

TEST(TranslatorLinks, ADictionaryGoingAwayClearsEveryLink) {
  QWidget form;
  auto* label = new QLabel("Item", &form);
  label->setObjectName("lItem");
  auto open = std::make_unique<TIvTranslator>(&form);
  auto linkedOnly = std::make_unique<TIvTranslator>(&form);
  open->setTargets(mainWindowTargets());
  {
    FakeSource other("Other");
    FakeSource source;
    source.add(1, "Item", "Eksemplar");
    source.setLanguage(1);
    linkedOnly->setDictionaryName("Dictionary1");
    EXPECT_EQ(linkedOnly->dictionary(), &source);
    open->Open();  // no name: the first dictionary there is
    EXPECT_EQ(open->dictionary(), &other);
    open->setDictionaryName("Dictionary1");  // relinking reverts first
    open->Open();
    EXPECT_EQ(open->dictionary(), &source);
    EXPECT_EQ(label->text(), "Eksemplar");
  }
  EXPECT_EQ(open->dictionary(), nullptr);
  EXPECT_FALSE(open->isOpened());
  EXPECT_EQ(linkedOnly->dictionary(), nullptr);
  open.reset();
  linkedOnly.reset();
}

}  // namespace

#include "TranslatorTest.moc"
