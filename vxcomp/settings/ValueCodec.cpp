#include "vxcomp/settings/ValueCodec.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace vx::settings {

namespace reg = vx::reg;

namespace {

constexpr double kCurrencyScale = 10000.0;
// 1899-12-30, day 0 of the date-time double.
const QDate kDayZero(1899, 12, 30);


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

std::optional<Variant> decodeValue(ValueKind kind, const reg::Value& value) {
  const reg::Value* stored = &value;
  using VT = reg::ValueType;
  switch (kind) {
    case ValueKind::Integer:
      if (stored->type != VT::Dword) return std::nullopt;
      return Variant::fromInt(static_cast<int32_t>(stored->dword));
    case ValueKind::Boolean:
      if (stored->type != VT::Dword) return std::nullopt;
      return Variant::fromBool(stored->dword != 0);
    case ValueKind::String:
      if (stored->type != VT::Sz && stored->type != VT::ExpandSz) return std::nullopt;
      return Variant::fromString(stored->text);
    case ValueKind::Currency:
    case ValueKind::Date:
    case ValueKind::DateTime:
    case ValueKind::Time:
    case ValueKind::Float:
      if (stored->type != VT::Binary || stored->bytes.size() != 8) return std::nullopt;
      if (kind == ValueKind::Currency)
        return Variant::fromCurrency(static_cast<int64_t>(fromLittleEndian(stored->bytes)));
      else if (kind == ValueKind::Float)
        return Variant::fromDouble(bytesDouble(stored->bytes));
      else
        return Variant::fromDate(bytesDouble(stored->bytes));
  }
  return std::nullopt;
}

std::optional<reg::Value> encodeValue(ValueKind kind, const Variant& value) {
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
  return stored;
}

}  // namespace vx::settings
