#include "vxcomp/settings/FormProp.h"

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

constexpr double kCurrencyScale = 10000.0;
// 1899-12-30, day 0 of the date-time double.
const QDate kDayZero(1899, 12, 30);

reg::Hive hiveOf(TVXRegistryKeyHive root) {
  switch (root) {
    case TVXReg::rhAllUsers: return reg::Hive::Users;
    case TVXReg::rhMachine: return reg::Hive::LocalMachine;
    case TVXReg::rhCurrentUser: break;
  }
  return reg::Hive::CurrentUser;
}

std::vector<uint8_t> littleEndian(uint64_t bits) {
  std::vector<uint8_t> out(8);
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<uint8_t>(bits >> (8 * i));
  return out;
}

uint64_t fromLittleEndian(const std::vector<uint8_t>& b) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | b[static_cast<std::size_t>(i)];
  return bits;
}

std::vector<uint8_t> doubleBytes(double d) {
  uint64_t bits = 0;
  std::memcpy(&bits, &d, sizeof bits);
  return littleEndian(bits);
}

double bytesDouble(const std::vector<uint8_t>& b) {
  const uint64_t bits = fromLittleEndian(b);
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// The shortest text that reads back to exactly the same double, whatever the locale.
std::string realText(double d) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}

std::optional<double> parseReal(const std::string& s) {
  const std::string t = QString::fromStdString(s).trimmed().toStdString();
  if (t.empty()) return std::nullopt;
  double d = 0;
  const auto res = std::from_chars(t.data(), t.data() + t.size(), d);
  if (res.ec == std::errc() && res.ptr == t.data() + t.size()) return d;
  bool ok = false;
  d = QLocale::system().toDouble(QString::fromStdString(t), &ok);
  if (ok) return d;
  return std::nullopt;
}

// Date-time text: ISO 8601 (date, date and time, or time), else the user's short and long
// formats; then a plain day number.
std::optional<double> parseDateTime(const std::string& s) {
  const QString t = QString::fromStdString(s).trimmed();
  const QLocale loc = QLocale::system();
  auto fromDateTime = [](const QDateTime& dt) {
    return static_cast<double>(kDayZero.daysTo(dt.date())) +
           static_cast<double>(dt.time().msecsSinceStartOfDay()) / 86400000.0;
  };
  auto fromTime = [](const QTime& tm) {
    return static_cast<double>(tm.msecsSinceStartOfDay()) / 86400000.0;
  };
  if (QDateTime dt = QDateTime::fromString(t, Qt::ISODateWithMs); dt.isValid())
    return fromDateTime(dt);
  if (QDate d = QDate::fromString(t, Qt::ISODate); d.isValid())
    return static_cast<double>(kDayZero.daysTo(d));
  if (QTime tm = QTime::fromString(t, Qt::ISODateWithMs); tm.isValid()) return fromTime(tm);
  for (auto fmt : {QLocale::ShortFormat, QLocale::LongFormat}) {
    if (QDateTime dt = loc.toDateTime(t, fmt); dt.isValid()) return fromDateTime(dt);
    if (QDate d = loc.toDate(t, fmt); d.isValid()) return static_cast<double>(kDayZero.daysTo(d));
    if (QTime tm = loc.toTime(t, fmt); tm.isValid()) return fromTime(tm);
  }
  return parseReal(s);
}

// The number a variant stands for, for the numeric kinds.
std::optional<double> realOf(const Variant& v) {
  using T = Variant::Type;
  switch (v.type()) {
    case T::Empty: return 0.0;
    case T::SmallInt: return v.toSmallInt();
    case T::Integer: return v.toInt();
    case T::Byte: return v.toByte();
    case T::Int64: return static_cast<double>(v.toInt64());
    case T::Boolean: return v.toBool() ? 1.0 : 0.0;
    case T::Single: return static_cast<double>(v.toSingle());
    case T::Double: return v.toDouble();
    case T::Date: return v.toDate();
    case T::Currency: return static_cast<double>(v.toCurrency()) / kCurrencyScale;
    case T::String: return parseReal(v.toString());
    case T::WideString:
      return parseReal(QString::fromStdU16String(v.toWideString()).toStdString());
    case T::Null: break;
  }
  return std::nullopt;
}

