#pragma once
// The tree of the library's units: reads the unit table on its database and arranges the
// units by their parent unit under the roots "This library" and "Other library" (the placing
// itself is UnitTree.h's). Read-only; each unit node carries its TNodeData.
//
// Errors are std::runtime_error with the prefix "TVXUnitTreeView: ".
#include "db/Query.h"
#include "db/Session.h"
#include "vxcomp/login/UnitTree.h"

#include <QTreeWidget>

#include <memory>
#include <optional>

class TVXUnitTreeView : public QTreeWidget {
  Q_OBJECT
  Q_PROPERTY(QString DatabaseName READ databaseNameText WRITE setDatabaseNameText)
  Q_PROPERTY(bool ViewThisLibrary READ ViewThisLibrary WRITE setViewThisLibrary)
  Q_PROPERTY(bool ViewOtherLibrary READ ViewOtherLibrary WRITE setViewOtherLibrary)
  Q_PROPERTY(bool Active READ Active WRITE setActive)
  Q_PROPERTY(bool ShowILLUnit READ ShowILLUnit WRITE setShowILLUnit)

 public:
  explicit TVXUnitTreeView(QWidget* parent = nullptr);
  ~TVXUnitTreeView() override;

  // The session whose database objects the tree's query finds (the program's by default).
  void setSession(vx::db::Session& session);

  const std::string& DatabaseName() const { return databaseName_; }
  void setDatabaseName(const std::string& name);
  QString databaseNameText() const { return QString::fromStdString(databaseName_); }
  void setDatabaseNameText(const QString& name) { setDatabaseName(name.toStdString()); }

  bool ViewThisLibrary() const { return viewThisLibrary_; }
  void setViewThisLibrary(bool on);
  bool ViewOtherLibrary() const { return viewOtherLibrary_; }
  void setViewOtherLibrary(bool on);
  bool ShowILLUnit() const { return showIllUnit_; }
  void setShowILLUnit(bool on) { showIllUnit_ = on; }

  bool Active() const { return active_; }
  // true: builds the query (once per activation) and fills the tree; false: empties it.
  void setActive(bool on);
  void RefreshTree();

  // Shows and selects the node of that unit; raises "Unable to select UnitId <id>".
  void SelectUnit(int unitId);
  // The selected unit's id, 0 when no unit node is selected.
  int SelectedUnitId() const;
  // Whether the selected unit is an ILL unit; raises "No unit selected" without one.
  bool SelectedIsILL() const;
  // The data of a node; none for a root (or no node).
  static std::optional<vx::login::TNodeData> nodeData(const QTreeWidgetItem* item);

  const vx::login::UnitList& UnitList() const { return unitList_; }

 private:
  void LoadUnits(QTreeWidgetItem* root, int thisLibrary);
  QTreeWidgetItem* addRoot(const QString& text, int image);
  void setImages(QTreeWidgetItem* item, int image);
  [[noreturn]] void fail(const QString& message) const;

  vx::db::Session* session_;
  std::unique_ptr<vx::db::Query> query_;
  vx::login::UnitList unitList_;
  std::vector<QIcon> images_;
  std::string databaseName_;
  bool viewThisLibrary_ = true;
  bool viewOtherLibrary_ = false;
  bool showIllUnit_ = false;
  bool active_ = false;
  bool hasIll_ = false;
};
