#include "db/Value.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "db/DbError.h"

namespace vx::db {

std::string trimMessage(const std::string& text) {
  const char* ws = " \t\r\n";
  const auto first = text.find_first_not_of(ws);
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(ws);
  return text.substr(first, last - first + 1);
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

bool daysInMonthOk(int y, int m, int d) {
  static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || d < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= len[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Reads exactly `n` digits at `pos`.
bool digits(std::string_view s, size_t& pos, size_t n, int& out) {
  if (pos + n > s.size()) return false;
  int v = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  pos += n;
  return true;
}

}  // namespace

DateTime DateTime::now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  DateTime d;
  d.year = local.tm_year + 1900;
  d.month = local.tm_mon + 1;
  d.day = local.tm_mday;
  d.hour = local.tm_hour;
  d.minute = local.tm_min;
  d.second = local.tm_sec;
  d.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return d;
}

std::optional<DateTime> DateTime::parse(std::string_view s) {
  while (!s.empty() && (s.front() == ' ')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ')) s.remove_suffix(1);
  DateTime d;
  size_t p = 0;
  if (!digits(s, p, 4, d.year) || p >= s.size() || s[p++] != '-' || !digits(s, p, 2, d.month) ||
      p >= s.size() || s[p++] != '-' || !digits(s, p, 2, d.day))
    return std::nullopt;
  if (!daysInMonthOk(d.year, d.month, d.day)) return std::nullopt;
  if (p < s.size() && (s[p] == ' ' || s[p] == 'T')) {
    ++p;
    if (!digits(s, p, 2, d.hour) || p >= s.size() || s[p++] != ':' || !digits(s, p, 2, d.minute))
      return std::nullopt;
    if (p < s.size() && s[p] == ':') {
      ++p;
      if (!digits(s, p, 2, d.second)) return std::nullopt;
      if (p < s.size() && s[p] == '.') {
        ++p;
        int scale = 100, ms = 0;
        size_t n = 0;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9') {
          ms += (s[p] - '0') * scale;
          scale /= 10;
          ++p;
          ++n;
        }
        if (n == 0) return std::nullopt;
        d.millisecond = ms;
      }
    }
    if (d.hour > 23 || d.minute > 59 || d.second > 60) return std::nullopt;
  }
  // A zone suffix as PostgreSQL prints timestamptz values.
  if (p < s.size()) {
    const std::string_view rest = s.substr(p);
    if (rest != "Z" && rest.front() != '+' && rest.front() != '-') return std::nullopt;
    for (char c : rest.substr(1))
      if ((c < '0' || c > '9') && c != ':') return std::nullopt;
  }
  return d;
}

std::string DateTime::toString() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", year, month, day, hour,
                minute, second, millisecond);
  return buf;
}

int64_t DateTime::toEpochMilliseconds() const {
  const int64_t days = daysFromCivil(year, month, day);
  return ((days * 24 + hour) * 60 + minute) * 60000 + int64_t{second} * 1000 + millisecond;
}

DateTime DateTime::fromEpochMilliseconds(int64_t ms) {
  int64_t days = ms / 86400000;
  int64_t rest = ms % 86400000;
  if (rest < 0) {
    rest += 86400000;
    --days;
  }
  DateTime d;
  civilFromDays(days, d.year, d.month, d.day);
  d.hour = static_cast<int>(rest / 3600000);
  d.minute = static_cast<int>(rest / 60000 % 60);
  d.second = static_cast<int>(rest / 1000 % 60);
  d.millisecond = static_cast<int>(rest % 1000);
  return d;
}

DataType Value::type() const {
  switch (v_.index()) {
    case 1: return DataType::Integer;
    case 2: return DataType::Float;
    case 3: return DataType::String;
    case 4: return DataType::DateTime;
    default: return DataType::Unknown;
  }
}

int64_t Value::asInteger() const {
  if (const auto* i = std::get_if<int64_t>(&v_)) return *i;
  if (const auto* f = std::get_if<double>(&v_)) {
    if (!std::isfinite(*f) || std::fabs(*f) > 9.2e18)
      throw DbError("'" + asString() + "' is not a valid integer value");
    return std::llround(*f);
  }
  if (const auto* s = std::get_if<std::string>(&v_)) {
    const std::string t = trimMessage(*s);
    if (t.empty()) return 0;
    int64_t v = 0;
    const char* b = t.data();
    const char* e = b + t.size();
    if (*b == '+') ++b;
    const auto r = std::from_chars(b, e, v);
    if (r.ec == std::errc() && r.ptr == e) return v;
    // Numeric text with a fraction, as decimal columns come back.
    double f = 0;
    const auto rf = std::from_chars(b, e, f);
    if (rf.ec == std::errc() && rf.ptr == e && std::isfinite(f) && std::fabs(f) < 9.2e18)
      return std::llround(f);
    throw DbError("'" + *s + "' is not a valid integer value");
  }
  if (std::holds_alternative<DateTime>(v_))
    throw DbError("'" + asString() + "' is not a valid integer value");
  return 0;
}

double Value::asFloat() const {
  if (const auto* i = std::get_if<int64_t>(&v_)) return static_cast<double>(*i);
  if (const auto* f = std::get_if<double>(&v_)) return *f;
  if (const auto* s = std::get_if<std::string>(&v_)) {
    const std::string t = trimMessage(*s);
    if (t.empty()) return 0;
    double f = 0;
    const char* b = t.data();
    const char* e = b + t.size();
    if (*b == '+') ++b;
    const auto r = std::from_chars(b, e, f);
    if (r.ec == std::errc() && r.ptr == e) return f;
    throw DbError("'" + *s + "' is not a valid floating point value");
  }
  if (std::holds_alternative<DateTime>(v_))
    throw DbError("'" + asString() + "' is not a valid floating point value");
  return 0;
}

std::string Value::asString() const {
  if (const auto* i = std::get_if<int64_t>(&v_)) return std::to_string(*i);
  if (const auto* f = std::get_if<double>(&v_)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", *f);
    return buf;
  }
  if (const auto* s = std::get_if<std::string>(&v_)) return *s;
  if (const auto* d = std::get_if<DateTime>(&v_)) return d->toString();
  return {};
}

DateTime Value::asDateTime() const {
  if (const auto* d = std::get_if<DateTime>(&v_)) return *d;
  if (const auto* s = std::get_if<std::string>(&v_)) {
    if (trimMessage(*s).empty()) return DateTime{};
    if (auto d = DateTime::parse(*s)) return *d;
    throw DbError("'" + *s + "' is not a valid date and time");
  }
  if (isNull()) return DateTime{};
  throw DbError("'" + asString() + "' is not a valid date and time");
}

}  // namespace vx::db
