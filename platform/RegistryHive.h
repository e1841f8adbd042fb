#pragma once
// One registry hive in memory, and its text form: the ".reg" format that regedit exports
// ("Windows Registry Editor Version 5.00", [key] sections, "Name"=value lines).
//
// Plain C++ without Qt, so that the fuzzer can compile it on its own. The file side
// (locking, atomic replacement, where the hive lives) is in Registry.h.
#include "platform/TextCompare.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::reg {

enum class ValueType {
  Sz,        // REG_SZ: text
  ExpandSz,  // REG_EXPAND_SZ: text, stored as hex(2): UTF-16LE bytes with terminating zero
  Dword,     // REG_DWORD: 32-bit number
  Binary,    // REG_BINARY: bytes
  Other,     // any other hex(N) type found in a file; kept as raw bytes so a rewrite keeps it
};

struct Value {
  ValueType type = ValueType::Sz;
  std::string text;            // Sz, ExpandSz: UTF-8
  uint32_t dword = 0;          // Dword
  std::vector<uint8_t> bytes;  // Binary, Other
  uint32_t rawType = 0;        // Other: the registry type number N of hex(N)

  static Value sz(std::string t) { return Value{ValueType::Sz, std::move(t), 0, {}, 0}; }
  static Value expandSz(std::string t) {
    return Value{ValueType::ExpandSz, std::move(t), 0, {}, 0};
  }
  static Value fromDword(uint32_t d) { return Value{ValueType::Dword, {}, d, {}, 0}; }
  static Value binary(std::vector<uint8_t> b) {
    return Value{ValueType::Binary, {}, 0, std::move(b), 0};
  }
  bool operator==(const Value&) const = default;
};

// Why part of a hive text was not understood; `line` is 1-based.
struct HiveProblem {
  std::size_t line = 0;
  std::string message;
};

class RegistryHive {
 public:
  struct NamedValue {
    std::string name;  // "" is the key's default value (written @=)
    Value value;
    bool operator==(const NamedValue&) const = default;
  };
  struct Key {
    std::string path;  // relative to the hive root, components joined by '\'; "" is the root
    std::vector<NamedValue> values;
    bool operator==(const Key&) const = default;
  };
  struct ParseResult;

  // Parses hive text. Never throws for any input (allocation failure aside): what cannot be
  // understood is skipped and described in `problems`, everything else is kept. `rootName`
  // is the hive's root as written in section headers ("HKEY_CURRENT_USER"); sections under
  // another root are problems. Accepts UTF-8 (with or without BOM) and regedit's UTF-16LE
  // with BOM; LF or CR LF line ends. An empty (or blank) text is an empty hive, no problem.
  static ParseResult parse(std::string_view text, std::string_view rootName);

  // The hive as .reg text with CR LF line ends. parse(serialize()) gives the same hive with
  // no problems, for every hive built through this class.
  std::string serialize(std::string_view rootName) const;

  // Key paths: components separated by '\'; empty components (leading, trailing or doubled
  // backslashes) are ignored. Names compare ASCII-case-insensitively; the case first written
  // is kept.
  //
  // True when the key was created or written, or when a key below it was (regedit's sections
  // imply their parents).
  bool keyExists(std::string_view path) const;
  // Creates the key if missing; false (and nothing changed) when a path component is not a
  // valid key name (see validKeyName). An empty path names the root, which always exists.
  bool createKey(std::string_view path);
  // nullptr when the key or the value does not exist.
  const Value* findValue(std::string_view path, std::string_view name) const;
  // Creates the key when missing and replaces any value of that name (keeping the case the
  // name was first written with). False when the path or the name is invalid.
  bool setValue(std::string_view path, std::string_view name, const Value& value);
  // True when a value was removed.
  bool deleteValue(std::string_view path, std::string_view name);
  // Removes the key with its values and every key below it; true when anything was removed.
  bool deleteKey(std::string_view path);
  // The values of the key itself (not of keys below it); empty when the key does not exist.
  std::vector<NamedValue> valuesOf(std::string_view path) const;

  const std::vector<Key>& keys() const { return keys_; }
  bool operator==(const RegistryHive&) const = default;

  // A key name component: not empty, no '\', no control characters (they cannot be written
  // in a section header). A value name: no CR, LF or NUL (everything else is escaped).
  static bool validKeyName(std::string_view component);
  static bool validValueName(std::string_view name);
  // Normalised form of a key path (empty components dropped); nullopt when a component is
  // invalid.
  static std::optional<std::string> normalizePath(std::string_view path);

 private:
  Key* findKey(std::string_view normalizedPath);
  const Key* findKey(std::string_view normalizedPath) const;
  Key& obtainKey(const std::string& normalizedPath);

  std::vector<Key> keys_;
};

struct RegistryHive::ParseResult {
  RegistryHive hive;
  std::vector<HiveProblem> problems;
};

}  // namespace vx::reg
