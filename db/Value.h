#pragma once
// Values that travel between the program and the engines: parameter values and field
// values. A value is null, an integer, a floating-point number, text (UTF-8) or a date-time.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vx::db {

// The data type of a parameter. Unknown lets the engine infer it from the statement.
enum class DataType { Unknown, Integer, String, DateTime, Float };

// A calendar date and time of day without a time zone (the engines' local time).
struct DateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;

  // The local date and time now.
  static DateTime now();
  // "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff...]]" (also with 'T'); a trailing zone
  // ("+01", "+01:00", "Z") is ignored. Nothing when the text is not a date-time.
  static std::optional<DateTime> parse(std::string_view text);
  // "YYYY-MM-DD HH:MM:SS.mmm", the form both engines read back as a timestamp.
  std::string toString() const;
  // Milliseconds since 1970-01-01 00:00 of the same (zone-less) clock: differences between
  // two date-times are exact over days, months and years.
  int64_t toEpochMilliseconds() const;
  static DateTime fromEpochMilliseconds(int64_t ms);

  auto operator<=>(const DateTime&) const = default;
};

class Value {
 public:
  Value() = default;
  static Value null() { return Value(); }
  static Value integer(int64_t v) { return Value(Storage(v)); }
  static Value floating(double v) { return Value(Storage(v)); }
  static Value text(std::string v) { return Value(Storage(std::move(v))); }
  static Value dateTime(const DateTime& v) { return Value(Storage(v)); }

  bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
  // The type held; Unknown for null.
  DataType type() const;

  // Conversions as fields read them: null reads as 0, "" or the zero date-time.
  // Text that is not a number (or date-time) raises DbError naming the text.
  int64_t asInteger() const;
  double asFloat() const;
  std::string asString() const;
  DateTime asDateTime() const;

  bool operator==(const Value&) const = default;

 private:
  using Storage = std::variant<std::monostate, int64_t, double, std::string, DateTime>;
  explicit Value(Storage s) : v_(std::move(s)) {}
  Storage v_;
};

}  // namespace vx::db
