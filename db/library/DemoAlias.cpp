#include "db/library/DemoAlias.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "db/Database.h"
#include "db/DbError.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"

namespace vx::db::library {

namespace {

namespace fs = std::filesystem;

std::string errnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path) {
  const std::string folder = fs::path(path).parent_path().string();
  return folder.empty() ? std::string(".") : folder;
}

void makeFolders(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw DbError("Cannot create the folder " + folder + ": " + ec.message());
}

// The whole file, or nothing when it does not exist.
bool readFile(const std::string& path, std::string& text) {
  std::error_code ec;
  if (!fs::exists(path, ec) && !ec) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DbError(errnoText("Cannot read", path));
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

// How many aliases the alias files define. Missing files define none, also the file named by
// VELLUMDEX_ALIASES (the set-up is about to write it); malformed ones raise their error.
size_t configuredAliases() {
  size_t count = 0;
  for (const std::string& file : aliasFiles()) {
    std::string text;
    if (readFile(file, text)) count += parseAliases(text, file).size();
  }
  return count;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

void syncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

// Writes `text` to `path` through a synced temporary file in the same folder and a rename,
// so that a reader sees the old file or the new one, never half of one.
void replaceFile(const std::string& path, const std::string& text) {
  std::string tmp = path + ".tmp-XXXXXX";
  FileDescriptor fd(::mkstemp(tmp.data()));
  if (fd.get() < 0) throw DbError(errnoText("Cannot create", tmp));
  ::fchmod(fd.get(), 0644);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const std::string msg = errnoText("Cannot write", tmp);
      ::unlink(tmp.c_str());
      throw DbError(msg);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
    const std::string msg = errnoText("Cannot write", tmp);
    ::unlink(tmp.c_str());
    throw DbError(msg);
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    const std::string msg = errnoText("Cannot replace", path);
    ::unlink(tmp.c_str());
    throw DbError(msg);
  }
  syncFolder(folderOf(path));
}

// Builds the demo library database under a temporary name and links it into place only
// if `path` is still free: a library file that exists (or appears meanwhile) is never
// overwritten.
void createDemoLibrary(const std::string& path) {
  makeFolders(folderOf(path));
  std::string tmp = path + ".tmp-XXXXXX";
  {
    // An empty file is an empty SQLite database; mkstemp claims a name nobody else uses.
    FileDescriptor fd(::mkstemp(tmp.data()));
    if (fd.get() < 0) throw DbError(errnoText("Cannot create", tmp));
    ::fchmod(fd.get(), 0600);
  }
  try {
    AliasSpec setupAlias{"setup", DriverKind::Sqlite, {{"PATH", tmp}}};
    Session session("DemoSetup", {setupAlias});
    Database db(session);
    db.databaseName = "VXDemoSetup";
    db.aliasName = setupAlias.name;
    db.open();
    createLibraryDatabase(db, true);
    db.close();
  } catch (...) {
    ::unlink(tmp.c_str());
    throw;
  }
  if (::link(tmp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    const std::string msg = errnoText("Cannot create", path);
    ::unlink(tmp.c_str());
    throw DbError(msg);
  }
  ::unlink(tmp.c_str());
  syncFolder(folderOf(path));
}

std::string aliasSection(const std::string& libraryPath) {
  return std::string("[") + kDemoAliasName +
         "]\n"
         "; The embedded demo library database, set up at the first start.\n"
         "DRIVER=SQLITE\n"
         "PATH=" +
         libraryPath + "\n";
}

// An advisory lock on the alias file's folder, held while the set-up runs, so that two
// programs starting at once do not both add the alias.
class SetupLock {
 public:
  explicit SetupLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_.get() < 0) throw DbError(errnoText("Cannot open", path));
    while (::flock(fd_.get(), LOCK_EX) != 0)
      if (errno != EINTR) throw DbError(errnoText("Cannot lock", path));
  }

 private:
  FileDescriptor fd_;
};

std::string envOr(const char* name, const std::string& fallbackBelowHome) {
  if (const char* v = std::getenv(name); v && *v) return v;
  const char* home = std::getenv("HOME");
  if (!home || !*home)
    throw DbError(std::string("Neither ") + name + " nor HOME is set: no place for the demo database");
  return std::string(home) + "/" + fallbackBelowHome;
}

}  // namespace

std::string demoLibraryPath() {
  return envOr("XDG_DATA_HOME", ".local/share") + "/vellumdex/demo-library.sqlite";
}

std::string userAliasFile() { return aliasFiles().front(); }

bool ensureDemoAlias(Session& session) {
  try {
    if (!session.aliasNames().empty()) return false;
  } catch (const DbError&) {
    // An unreadable or malformed file: configuredAliases() below tells which.
  }
  if (configuredAliases() != 0) return false;

  const std::string aliasFile = userAliasFile();
  const std::string libraryPath = demoLibraryPath();
  // The alias file keeps one value per line, trimmed: such a path could not be read back.
  if (libraryPath.find_first_of("\r\n") != std::string::npos || libraryPath.front() != '/' ||
      libraryPath.back() == ' ' || libraryPath.back() == '\t')
    throw DbError("The demo database path cannot be written to an alias file: " + libraryPath);

  makeFolders(folderOf(aliasFile));
  SetupLock lock(folderOf(aliasFile));
  // Another program may have finished the set-up while this one waited for the lock.
  if (configuredAliases() != 0) {
    session.reloadAliases();
    return false;
  }

  if (!fs::exists(libraryPath)) createDemoLibrary(libraryPath);

  std::string text;
  readFile(aliasFile, text);
  if (!text.empty() && text.back() != '\n') text += '\n';
  if (!text.empty()) text += '\n';
  text += aliasSection(libraryPath);
  replaceFile(aliasFile, text);

  session.addAlias(AliasSpec{kDemoAliasName, DriverKind::Sqlite, {{"PATH", libraryPath}}});
  return true;
}

}  // namespace vx::db::library
