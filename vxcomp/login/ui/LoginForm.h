#pragma once
// The login dialog: the database (an alias), user name and password, the unit to work for
// from the unit tree, and optionally the user-interface language.
//
// Two shapes: collapsed (credentials editable, tree hidden) and expanded (credentials locked,
// the dialog's own connection "VXLoginDb" open, the unit tree shown). "Change Unit >>"
// toggles between them; a connection that fails returns to collapsed and its message is shown.
// Login is possible only with a unit chosen; an ILL unit is refused.
#include "vxcomp/login/VXDatabase.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class TVXUnitTreeView;
namespace Ui {
class TLoginForm;
}
namespace vx::i18n {
class TIvDictionary;
class TIvTranslator;
}  // namespace vx::i18n

class TLoginForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpContext = 9301;

  explicit TLoginForm(vx::db::Session& session, QWidget* parent = nullptr);
  ~TLoginForm() override;

  QComboBox* DbCombo() const;
  QLineEdit* UserEdit() const;
  QLineEdit* PasswordEdit() const;
  QLineEdit* UnitEdit() const;
  QComboBox* CBLanguage() const;
  QPushButton* UnitBitBtn() const;
  QPushButton* LoginButton() const;
  QPushButton* CancelButton() const;
  TVXUnitTreeView* UnitTreeView() const;
  TVXDatabase& Database() { return *database_; }

  int UnitId = 0;
  QString UnitName;
  int LanguageIndex = 0;
  vx::i18n::TIvDictionary* Dictionary = nullptr;  // not owned
  int CollapsedHeight = 0;
  int ExpandedHeight = 0;

  bool TreeShown() const { return treeShown_; }
  const QString& LanguageCode() const { return languageCode_; }
  const QString& HelpFile() const { return helpFile_; }

  void SetUnitName(const QString& name);
  void SetLanguageCode(const QString& code);
  void SetLanguageIndex(int index);
  void UpdateButtons();
  void LoadUserUnit();
  void ShowUnitTree(bool show);
  void LockInputs();
  void FillLanguages();
  void UnitBitBtnClick();
  void UnitTreeViewChange();

  // Whether a program of this name must keep the dialog on top (the database upgrade tool).
  static bool staysOnTopFor(const QString& executableName);

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void setInputColours(bool locked);

  std::unique_ptr<Ui::TLoginForm> ui_;
  std::unique_ptr<TVXDatabase> database_;
  vx::i18n::TIvTranslator* translator_ = nullptr;
  int SavedUnitId = 0;
  QString SavedUnitName;
  bool treeShown_ = false;
  bool reselecting_ = false;
  QString languageCode_;
  QString helpFile_;
  std::vector<int> languagePositions_;
};
