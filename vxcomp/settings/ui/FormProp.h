#pragma once
// The suite's settings components: registry-backed values for a program (TVXRegistry) and
// the remembered placement of a window (TVXRegFormProperties), on the common base TVXReg.
//
// Values live in the registry (platform/Registry.h) under
//   [.DEFAULT]\Software\Vellumdex\<program>\<section>\<extra key>
// where ".DEFAULT" is there only for rhAllUsers, <program> is the running executable's file
// name without folder and extension, <section> is "General" for TVXRegistry and the owning
// window's object name for TVXRegFormProperties, and <extra key> is TVXRegistry's MyKey.
// Empty parts are left out.
//
// A window that carries these components creates them in code with their layout values
// (RootKey, MyKey, the placement flags) and then calls Loaded() on each: that is the point
// at which the key path is composed and the placement restored.
//
// The components are QObjects at global scope, as the suite's other TVX components.
//
// Every key is opened for one read or write and let go of right after; nothing is held open.
// Reads never create keys and never need write access. The components never throw.
#include "vxcomp/settings/ValueCodec.h"
#include "vxcomp/settings/Variant.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QString>

#include <string>


class TVXReg : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Active READ active WRITE setActive)
  Q_PROPERTY(TVXRegistryKeyHive RootKey READ rootKey WRITE setRootKey)

 public:
  enum TVXRegistryKeyHive { rhCurrentUser = 0, rhAllUsers = 1, rhMachine = 2 };
  Q_ENUM(TVXRegistryKeyHive)

  // The kinds a single value is read or written as, and their registry storage
  // (vxcomp/settings/ValueCodec.h).
  using ValueKind = vx::settings::ValueKind;

  // Active, RootKey rhCurrentUser. The owning window is the first QWidget window found by
  // walking up the QObject parents from `owner`.
  explicit TVXReg(QObject* owner = nullptr);
  ~TVXReg() override;

  // When false, every read gives null and every write does nothing (and succeeds).
  bool active() const { return active_; }
  void setActive(bool on) { active_ = on; }
  TVXRegistryKeyHive rootKey() const { return rootKey_; }
  // Recomposes an already composed key path, whose ".DEFAULT" prefix depends on the root.
  void setRootKey(TVXRegistryKeyHive root);

  // Design mode: the component is being edited rather than run; it composes nothing and
  // touches neither the registry nor its window.
  bool designing() const { return designing_; }
  void setDesigning(bool on) { designing_ = on; }

  // Loading from the layout has completed (see the file comment).
  virtual void Loaded() = 0;

  // The composed key path relative to the hive root, e.g. "\Software\Vellumdex\vxdown\General"
  // or ".DEFAULT\Software\Vellumdex\vxdown\General"; empty until composed.
  const std::string& keyPath() const { return keyPath_; }
  // The running program's file name without folder and extension ("" without an application).
  static std::string programName();
  QWidget* owningWindow() const { return window_; }

  // Reads one value as `kind`. `result` becomes null when the component is inactive, no key
  // path has been composed, or the key or the value does not exist; otherwise the value as
  // an Integer, String, Boolean, Currency, Date (date kinds) or Double (Float) variant.
  // Returns false, leaving `result` null, when the value is stored under a registry type
  // that does not fit the kind (or is not 8 bytes for the binary kinds).
  bool readValue(const std::string& name, ValueKind kind, vx::Variant& result) const;

  // Writes `value` as `kind`, replacing any value of that name. Date, DateTime and Time
  // keep the day, the day and time, or the time of day of the value; Float and the date
  // kinds keep the double exactly. A String variant is parsed for the numeric and date
  // kinds: first as locale-neutral text ("1234.5", ISO 8601 dates and times), then with the
  // user's regional settings. True when inactive (nothing is written). False when the
  // variant cannot be converted to the kind, no key path has been composed, or the registry
  // could not be written.
  bool writeValue(const std::string& name, ValueKind kind, const vx::Variant& value);
  // Why the last write that reached the registry failed ("" when it did not fail).
  const std::string& lastError() const { return lastError_; }

 protected:
  void findOwningWindow();
  void composeKeyPath();

  std::string section_;
  std::string extraKey_;
  std::string programName_;

 private:
  bool active_ = true;
  bool designing_ = false;
  TVXRegistryKeyHive rootKey_ = rhCurrentUser;
  QPointer<QWidget> window_;
  std::string keyPath_;
  std::string lastError_;
};