std::optional<int32_t> integerOf(const Variant& v) {
  using T = Variant::Type;
  std::optional<double> r;
  if (v.type() == T::Int64) {
    const int64_t i = v.toInt64();
    if (i < std::numeric_limits<int32_t>::min() || i > std::numeric_limits<int32_t>::max())
      return std::nullopt;
    return static_cast<int32_t>(i);
  }
  r = realOf(v);
  if (!r || !std::isfinite(*r)) return std::nullopt;
  const double rounded = std::nearbyint(*r);  // to even, as variants round
  if (rounded < std::numeric_limits<int32_t>::min() || rounded > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<int32_t>(rounded);
}

std::optional<bool> booleanOf(const Variant& v) {
  using T = Variant::Type;
  if (v.type() == T::Boolean) return v.toBool();
  if (v.type() == T::String || v.type() == T::WideString) {
    const QString s = v.type() == T::String ? QString::fromStdString(v.toString()).trimmed()
                                             : QString::fromStdU16String(v.toWideString()).trimmed();
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
  }
  const auto r = realOf(v);
  if (!r || std::isnan(*r)) return std::nullopt;
  return *r != 0.0;
}

std::optional<int64_t> currencyOf(const Variant& v) {
  using T = Variant::Type;
  if (v.type() == T::Currency) return v.toCurrency();
  const auto r = realOf(v);
  if (!r || !std::isfinite(*r)) return std::nullopt;
  const double scaled = std::nearbyint(*r * kCurrencyScale);
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0) return std::nullopt;
  return static_cast<int64_t>(scaled);
}

std::optional<std::string> textOf(const Variant& v) {
  using T = Variant::Type;
  switch (v.type()) {
    case T::Empty: return std::string();
    case T::String: return v.toString();
    case T::WideString: return QString::fromStdU16String(v.toWideString()).toStdString();
    case T::Boolean: return std::string(v.toBool() ? "True" : "False");
    case T::SmallInt: return std::to_string(v.toSmallInt());
    case T::Integer: return std::to_string(v.toInt());
    case T::Byte: return std::to_string(v.toByte());
    case T::Int64: return std::to_string(v.toInt64());
    case T::Single: return realText(static_cast<double>(v.toSingle()));
    case T::Double: return realText(v.toDouble());
    case T::Date: return realText(v.toDate());
    case T::Currency: return realText(static_cast<double>(v.toCurrency()) / kCurrencyScale);
    case T::Null: break;
  }
  return std::nullopt;
}

// The date-time double for the date kinds. A variant that already holds a number keeps it
// exactly (its text form is the shortest round-trip one); text is parsed as a date.
std::optional<double> dateTimeOf(const Variant& v) {
  using T = Variant::Type;
  if (v.type() == T::String) return parseDateTime(v.toString());
  if (v.type() == T::WideString)
    return parseDateTime(QString::fromStdU16String(v.toWideString()).toStdString());
  return realOf(v);
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
  using VT = reg::ValueType;
  switch (kind) {
    case ValueKind::Integer:
      if (stored->type != VT::Dword) return false;
      result = Variant::fromInt(static_cast<int32_t>(stored->dword));
      return true;
    case ValueKind::Boolean:
      if (stored->type != VT::Dword) return false;
      result = Variant::fromBool(stored->dword != 0);
      return true;
    case ValueKind::String:
      if (stored->type != VT::Sz && stored->type != VT::ExpandSz) return false;
      result = Variant::fromString(stored->text);
      return true;
    case ValueKind::Currency:
    case ValueKind::Date:
    case ValueKind::DateTime:
    case ValueKind::Time:
    case ValueKind::Float:
      if (stored->type != VT::Binary || stored->bytes.size() != 8) return false;
      if (kind == ValueKind::Currency)
        result = Variant::fromCurrency(static_cast<int64_t>(fromLittleEndian(stored->bytes)));
      else if (kind == ValueKind::Float)
        result = Variant::fromDouble(bytesDouble(stored->bytes));
      else
        result = Variant::fromDate(bytesDouble(stored->bytes));
      return true;
  }
  return false;
}

bool TVXReg::writeValue(const std::string& name, ValueKind kind, const Variant& value) {
  if (!active_) return true;
  if (keyPath_.empty()) return false;
  std::optional<reg::Value> stored;
  switch (kind) {
    case ValueKind::Integer:
      if (const auto i = integerOf(value)) stored = reg::Value::fromDword(static_cast<uint32_t>(*i));
      break;
    case ValueKind::Boolean:
      if (const auto b = booleanOf(value)) stored = reg::Value::fromDword(*b ? 1 : 0);
      break;
    case ValueKind::String:
      if (const auto s = textOf(value)) stored = reg::Value::sz(*s);
      break;
    case ValueKind::Currency:
      if (const auto c = currencyOf(value))
        stored = reg::Value::binary(littleEndian(static_cast<uint64_t>(*c)));
      break;
    case ValueKind::Date:
      if (const auto d = dateTimeOf(value)) stored = reg::Value::binary(doubleBytes(std::trunc(*d)));
      break;
    case ValueKind::DateTime:
      if (const auto d = dateTimeOf(value)) stored = reg::Value::binary(doubleBytes(*d));
      break;
    case ValueKind::Time:
      if (const auto d = dateTimeOf(value))
        stored = reg::Value::binary(doubleBytes(std::fabs(*d - std::trunc(*d))));
      break;
    case ValueKind::Float:
      if (const auto d = realOf(value)) stored = reg::Value::binary(doubleBytes(*d));
      break;
  }
  if (!stored) return false;
  return reg::writeValue(hiveOf(rootKey_), keyPath_, name, *stored);
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

