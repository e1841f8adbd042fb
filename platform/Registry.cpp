#include "platform/Registry.h"

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/XdgDirs.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::reg {

namespace {

// How long a writer waits for another writer's lock before it gives up.
constexpr auto kLockWait = std::chrono::seconds(5);

std::string hiveDir(Hive hive) {
  if (const char* d = std::getenv("VELLUMDEX_REGISTRY_DIR"); d && *d) return d;
  if (hive != Hive::CurrentUser) return "/etc/vellumdex";
  return xdg::configHome() + "/vellumdex";
}

// Whether the mode bits let this user write, judged the way the kernel would for an
// ordinary user. Root passes every kernel check, so a read-only hive or folder would
// otherwise be rewritten silently when a tool runs as root.
bool modeAllowsWrite(const struct stat& st) {
  if (geteuid() == st.st_uid) return (st.st_mode & S_IWUSR) != 0;
  bool inGroup = getegid() == st.st_gid;
  if (!inGroup) {
    const int n = getgroups(0, nullptr);
    if (n > 0) {
      std::vector<gid_t> groups(static_cast<std::size_t>(n));
      const int got = getgroups(n, groups.data());
      for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == st.st_gid) inGroup = true;
    }
  }
  if (inGroup) return (st.st_mode & S_IWGRP) != 0;
  return (st.st_mode & S_IWOTH) != 0;
}

// Writes `bytes` to a new file `path` (which must not exist) with exactly `mode` (not cut
// down by the umask, so a replaced hive keeps the permissions it had) and syncs it.
bool writeNewFile(const std::string& path, const std::string& bytes, mode_t mode) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!fd.valid()) return false;
  const bool ok = ::fchmod(fd.get(), mode) == 0 && fs::writeAll(fd.get(), bytes) &&
                  ::fsync(fd.get()) == 0 && fd.close();
  if (!ok) ::unlink(path.c_str());
  return ok;
}

