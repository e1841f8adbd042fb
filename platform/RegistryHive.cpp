#include "platform/RegistryHive.h"

#include <algorithm>
#include <cstdio>

namespace vx::reg {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
// regedit wraps hex data so that no line grows past 80 columns.
constexpr std::size_t kHexLineWidth = 76;


bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool startsWithFolded(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && sameName(s.substr(0, prefix.size()), prefix);
}

// --- UTF-8 / UTF-16 ---------------------------------------------------------------------

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes UTF-8; each byte of an invalid sequence becomes U+FFFD.
std::u32string decodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    char32_t cp = 0;
    if (b0 < 0x80) {
      len = 1;
      cp = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      len = 2;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      len = 3;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      len = 4;
      cp = b0 & 0x07;
    }
    bool ok = len > 0 && i + len <= s.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
    if (ok && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
               (cp >= 0xD800 && cp <= 0xDFFF)))
      ok = false;
    if (!ok) {
      out += U'\uFFFD';
      ++i;
    } else {
      out += cp;
      i += len;
    }
  }
  return out;
}

void appendUtf16le(std::vector<uint8_t>& out, char32_t cp) {
  auto unit = [&out](uint32_t u) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  };
  if (cp >= 0x10000) {
    cp -= 0x10000;
    unit(0xD800 + (cp >> 10));
    unit(0xDC00 + (cp & 0x3FF));
  } else {
    unit(cp);
  }
}

std::vector<uint8_t> utf16leWithTerminator(std::string_view utf8) {
  std::vector<uint8_t> out;
  for (char32_t cp : decodeUtf8(utf8)) appendUtf16le(out, cp);
  out.push_back(0);
  out.push_back(0);
  return out;
}

// Decodes UTF-16LE bytes into UTF-8. `lossless` is false when the bytes could not be
// represented exactly (odd length, unpaired surrogate); the result then holds U+FFFD there.
std::string utf8FromUtf16le(const uint8_t* p, std::size_t n, bool& lossless) {
  lossless = (n % 2) == 0;
  std::string out;
  const std::size_t units = n / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t u = static_cast<char32_t>(p[2 * i] | (p[2 * i + 1] << 8));
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const char32_t lo = static_cast<char32_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) {
      lossless = false;
      u = U'\uFFFD';
    }
    appendUtf8(out, u);
  }
  return out;
}

// --- parsing helpers --------------------------------------------------------------------

// Parses a quoted string starting at s[0] == '"' with the escapes \\ and \". Returns the
// number of characters consumed (including both quotes), or 0 when the closing quote is
// missing. Any other backslash is kept as written.
std::size_t parseQuoted(std::string_view s, std::string& out) {
  out.clear();
  for (std::size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out += s[i + 1];
      ++i;
    } else if (c == '"') {
      return i + 1;
    } else {
      out += c;
    }
  }
  return 0;
}

void appendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// Parses "01,ab, 2f" (whitespace allowed around each byte, a trailing comma allowed).
bool parseHexBytes(std::string_view s, std::vector<uint8_t>& out) {
  out.clear();
  s = trim(s);
  if (s.empty()) return true;
  std::size_t pos = 0;
  while (pos <= s.size()) {
    const std::size_t comma = s.find(',', pos);
    const std::size_t end = comma == std::string_view::npos ? s.size() : comma;
    const std::string_view tok = trim(s.substr(pos, end - pos));
    if (tok.empty()) {
      // Only the very end may be empty (a trailing comma).
      if (comma == std::string_view::npos && !out.empty()) return true;
      return false;
    }
    if (tok.size() > 2) return false;
    int v = 0;
    for (char c : tok) {
      const int d = hexDigit(c);
      if (d < 0) return false;
      v = v * 16 + d;
    }
    out.push_back(static_cast<uint8_t>(v));
    if (comma == std::string_view::npos) return true;
    pos = comma + 1;
  }
  return true;
}

