#include "db/library/DemoAlias.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "db/Database.h"
#include "db/DbError.h"
#include "db/Session.h"
#include "db/library/LibraryDatabase.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/XdgDirs.h"

namespace vx::db::library {

namespace {

namespace stdfs = std::filesystem;

std::string errnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// The folders of the library database and of the alias file (which the user's registry hive
// shares) are made private; folders the user had keep their modes.
void makeFolders(const std::string& folder) {
  std::string error;
  if (!fs::makePrivateFolders(folder, &error)) throw DbError(error);
}

// The whole file, or nothing when it does not exist.
bool readFile(const std::string& path, std::string& text) {
  switch (fs::readFile(path, text)) {
    case fs::ReadResult::Missing: return false;
    case fs::ReadResult::Failed: throw DbError(errnoText("Cannot read", path));
    case fs::ReadResult::Ok: break;
  }
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

// Writes `text` to `path` through a synced temporary file in the same folder and a rename,
// so that a reader sees the old file or the new one, never half of one. A file that exists
// keeps its mode (the user may have made it private: an alias may hold a password).
void replaceFile(const std::string& path, const std::string& text) {
  mode_t mode = 0644;
  if (struct stat st {}; ::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
  std::string error;
  if (!fs::replaceFile(path, text, mode, &error)) throw DbError(error);
}

// Builds the demo library database under a temporary name and links it into place only
// if `path` is still free: a library file that exists (or appears meanwhile) is never
// overwritten.
void createDemoLibrary(const std::string& path) {
  makeFolders(fs::folderOf(path));
  std::string tmp = path + ".tmp-XXXXXX";
  {
    // An empty file is an empty SQLite database; mkstemp claims a name nobody else uses.
    // The database and the journals SQLite makes beside it (which take its mode) are private.
    FileDescriptor fd(::mkostemp(tmp.data(), O_CLOEXEC));
    if (fd.get() < 0) throw DbError(errnoText("Cannot create", tmp));
    if (::fchmod(fd.get(), 0600) != 0) {
      const std::string msg = errnoText("Cannot create", tmp);
      ::unlink(tmp.c_str());
      throw DbError(msg);
    }
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
  fs::syncFolderOf(path);
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


}  // namespace

std::string demoLibraryPath() {
  const std::string data = xdg::dataHome();
  if (data.empty())
    throw DbError("Neither XDG_DATA_HOME nor a home folder is set: no place for the demo database");
  return data + "/vellumdex/demo-library.sqlite";
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

  makeFolders(fs::folderOf(aliasFile));
  SetupLock lock(fs::folderOf(aliasFile));
  // Another program may have finished the set-up while this one waited for the lock.
  if (configuredAliases() != 0) {
    session.reloadAliases();
    return false;
  }

  if (!stdfs::exists(libraryPath)) createDemoLibrary(libraryPath);

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
