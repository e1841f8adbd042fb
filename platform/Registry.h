#pragma once
// The registry: three hive files in the .reg text format (RegistryHive.h).
//
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/vellumdex/HKEY_CURRENT_USER.reg (~/.config/... by default)
//   HKEY_USERS          /etc/vellumdex/HKEY_USERS.reg
//   HKEY_LOCAL_MACHINE  /etc/vellumdex/HKEY_LOCAL_MACHINE.reg
//
// VELLUMDEX_REGISTRY_DIR, when set and not empty, puts all three in that one folder.
//
// Every call opens the hive file, does its work and lets go of it again; nothing is cached,
// so another program's writes are seen at the next read. A write takes an exclusive lock on
// "<hive>.lock" (waiting a bounded time for another writer), rereads the hive under the
// lock, changes it, writes "<hive>.tmp-*", syncs it, renames it over the hive and syncs the
// folder: concurrent writers never lose each other's values, and a crash leaves either the
// old or the new hive, never a mixture.
//
// A damaged hive (lines that cannot be parsed, a wrong header, binary junk) is read as far
// as it can be understood. The first write that replaces it first copies the original bytes
// to "<hive>.damaged-<YYYYMMDD-HHMMSS>" beside it and says so on stderr.
//
// Key paths are relative to the hive root, components separated by backslashes
// ("Software\\Vellumdex\\vxdown\\General"); leading, trailing and doubled backslashes are
// ignored. Key and value names compare without regard to ASCII case and keep the case they
// were first written with. The value name "" is the key's default value.
//
// No function throws; failures are reported by the result. A change reports why it failed
// (Status), so that a caller can say so.
#include "platform/RegistryHive.h"

#include <optional>
#include <string>

namespace vx::reg {

enum class Hive { CurrentUser, Users, LocalMachine };

// The outcome of a change: done, or why not ("the folder F is read-only", "another program
// holds the lock L", "cannot write F: No space left on device"). True when done.
class [[nodiscard]] Status {
 public:
  static Status done() { return Status(); }
  static Status failed(std::string why) {
    Status s;
    s.why_ = why.empty() ? std::string("unknown cause") : std::move(why);
    return s;
  }
  bool ok() const { return why_.empty(); }
  explicit operator bool() const { return ok(); }
  // Empty when done.
  const std::string& why() const { return why_; }

 private:
  std::string why_;
};

// "HKEY_CURRENT_USER", "HKEY_USERS" or "HKEY_LOCAL_MACHINE".
const char* hiveRootName(Hive hive);

// Full path of the hive's file (it need not exist).
std::string hiveFilePath(Hive hive);

// True when the key, or a key below it, exists. False when the hive cannot be read.
bool keyExists(Hive hive, const std::string& keyPath);

// The value, whatever its type (the caller checks it); nullopt when the hive cannot be
// read, or the key or the value does not exist.
std::optional<Value> readValue(Hive hive, const std::string& keyPath, const std::string& name);

// Creates the key (and so the hive file and its folder) when missing. Failed when the hive
// cannot be written: its folder or file is read-only (by mode bits, which count even for
// root) or not writable for this user, the lock could not be had in time, the path holds an
// invalid name (an empty or control character component), or an I/O error occurred.
Status createKey(Hive hive, const std::string& keyPath);

// Creates the key when missing and stores the value, replacing any value of that name.
// Failed as for createKey, or when the name holds CR, LF or NUL; the hive is then unchanged.
Status writeValue(Hive hive, const std::string& keyPath, const std::string& name,
                const Value& value);

// Removes the value. Done when it was removed or did not exist; failed when the hive could
// not be written.
Status deleteValue(Hive hive, const std::string& keyPath, const std::string& name);

// The values of the key itself, in the order they are stored; empty when the hive cannot be
// read or the key does not exist.
std::vector<RegistryHive::NamedValue> listValues(Hive hive, const std::string& keyPath);

// Replaces the key and everything below it with a key holding exactly `values`, in one
// write: no other program sees the key half rebuilt. Failed as for writeValue; the hive is
// then unchanged.
Status replaceKey(Hive hive, const std::string& keyPath,
                const std::vector<RegistryHive::NamedValue>& values);

}  // namespace vx::reg