// The bytes of a hex(N) value turned into the value type we keep.
Value valueFromHex(uint32_t rawType, std::vector<uint8_t> bytes) {
  if (rawType == 3) return Value::binary(std::move(bytes));
  if (rawType == 4 && bytes.size() == 4) {
    return Value::fromDword(static_cast<uint32_t>(bytes[0]) |
                            (static_cast<uint32_t>(bytes[1]) << 8) |
                            (static_cast<uint32_t>(bytes[2]) << 16) |
                            (static_cast<uint32_t>(bytes[3]) << 24));
  }
  if (rawType == 1 || rawType == 2) {
    std::size_t n = bytes.size();
    if (n >= 2 && n % 2 == 0 && bytes[n - 1] == 0 && bytes[n - 2] == 0) n -= 2;
    bool lossless = false;
    std::string text = utf8FromUtf16le(bytes.data(), n, lossless);
    if (lossless) return rawType == 1 ? Value::sz(std::move(text)) : Value::expandSz(std::move(text));
  }
  // Kept byte for byte: a type we do not interpret, or text that would not survive decoding.
  Value v;
  v.type = ValueType::Other;
  v.rawType = rawType;
  v.bytes = std::move(bytes);
  return v;
}

void appendHex(std::string& out, std::size_t lineStart, const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 0x0F];
    if (i + 1 < bytes.size()) {
      out += ',';
      if (out.size() - lineStart >= kHexLineWidth) {
        out += "\\\r\n  ";
        lineStart = out.size() - 2;
      }
    }
  }
}