using TVXRegistryKeyHive = TVXReg::TVXRegistryKeyHive;
inline constexpr TVXRegistryKeyHive rhCurrentUser = TVXReg::rhCurrentUser;
inline constexpr TVXRegistryKeyHive rhAllUsers = TVXReg::rhAllUsers;
inline constexpr TVXRegistryKeyHive rhMachine = TVXReg::rhMachine;

// Named settings of the program as a whole, under the section "General" and MyKey.
class TVXRegistry : public TVXReg {
  Q_OBJECT
  Q_PROPERTY(QString MyKey READ myKey WRITE setMyKey)

 public:
  explicit TVXRegistry(QObject* owner = nullptr);

  QString myKey() const { return myKey_; }
  void setMyKey(const QString& key) { myKey_ = key; }

  // Composes the key path from the program name, "General" and MyKey. In design mode it
  // only makes the component active.
  void Loaded() override;

  // The variant's type chooses the kind: SmallInt, Integer -> Integer; Single, Double ->
  // Float; Currency; Date -> DateTime; Boolean; String -> String. Any other type returns
  // false and leaves the variant unchanged without touching the registry.
  // When the value exists it replaces `value` (with the kind's variant type: Integer,
  // Double, Currency, Date, Boolean or String); when it does not, `value` is kept as the
  // default and the result is true. A value stored under another registry type gives false
  // and keeps `value`.
  bool ReadSetting(const std::string& name, vx::Variant& value);

  // Writes `value` with the kind chosen as for ReadSetting. False for an unsupported type
  // (nothing is written) or when the value could not be stored; true when stored or when
  // the component is inactive.
  bool WriteSetting(const std::string& name, const vx::Variant& value);

 private:
  QString myKey_;
};

// Remembers the owning window's position, size and state under the section named after the
// window. Restores them in Loaded() and saves them when destroyed (which happens when the
// owning window, its QObject parent, is destroyed).
//
// Stored values, all REG_DWORD: "WindowState" (0 normal, 1 minimised, 2 maximised; when
// KeepWindowstate), "Height" and "Width" (QWidget::size(); when KeepWindowSize), "Top" and
// "Left" (QWidget::pos(), the frame's position; always).
//
// The window states its own automatic placement in the dynamic property "Position"
// ("poDesigned", "poScreenCenter", ...); with OverridePosition the restore sets it to
// "poDesigned", so that the stored or designed position counts.
//
// KeepOnScreen fits the whole window, frame included, into the primary screen's available
// area. A window manager frames a window only once it is shown, so the fit is done again
// when the shown window gets its frame (until then it watches the window's show, move and
// resize events; without a window manager a window never gets a frame and stays watched).
class TVXRegFormProperties : public TVXReg {
  Q_OBJECT
  Q_PROPERTY(bool OverridePosition READ overridePosition WRITE setOverridePosition)
  Q_PROPERTY(bool KeepOnScreen READ keepOnScreen WRITE setKeepOnScreen)
  Q_PROPERTY(bool KeepWindowstate READ keepWindowstate WRITE setKeepWindowstate)
  Q_PROPERTY(bool KeepWindowSize READ keepWindowSize WRITE setKeepWindowSize)

 public:
  // FromLayout: placed in a window's layout, flags start true, true, true, false.
  // ByCode: all four flags start false.
  enum Origin { FromLayout, ByCode };

  // Finds the owning window and composes a first key path (with RootKey rhCurrentUser).
  explicit TVXRegFormProperties(QObject* owner = nullptr, Origin origin = ByCode);
  // Saves the placement when active, not designing and the window still exists.
  ~TVXRegFormProperties() override;

  bool overridePosition() const { return overridePosition_; }
  void setOverridePosition(bool on) { overridePosition_ = on; }
  bool keepOnScreen() const { return keepOnScreen_; }
  void setKeepOnScreen(bool on) { keepOnScreen_ = on; }
  bool keepWindowstate() const { return keepWindowstate_; }
  void setKeepWindowstate(bool on) { keepWindowstate_ = on; }
  bool keepWindowSize() const { return keepWindowSize_; }
  void setKeepWindowSize(bool on) { keepWindowSize_ = on; }

  // Composes the key path again (now with the stored RootKey) and, when active and not
  // designing, restores the placement. Pending events are processed once on the way, after
  // the window state is set and before size and position are read.
  void Loaded() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The frame a window manager has put around the shown window; none before that.
  static QMargins frameMargins(const QWidget* window);
  void composeForWindow();
  void restorePlacement();
  void savePlacement();
  void keepWindowOnScreen();

  bool overridePosition_;
  bool keepOnScreen_;
  bool keepWindowstate_;
  bool keepWindowSize_;
};

