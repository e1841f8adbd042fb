#include "platform/CodePage1252.h"

#include <cstdint>

namespace vx::cp1252 {

namespace {

// The characters of bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// The code page's byte for `c`, or -1 when it has none.
int encodeByte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == c) return 0x80 + i;
  return -1;
}

// Decodes the UTF-8 sequence at `i` into `c` and returns its length; 0 for an invalid one.
std::size_t decodeUtf8(const std::string& utf8, std::size_t i, char32_t& c) {
  const auto b = static_cast<unsigned char>(utf8[i]);
  const int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
  if (extra < 0) return 0;  // a continuation byte or an invalid lead byte
  c = extra == 0 ? b : char32_t(b & (0x3F >> extra));
  for (int k = 1; k <= extra; ++k) {
    if (i + std::size_t(k) >= utf8.size()) return 0;
    const auto cb = static_cast<unsigned char>(utf8[i + std::size_t(k)]);
    if ((cb >> 6) != 2) return 0;
    c = (c << 6) | (cb & 0x3F);
  }
  return std::size_t(extra) + 1;
}

}  // namespace

std::string fromUtf8(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = 0;
    const std::size_t len = decodeUtf8(utf8, i, c);
    const int byte = len ? encodeByte(c) : -1;
    out += byte < 0 ? '?' : char(byte);
    i += len ? len : 1;
  }
  return out;
}

std::optional<std::string> fromUtf8Exact(const std::string& utf8, std::string* missing) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = 0;
    const std::size_t len = decodeUtf8(utf8, i, c);
    const int byte = len ? encodeByte(c) : -1;
    if (byte < 0) {
      if (missing) *missing = utf8.substr(i, len ? len : 1);
      return std::nullopt;
    }
    out += char(byte);
    i += len;
  }
  return out;
}

std::string toUtf8(const std::string& ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char ch : ansi) {
    const auto b = static_cast<unsigned char>(ch);
    appendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char32_t(b));
  }
  return out;
}

}  // namespace vx::cp1252
