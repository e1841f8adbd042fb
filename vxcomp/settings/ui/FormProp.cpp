#include "vxcomp/settings/ui/FormProp.h"

#include "platform/Registry.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

using vx::Variant;
namespace reg = vx::reg;

namespace {

reg::Hive hiveOf(TVXRegistryKeyHive root) {
  switch (root) {
    case TVXReg::rhAllUsers: return reg::Hive::Users;
    case TVXReg::rhMachine: return reg::Hive::LocalMachine;
    case TVXReg::rhCurrentUser: break;
  }
  return reg::Hive::CurrentUser;
}

}  // namespace

// --- TVXReg -----------------------------------------------------------------------------

TVXReg::TVXReg(QObject* owner) : QObject(owner) { findOwningWindow(); }

TVXReg::~TVXReg() = default;

void TVXReg::setRootKey(TVXRegistryKeyHive root) {
  rootKey_ = root;
  if (!keyPath_.empty()) composeKeyPath();
}

std::string TVXReg::programName() {
  if (!QCoreApplication::instance()) return {};
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

void TVXReg::findOwningWindow() {
  window_ = nullptr;
  for (QObject* o = parent(); o; o = o->parent()) {
    if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow()) {
      window_ = w;
      return;
    }
  }
}

void TVXReg::composeKeyPath() {
  std::string path = rootKey_ == rhAllUsers ? ".DEFAULT" : "";
  path += "\\Software\\Vellumdex";
  for (const std::string* part : {&programName_, &section_, &extraKey_}) {
    if (part->empty()) continue;
    path += '\\';
    path += *part;
  }
  keyPath_ = path;
}

bool TVXReg::readValue(const std::string& name, ValueKind kind, Variant& result) const {
  result = Variant::null();
  if (!active_ || keyPath_.empty()) return true;
  const auto stored = reg::readValue(hiveOf(rootKey_), keyPath_, name);
  if (!stored) return true;
  const auto decoded = vx::settings::decodeValue(kind, *stored);
  if (!decoded) return false;
  result = *decoded;
  return true;
  return false;
}

bool TVXReg::writeValue(const std::string& name, ValueKind kind, const Variant& value) {
  if (!active_) return true;
  if (keyPath_.empty()) return false;
  const std::optional<reg::Value> stored = vx::settings::encodeValue(kind, value);
  if (!stored) return false;
  const reg::Status written = reg::writeValue(hiveOf(rootKey_), keyPath_, name, *stored);
  lastError_ = written.why();
  return written.ok();
}

// --- TVXRegistry ------------------------------------------------------------------------

TVXRegistry::TVXRegistry(QObject* owner) : TVXReg(owner) {}

void TVXRegistry::Loaded() {
  if (designing()) {
    setActive(true);
    return;
  }
  section_ = "General";
  programName_ = programName();
  extraKey_ = myKey_.toStdString();
  composeKeyPath();
}

namespace {

std::optional<TVXReg::ValueKind> kindOf(Variant::Type t) {
  using T = Variant::Type;
  using K = TVXReg::ValueKind;
  switch (t) {
    case T::SmallInt:
    case T::Integer: return K::Integer;
    case T::Single:
    case T::Double: return K::Float;
    case T::Currency: return K::Currency;
    case T::Date: return K::DateTime;
    case T::Boolean: return K::Boolean;
    case T::String: return K::String;
    default: break;
  }
  return std::nullopt;
}

}  // namespace

bool TVXRegistry::ReadSetting(const std::string& name, Variant& value) {
  try {
    const auto kind = kindOf(value.type());
    if (!kind) return false;
    Variant result;
    if (!readValue(name, *kind, result)) return false;
    if (!result.isNull()) value = result;
    return true;
  } catch (...) {
    return false;
  }
}

bool TVXRegistry::WriteSetting(const std::string& name, const Variant& value) {
  try {
    const auto kind = kindOf(value.type());
    if (!kind) return false;
    return writeValue(name, *kind, value);
  } catch (...) {
    return false;
  }
}

// --- TVXRegFormProperties ---------------------------------------------------------------

TVXRegFormProperties::TVXRegFormProperties(QObject* owner, Origin origin)
    : TVXReg(owner),
      overridePosition_(origin == FromLayout),
      keepOnScreen_(origin == FromLayout),
      keepWindowstate_(origin == FromLayout),
      keepWindowSize_(false) {
  if (active()) composeForWindow();
}

TVXRegFormProperties::~TVXRegFormProperties() {
  if (active() && !designing() && owningWindow()) {
    try {
      savePlacement();
    } catch (...) {
      // A destructor has no one to tell; the placement is simply not remembered.
    }
  }
}

void TVXRegFormProperties::composeForWindow() {
  findOwningWindow();
  section_ = owningWindow() ? owningWindow()->objectName().toStdString() : "General";
  programName_ = programName();
  composeKeyPath();
}