// Keeps the bytes of a damaged hive beside it before they are replaced; the name of the
// copy, or "" when no copy could be made.
std::string keepDamagedCopy(const std::string& hivePath, const std::string& bytes) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  const std::string base = hivePath + ".damaged-" + stamp;
  for (int n = 1; n < 1000; ++n) {
    const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
    if (writeNewFile(name, bytes, 0600)) {
      fs::syncFolderOf(hivePath);
      return name;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

// Locks, rereads, lets `change` edit the hive and, when it changed something, replaces the
// file. `change` returns false for an invalid request (nothing is written then) and sets
// `changed`.
Status modifyHive(Hive hive, const std::function<bool(RegistryHive&, bool& changed)>& change) {
  const std::string path = hiveFilePath(hive);
  const std::string folder = fs::folderOf(path);

  // The user's hive holds the login (Software\Vellumdex\Login): a folder made for it is the
  // user's alone. The machine's hives are for everyone to read.
  if (hive == Hive::CurrentUser) {
    fs::makePrivateFolders(folder);
  } else {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Status::failed("the folder " + folder + " cannot be made");
  if (!modeAllowsWrite(st) || ::access(folder.c_str(), W_OK) != 0)
    return Status::failed("the folder " + folder + " is read-only");

  FileDescriptor lock(fs::openPrivateFile(path + ".lock", O_RDWR));
  if (!lock.valid()) return Status::failed("cannot open " + path + ".lock: " + std::strerror(errno));
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  for (;;) {
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EWOULDBLOCK && errno != EINTR)
      return Status::failed("cannot lock " + path + ".lock: " + std::strerror(errno));
    if (std::chrono::steady_clock::now() >= deadline)
      return Status::failed("another program holds the lock " + path + ".lock");
    const timespec pause{0, 2'000'000};
    ::nanosleep(&pause, nullptr);
  }
  // The lock goes with the descriptor when `lock` closes.

  mode_t mode = hive == Hive::CurrentUser ? 0600 : 0644;
  struct stat hst {};
  const bool exists = ::stat(path.c_str(), &hst) == 0;
  if (exists) {
    if (!S_ISREG(hst.st_mode)) return Status::failed(path + " is not a file");
    if (!modeAllowsWrite(hst)) return Status::failed(path + " is read-only");
    mode = hst.st_mode & 07777;
  }

  std::string bytes;
  if (fs::readFile(path, bytes) == fs::ReadResult::Failed)
    return Status::failed("cannot read " + path + ": " + std::strerror(errno));
  auto parsed = RegistryHive::parse(bytes, hiveRootName(hive));

  bool changed = false;
  if (!change(parsed.hive, changed)) return Status::failed("invalid key or value name");
  if (!changed) return Status::done();

  if (!parsed.problems.empty()) {
    const std::string copy = keepDamagedCopy(path, bytes);
    if (copy.empty())  // never replace damage we could not keep
      return Status::failed(path + " is damaged and no copy of it could be kept");
    const auto& first = parsed.problems.front();
    std::fprintf(stderr,
                 "vellumdex: registry hive %s was damaged (%zu problem(s), first at line %zu: "
                 "%s); its original contents are kept in %s\n",
                 path.c_str(), parsed.problems.size(), first.line, first.message.c_str(),
                 copy.c_str());
  }

  std::string error;
  if (!fs::replaceFile(path, parsed.hive.serialize(hiveRootName(hive)), mode, &error))
    return Status::failed(error);
  return Status::done();
}

std::optional<RegistryHive> loadHive(Hive hive) {
  std::string bytes;
  switch (fs::readFile(hiveFilePath(hive), bytes)) {
    case fs::ReadResult::Missing: return RegistryHive();
    case fs::ReadResult::Failed: return std::nullopt;
    case fs::ReadResult::Ok: break;
  }
  return RegistryHive::parse(bytes, hiveRootName(hive)).hive;
}

}  // namespace

const char* hiveRootName(Hive hive) {
  switch (hive) {
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::Users: return "HKEY_USERS";
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
  }
  return "HKEY_CURRENT_USER";
}

std::string hiveFilePath(Hive hive) {
  return hiveDir(hive) + "/" + hiveRootName(hive) + ".reg";
}

bool keyExists(Hive hive, const std::string& keyPath) {
  try {
    const auto h = loadHive(hive);
    return h && h->keyExists(keyPath);
  } catch (...) {
    return false;
  }
}

std::optional<Value> readValue(Hive hive, const std::string& keyPath, const std::string& name) {
  try {
    const auto h = loadHive(hive);
    if (!h) return std::nullopt;
    if (const Value* v = h->findValue(keyPath, name)) return *v;
  } catch (...) {
  }
  return std::nullopt;
}

Status createKey(Hive hive, const std::string& keyPath) {
  try {
    return modifyHive(hive, [&](RegistryHive& h, bool& changed) {
      changed = !h.keyExists(keyPath);
      return h.createKey(keyPath);
    });
  } catch (const std::exception& e) {
    return Status::failed(e.what());
  } catch (...) {
    return Status::failed("an unexpected error");
  }
}

Status writeValue(Hive hive, const std::string& keyPath, const std::string& name,
                const Value& value) {
  try {
    return modifyHive(hive, [&](RegistryHive& h, bool& changed) {
      const Value* old = h.findValue(keyPath, name);
      changed = !old || !(*old == value);
      return h.setValue(keyPath, name, value);
    });
  } catch (const std::exception& e) {
    return Status::failed(e.what());
  } catch (...) {
    return Status::failed("an unexpected error");
  }
}

Status deleteValue(Hive hive, const std::string& keyPath, const std::string& name) {
  try {
    return modifyHive(hive, [&](RegistryHive& h, bool& changed) {
      changed = h.deleteValue(keyPath, name);
      return true;
    });
  } catch (const std::exception& e) {
    return Status::failed(e.what());
  } catch (...) {
    return Status::failed("an unexpected error");
  }
}

std::vector<RegistryHive::NamedValue> listValues(Hive hive, const std::string& keyPath) {
  try {
    const auto h = loadHive(hive);
    if (h) return h->valuesOf(keyPath);
  } catch (...) {
  }
  return {};
}

Status replaceKey(Hive hive, const std::string& keyPath,
                const std::vector<RegistryHive::NamedValue>& values) {
  try {
    return modifyHive(hive, [&](RegistryHive& h, bool& changed) {
      const RegistryHive before = h;
      h.deleteKey(keyPath);
      if (!h.createKey(keyPath)) return false;
      for (const auto& v : values)
        if (!h.setValue(keyPath, v.name, v.value)) return false;
      changed = !(h == before);
      return true;
    });
  } catch (const std::exception& e) {
    return Status::failed(e.what());
  } catch (...) {
    return Status::failed("an unexpected error");
  }
}

}  // namespace vx::reg