bool needsHexText(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

bool RegistryHive::validKeyName(std::string_view component) {
  if (component.empty()) return false;
  return std::none_of(component.begin(), component.end(), [](char c) {
    return c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

bool RegistryHive::validValueName(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::optional<std::string> RegistryHive::normalizePath(std::string_view path) {
  std::string out;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(pos, end - pos);
    if (!part.empty()) {
      if (!validKeyName(part)) return std::nullopt;
      if (!out.empty()) out += '\\';
      out += part;
    }
    pos = end + 1;
  }
  return out;
}

RegistryHive::Key* RegistryHive::findKey(std::string_view normalizedPath) {
  for (auto& k : keys_)
    if (sameName(k.path, normalizedPath)) return &k;
  return nullptr;
}

const RegistryHive::Key* RegistryHive::findKey(std::string_view normalizedPath) const {
  for (const auto& k : keys_)
    if (sameName(k.path, normalizedPath)) return &k;
  return nullptr;
}

RegistryHive::Key& RegistryHive::obtainKey(const std::string& normalizedPath) {
  if (Key* k = findKey(normalizedPath)) return *k;
  keys_.push_back(Key{normalizedPath, {}});
  return keys_.back();
}

bool RegistryHive::keyExists(std::string_view path) const {
  const auto norm = normalizePath(path);
  if (!norm) return false;
  if (norm->empty()) return true;
  for (const auto& k : keys_) {
    if (sameName(k.path, *norm)) return true;
    if (k.path.size() > norm->size() && k.path[norm->size()] == '\\' &&
        sameName(std::string_view(k.path).substr(0, norm->size()), *norm))
      return true;
  }
  return false;
}

bool RegistryHive::createKey(std::string_view path) {
  const auto norm = normalizePath(path);
  if (!norm) return false;
  obtainKey(*norm);
  return true;
}

const Value* RegistryHive::findValue(std::string_view path, std::string_view name) const {
  const auto norm = normalizePath(path);
  if (!norm) return nullptr;
  const Key* k = findKey(*norm);
  if (!k) return nullptr;
  for (const auto& v : k->values)
    if (sameName(v.name, name)) return &v.value;
  return nullptr;
}

bool RegistryHive::setValue(std::string_view path, std::string_view name, const Value& value) {
  const auto norm = normalizePath(path);
  if (!norm || !validValueName(name)) return false;
  Key& k = obtainKey(*norm);
  for (auto& v : k.values) {
    if (sameName(v.name, name)) {
      v.value = value;
      return true;
    }
  }
  k.values.push_back(NamedValue{std::string(name), value});
  return true;
}

bool RegistryHive::deleteValue(std::string_view path, std::string_view name) {
  const auto norm = normalizePath(path);
  if (!norm) return false;
  Key* k = findKey(*norm);
  if (!k) return false;
  const auto it = std::find_if(k->values.begin(), k->values.end(),
                               [&](const NamedValue& v) { return sameName(v.name, name); });
  if (it == k->values.end()) return false;
  k->values.erase(it);
  return true;
}

bool RegistryHive::deleteKey(std::string_view path) {
  const auto norm = normalizePath(path);
  if (!norm || norm->empty()) return false;  // the root stays
  const std::string prefix = *norm + "\\";
  const auto before = keys_.size();
  std::erase_if(keys_, [&](const Key& k) {
    return sameName(k.path, *norm) ||
           (k.path.size() > prefix.size() && sameName(std::string_view(k.path).substr(0, prefix.size()), prefix));
  });
  return keys_.size() != before;
}

std::vector<RegistryHive::NamedValue> RegistryHive::valuesOf(std::string_view path) const {
  const auto norm = normalizePath(path);
  if (!norm) return {};
  const Key* k = findKey(*norm);
  return k ? k->values : std::vector<NamedValue>{};
}

// --- parse ------------------------------------------------------------------------------

RegistryHive::ParseResult RegistryHive::parse(std::string_view text, std::string_view rootName) {
  ParseResult result;
  auto problem = [&result](std::size_t line, std::string msg) {
    result.problems.push_back(HiveProblem{line, std::move(msg)});
  };

  // regedit writes UTF-16LE with a byte order mark; we write UTF-8.
  std::string decoded;
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
      static_cast<unsigned char>(text[1]) == 0xFE) {
    bool lossless = false;
    decoded = utf8FromUtf16le(reinterpret_cast<const uint8_t*>(text.data()) + 2,
                              text.size() - 2, lossless);
    if (!lossless) problem(0, "text is not valid UTF-16");
    text = decoded;
  } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }

  std::vector<std::string_view> lines;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    pos = nl + 1;
  }

  bool sawHeader = false;
  Key* current = nullptr;
  bool inSection = false;  // a section was opened (possibly one we could not use)

  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t lineNo = i + 1;
    if (lines[i].find('\0') != std::string_view::npos) {
      problem(lineNo, "line holds NUL bytes");
      continue;
    }
    // Leading blanks only: trailing ones may belong to a quoted name or text.
    std::string_view line = lines[i];
    while (!line.empty() && isSpace(line.front())) line.remove_prefix(1);
    if (trim(line).empty()) continue;

    if (!sawHeader) {
      sawHeader = true;
      const std::string_view t = trim(line);
      if (t == kHeader || t == kHeader4) continue;
      problem(lineNo, "missing header line \"Windows Registry Editor Version 5.00\"");
    }
    if (line.front() == ';') continue;

    if (line.front() == '[') {
      inSection = true;
      current = nullptr;
      const std::string_view t = trim(line);
      const std::size_t close = t.rfind(']');
      if (close == std::string_view::npos) {
        problem(lineNo, "key header without closing bracket");
        continue;
      }
      std::string_view inner = t.substr(1, close - 1);
      if (!inner.empty() && inner.front() == '-') {
        problem(lineNo, "key deletion is not supported");
        continue;
      }
      const std::size_t slash = inner.find('\\');
      const std::string_view root = inner.substr(0, slash);
      if (!sameName(root, rootName)) {
        problem(lineNo, "key outside " + std::string(rootName));
        continue;
      }
      const auto norm =
          normalizePath(slash == std::string_view::npos ? std::string_view() : inner.substr(slash));
      if (!norm) {
        problem(lineNo, "invalid key name");
        continue;
      }
      current = &result.hive.obtainKey(*norm);
      continue;
    }

    if (line.front() != '"' && line.front() != '@') {
      problem(lineNo, "unrecognised line");
      continue;
    }

    // A value line: name, '=', data.
    std::string name;
    std::size_t pos = 0;
    if (line.front() == '@') {
      pos = 1;
    } else {
      pos = parseQuoted(line, name);
      if (pos == 0) {
        problem(lineNo, "value name without closing quote");
        continue;
      }
    }
    while (pos < line.size() && isSpace(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') {
      problem(lineNo, "value without '='");
      continue;
    }
    ++pos;
    while (pos < line.size() && isSpace(line[pos])) ++pos;
    const std::string_view data = line.substr(pos);

    std::optional<Value> value;
    if (!data.empty() && data.front() == '"') {
      std::string s;
      const std::size_t used = parseQuoted(data, s);
      if (used == 0)
        problem(lineNo, "text value without closing quote");
      else if (!trim(data.substr(used)).empty())
        problem(lineNo, "characters after a text value");
      else
        value = Value::sz(std::move(s));
    } else if (startsWithFolded(data, "dword:")) {
      const std::string_view digits = trim(data.substr(6));
      uint32_t d = 0;
      bool ok = !digits.empty() && digits.size() <= 8;
      for (char c : digits) {
        const int h = hexDigit(c);
        if (h < 0) ok = false;
        d = d * 16 + static_cast<uint32_t>(h < 0 ? 0 : h);
      }
      if (ok)
        value = Value::fromDword(d);
      else
        problem(lineNo, "invalid dword value");
    } else if (startsWithFolded(data, "hex:") || startsWithFolded(data, "hex(")) {
      uint32_t rawType = 3;
      std::size_t colon = 3;
      bool ok = true;
      if (data[3] == '(') {
        const std::size_t close = data.find(')');
        const std::string_view num =
            close == std::string_view::npos ? std::string_view() : data.substr(4, close - 4);
        ok = !num.empty() && num.size() <= 8 && close + 1 < data.size() && data[close + 1] == ':';
        rawType = 0;
        for (char c : num) {
          const int h = hexDigit(c);
          if (h < 0) ok = false;
          rawType = rawType * 16 + static_cast<uint32_t>(h < 0 ? 0 : h);
        }
        colon = close + 1;
      }
      // Gather continuation lines: each line but the last ends with a backslash.
      std::string joined;
      std::string_view part = ok ? trim(data.substr(colon + 1)) : std::string_view();
      bool truncated = false;
      while (ok && !part.empty() && part.back() == '\\') {
        part.remove_suffix(1);
        joined += part;
        const bool nextIsHex = i + 1 < lines.size() &&
                               lines[i + 1].find('\0') == std::string_view::npos &&
                               !trim(lines[i + 1]).empty() &&
                               (hexDigit(trim(lines[i + 1]).front()) >= 0 ||
                                trim(lines[i + 1]).front() == ',');
        if (!nextIsHex) {
          truncated = true;
          break;
        }
        ++i;
        part = trim(lines[i]);
      }
      if (!ok) {
        problem(lineNo, "invalid hex value type");
      } else if (truncated) {
        problem(lineNo, "hex value ends early");
      } else {
        joined += part;
        std::vector<uint8_t> bytes;
        if (parseHexBytes(joined, bytes))
          value = valueFromHex(rawType, std::move(bytes));
        else
          problem(lineNo, "invalid hex bytes");
      }
    } else if (!data.empty() && trim(data) == "-") {
      problem(lineNo, "value deletion is not supported");
    } else {
      problem(lineNo, "unrecognised value data");
    }

    if (!value) continue;
    if (!current) {
      problem(lineNo, inSection ? "value in a key that was not understood"
                                : "value before the first key");
      continue;
    }
    bool replaced = false;
    for (auto& v : current->values) {
      if (sameName(v.name, name)) {
        v.value = std::move(*value);
        replaced = true;
        break;
      }
    }
    if (!replaced) current->values.push_back(NamedValue{std::move(name), std::move(*value)});
  }
  return result;
}

// --- serialize --------------------------------------------------------------------------

std::string RegistryHive::serialize(std::string_view rootName) const {
  std::string out;
  out += kHeader;
  out += "\r\n\r\n";
  for (const auto& k : keys_) {
    out += '[';
    out += rootName;
    if (!k.path.empty()) {
      out += '\\';
      out += k.path;
    }
    out += "]\r\n";
    for (const auto& nv : k.values) {
      const std::size_t lineStart = out.size();
      if (nv.name.empty())
        out += '@';
      else
        appendQuoted(out, nv.name);
      out += '=';
      const Value& v = nv.value;
      switch (v.type) {
        case ValueType::Sz:
          if (needsHexText(v.text)) {
            out += "hex(1):";
            appendHex(out, lineStart, utf16leWithTerminator(v.text));
          } else {
            appendQuoted(out, v.text);
          }
          break;
        case ValueType::ExpandSz:
          out += "hex(2):";
          appendHex(out, lineStart, utf16leWithTerminator(v.text));
          break;
        case ValueType::Dword: {
          char buf[16];
          std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.dword));
          out += buf;
          break;
        }
        case ValueType::Binary:
          out += "hex:";
          appendHex(out, lineStart, v.bytes);
          break;
        case ValueType::Other: {
          char buf[24];
          std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.rawType));
          out += buf;
          appendHex(out, lineStart, v.bytes);
          break;
        }
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace vx::reg
