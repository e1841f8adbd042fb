#pragma once
// A small tagged value with the variant types the suite's settings deal in. It holds exactly
// one value of its type; reading it through the accessor of another type is a programming
// error (asserted), so callers look at type() first.
#include <cstdint>
#include <string>
#include <utility>

namespace vx {

class Variant {
 public:
  enum class Type {
    Empty,       // never assigned
    Null,        // explicitly no value
    SmallInt,    // 16-bit integer
    Integer,     // 32-bit integer
    Single,      // single precision
    Double,      // double precision
    Currency,    // fixed point: the amount times 10000 in a 64-bit integer
    Date,        // days since 1899-12-30 as a double; the fraction is the time of day
    Boolean,
    String,      // 8-bit string; UTF-8 in this program
    WideString,  // UTF-16
    Byte,
    Int64,
  };

  Variant() = default;
  static Variant null() { return Variant(Type::Null); }
  static Variant fromSmallInt(int16_t v) { return integral(Type::SmallInt, v); }
  static Variant fromInt(int32_t v) { return integral(Type::Integer, v); }
  static Variant fromSingle(float v) { return floating(Type::Single, static_cast<double>(v)); }
  static Variant fromDouble(double v) { return floating(Type::Double, v); }
  // `scaled` is the amount times 10000 (12.3456 is 123456).
  static Variant fromCurrency(int64_t scaled) { return integral(Type::Currency, scaled); }
  static Variant fromDate(double daysSince18991230) {
    return floating(Type::Date, daysSince18991230);
  }
  static Variant fromBool(bool v) { return integral(Type::Boolean, v ? 1 : 0); }
  static Variant fromString(std::string v) {
    Variant r(Type::String);
    r.text_ = std::move(v);
    return r;
  }
  static Variant fromWideString(std::u16string v) {
    Variant r(Type::WideString);
    r.wide_ = std::move(v);
    return r;
  }
  static Variant fromByte(uint8_t v) { return integral(Type::Byte, v); }
  static Variant fromInt64(int64_t v) { return integral(Type::Int64, v); }

  Type type() const { return type_; }
  bool isEmpty() const { return type_ == Type::Empty; }
  bool isNull() const { return type_ == Type::Null; }

  int16_t toSmallInt() const;
  int32_t toInt() const;
  float toSingle() const;
  double toDouble() const;
  int64_t toCurrency() const;  // scaled by 10000
  double toDate() const;
  bool toBool() const;
  const std::string& toString() const;
  const std::u16string& toWideString() const;
  uint8_t toByte() const;
  int64_t toInt64() const;

  // Same type and same value (doubles compare by value).
  bool operator==(const Variant& other) const;

 private:
  explicit Variant(Type t) : type_(t) {}
  static Variant integral(Type t, int64_t v) {
    Variant r(t);
    r.int_ = v;
    return r;
  }
  static Variant floating(Type t, double v) {
    Variant r(t);
    r.real_ = v;
    return r;
  }

  Type type_ = Type::Empty;
  int64_t int_ = 0;
  double real_ = 0;
  std::string text_;
  std::u16string wide_;
};

}  // namespace vx