void TVXRegFormProperties::Loaded() {
  if (designing()) return;
  composeForWindow();
  if (active() && owningWindow()) restorePlacement();
}

void TVXRegFormProperties::restorePlacement() {
  QWidget* w = owningWindow();
  // A value stored under another registry type counts as missing, so that a damaged entry
  // never keeps the window from opening.
  auto readInt = [this](const char* name) -> std::optional<int32_t> {
    Variant v;
    if (!readValue(name, ValueKind::Integer, v) || v.isNull()) return std::nullopt;
    return v.toInt();
  };

  if (overridePosition_) {
    const QVariant pos = w->property("Position");
    if (pos.isValid() && pos.toString() != QLatin1String("poDesigned"))
      w->setProperty("Position", QStringLiteral("poDesigned"));
  }

  const int32_t state = readInt("WindowState").value_or(0);
  if (keepWindowstate_) {
    const Qt::WindowStates others =
        w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (state == 0) w->setWindowState(others);
    if (state == 1) w->setWindowState(others | Qt::WindowMinimized);
    if (state == 2) w->setWindowState(others | Qt::WindowMaximized);
  }

  QCoreApplication::processEvents();
  w = owningWindow();  // a handler that ran may have closed and deleted it
  if (!w) return;

  if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
    return;
  if (keepWindowSize_) {
    if (const auto h = readInt("Height")) w->resize(w->width(), *h);
    if (const auto wd = readInt("Width")) w->resize(*wd, w->height());
  }
  if (const auto top = readInt("Top")) w->move(w->pos().x(), *top);
  if (const auto left = readInt("Left")) w->move(*left, w->pos().y());
  if (keepOnScreen_) {
    keepWindowOnScreen();
    // A window that is not shown yet, or not yet framed by the window manager, is fitted
    // again as soon as its frame is known (see eventFilter).
    if (frameMargins(w).isNull()) w->installEventFilter(this);
  }
}

void TVXRegFormProperties::keepWindowOnScreen() {
  QWidget* w = owningWindow();
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!w || !screen) return;
  // The whole window counts, with the frame (title bar and borders) that a window manager
  // puts around it, and only the part of the screen that panels leave free.
  const QRect area = screen->availableGeometry();
  const QMargins frame = frameMargins(w);
  const int frameWidth = frame.left() + frame.right();
  const int frameHeight = frame.top() + frame.bottom();
  if (w->height() + frameHeight > area.height())
    w->resize(w->width(), std::max(1, area.height() - frameHeight));
  if (w->width() + frameWidth > area.width())
    w->resize(std::max(1, area.width() - frameWidth), w->height());
  const int outerWidth = w->width() + frameWidth;
  const int outerHeight = w->height() + frameHeight;
  // pos() is the frame's top-left corner.
  int top = w->pos().y();
  int left = w->pos().x();
  if (top < area.top()) top = area.top();
  if (left < area.left()) left = area.left();
  if (top + outerHeight > area.top() + area.height()) top = area.top() + area.height() - outerHeight;
  if (left + outerWidth > area.left() + area.width()) left = area.left() + area.width() - outerWidth;
  if (QPoint(left, top) != w->pos()) w->move(left, top);
}

QMargins TVXRegFormProperties::frameMargins(const QWidget* w) {
  const QWindow* handle = w->windowHandle();
  return handle && w->isVisible() ? handle->frameMargins() : QMargins();
}

bool TVXRegFormProperties::eventFilter(QObject* watched, QEvent* event) {
  QWidget* w = owningWindow();
  if (watched == w && w->isVisible() &&
      (event->type() == QEvent::Show || event->type() == QEvent::Move ||
       event->type() == QEvent::Resize)) {
    // The frame is known once the window manager has framed the shown window; until then
    // the window was fitted with its inner size alone, and is fitted again now.
    const bool framed = !frameMargins(w).isNull();
    if (framed) w->removeEventFilter(this);
    keepWindowOnScreen();
  }
  return TVXReg::eventFilter(watched, event);
}

void TVXRegFormProperties::savePlacement() {
  QWidget* w = owningWindow();
  if (keepWindowstate_) {
    const Qt::WindowStates s = w->windowState();
    const int32_t state = (s & Qt::WindowMinimized) ? 1 : (s & Qt::WindowMaximized) ? 2 : 0;
    writeValue("WindowState", ValueKind::Integer, Variant::fromInt(state));
  }
  if (keepWindowSize_) {
    writeValue("Height", ValueKind::Integer, Variant::fromInt(w->height()));
    writeValue("Width", ValueKind::Integer, Variant::fromInt(w->width()));
  }
  writeValue("Top", ValueKind::Integer, Variant::fromInt(w->pos().y()));
  writeValue("Left", ValueKind::Integer, Variant::fromInt(w->pos().x()));
}

