// vximport: posts a workfile into the library database from a terminal or a script, with the
// same login checks, rules, files and report as the import dialog. See --help.
#include "db/Session.h"
#include "db/library/DemoAlias.h"
#include "db/library/LibraryDatabase.h"
#include "workfile/Workfile.h"
#include "import/ImportRun.h"
#include "import/ImportStrings.h"
#include "platform/FileSystem.h"
#include "platform/IoError.h"
#include "platform/ResourceStrings.h"
#include "platform/SilentAbort.h"
#include "platform/UserInterface.h"
#include "tools/common/PasswordSource.h"
#include "tools/common/ProgramVersion.h"
#include "tools/vximport/CommandLine.h"
#include "vxcomp/access/VXAccess.h"
#include "vxcomp/login/VXLogin.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vx::tools::vximport;

namespace {

enum ExitStatus { kAllAccepted = 0, kSomeRejected = 1, kUsage = 2, kNoLogin = 3, kNoImport = 4, kNoFollowUp = 5 };

// The boxes of the login on a terminal: every message is printed; a question is answered from
// the command line (the clock question: continue only with --ignore-clock).
class TerminalUserInterface : public vx::UserInterface {
 public:
  explicit TerminalUserInterface(bool ignoreClock) : ignoreClock_(ignoreClock) { vx::setUserInterface(this); }
  ~TerminalUserInterface() override { vx::setUserInterface(nullptr); }
  vx::MsgResult messageBox(QWidget*, const QString& text, vx::MsgIcon, vx::MsgButtons buttons,
                           const QString& caption, const vx::MsgOptions&) override {
    QString shown = text;
    shown.replace("\n\r", "\n");
    std::fprintf(stderr, "vximport: %s%s\n", caption.isEmpty() ? "" : (caption + ": ").toLocal8Bit().constData(),
                 shown.toLocal8Bit().constData());
    if (buttons == vx::MsgButtons::OkCancel) {
      if (ignoreClock_) std::fprintf(stderr, "vximport: --ignore-clock: going on\n");
      return ignoreClock_ ? vx::MsgResult::Ok : vx::MsgResult::Cancel;
    }
    return buttons == vx::MsgButtons::YesNo ? vx::MsgResult::No : vx::MsgResult::Ok;
  }
  std::optional<QString> openFile(QWidget*, const vx::OpenFileRequest&) override { return std::nullopt; }
  void showHelp(QWidget*, const QString&, int) override {}

 private:
  bool ignoreClock_;
};

// Progress on standard error: a bar on a terminal, a line per thousand lines otherwise.
class TerminalProgress : public vx::import::ImportObserver {
 public:
  TerminalProgress() : terminal_(::isatty(STDERR_FILENO) == 1) {}
  void started(int total) override {
    start_ = std::chrono::steady_clock::now();
    std::fprintf(stderr, "vximport: %d %s to import\n", total, total == 1 ? "line" : "lines");
  }
  void lineDone(int index, int accepted, int total, int percent) override {
    if (!terminal_) {
      if (index % 1000 == 0 || index == total)
        std::fprintf(stderr, "vximport: %d of %d lines, %d accepted\n", index, total, accepted);
      return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? index / seconds : 0;
    const int left = rate > 0 ? int((total - index) / rate) : 0;
    const int filled = percent * 30 / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%  %d/%d  %.0f lines/s  %d:%02d left ",
                 std::string(std::size_t(filled), '#').c_str(), std::string(std::size_t(30 - filled), '.').c_str(),
                 percent, index, total, rate, left / 60, left % 60);
    if (index == total) std::fprintf(stderr, "\n");
  }

 private:
  bool terminal_;
  std::chrono::steady_clock::time_point start_;
};

// What keeps the workfile from being imported, judged as the import dialog judges it before it
// offers Import; nothing when it may be imported. The file is only read (and, as the dialog's
// check does, cut at an end-of-file mark in its last bytes, where an append would cut it).
std::optional<std::string> workfileProblem(const std::string& path) {
  if (vx::fs::folderExists(path)) return path + " is a folder, not a workfile";
  if (!vx::fs::fileExists(path)) return "there is no workfile " + path;
  const auto check = vx::workfile::checkFile(path);
  if (check.valid) return std::nullopt;
  // A desk's append or another run holds the file for the moment: the run itself waits for
  // the desks and tells about another run.
  if (check.ioErrorCode == vx::winerr::SharingViolation) return std::nullopt;
  if (check.ioError) {
    if (check.ioErrorCode == vx::winerr::HandleEof)
      if (const auto line = vx::workfile::damagedAtLine(path))
        return vx::res::loadResString(vx::import::sWorkfileDamaged)
            .arg(QString::fromStdString(path))
            .arg(*line)
            .toStdString();
    return path + ": " + *check.ioError;
  }
  if (vx::fs::isReadOnly(path))
    return path + " is read-only: the posted lines could not be taken out of it";
  return path + " is not a workfile: its first line is not a borrower and an item separated by a comma";
}

// The process holds the password from here on: no core dump, and no other process of the user
// may read its memory through the debugger's interface.
void protectMemory() {
  const struct rlimit none {0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

int run(int argc, char** argv);

// Writes the follow-up list when asked and prints its groups' counts; false when it could not
// be written.
bool writeFollowUp(const vx::import::FollowUpList& list, const std::optional<std::string>& path) {
  if (!path) return true;
  std::string error;
  if (!list.saveCsv(*path, error)) {
    std::fprintf(stderr, "vximport: the follow-up list could not be written: %s\n", error.c_str());
    return false;
  }
  std::printf("Follow-up list: %s, %zu %s\n", path->c_str(), list.rows().size(),
              list.rows().size() == 1 ? "line" : "lines");
  for (int g = 0; g < vx::import::kFollowUpGroupCount; ++g) {
    const auto group = static_cast<vx::import::FollowUpGroup>(g);
    if (list.count(group) > 0)
      std::printf("  %s: %d\n", vx::import::FollowUpList::groupHeading(group).c_str(), list.count(group));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  protectMemory();
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vximport: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "vximport: an unexpected error ended the run\n");
  }
  return kNoImport;
}

namespace {

int run(int argc, char** argv) {
  Options o;
  std::string password;
  try {
    o = parse(std::vector<std::string>(argv + 1, argv + argc));
    if (o.help) {
      std::fputs(usage().c_str(), stdout);
      return kAllAccepted;
    }
    if (o.version) {
      return vx::tools::printProgramVersion("vximport");
    }
    // The user is always named, so on a terminal the prompt asks unless a file was named.
    const auto given = vx::tools::readPassword(
        {std::nullopt, o.passwordFile, true, "Password for " + o.user + " on " + o.alias + ": "});
    if (!given)
      throw UsageError("no password: standard input is not a terminal, and neither VX_PASSWORD nor "
                       "--password-file gives one");
    password = *given;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vximport: %s\n(vximport --help tells how it is used)\n", e.what());
    return kUsage;
  } catch (const vx::tools::PasswordFileError& e) {
    std::fprintf(stderr, "vximport: %s\n", e.what());
    return kUsage;
  }

  vx::import::registerStrings();
  if (const auto problem = workfileProblem(o.workfile)) {
    std::fprintf(stderr, "vximport: %s\nvximport: nothing was imported\n", problem->c_str());
    return kNoImport;
  }

  vx::db::library::installSqliteProcedures();
  TerminalUserInterface terminal(o.ignoreClock);
  vx::db::Session& session = vx::db::Session::defaultSession();
  try {
    // A machine without any alias gets the demo library, as at vxdown's first start.
    vx::db::library::ensureDemoAlias(session);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vximport: the demo library database could not be set up: %s\n", e.what());
  }
  // The login of this run alone: the desk's login record and the user's registry stay as they were.
  TVXLogin login(session, LoginScope::Process);
  login.databaseName = "VXDB";
  login.aliasName = o.alias;
  login.params = {"USER NAME=" + o.user, "PASSWORD=" + password};
  login.AllowLanguageSelection = false;
  login.ShowWaitForm = false;
  login.ReadCmdParams = false;
  login.setLoginPrompt(false);
  login.setLoginPromptAlways(false);
  login.DatabaseVersion = 2.5003f;
  login.ApplicationTitle = "vximport";
  login.loginData().setUnitID(o.unit);
  login.OnAccessControl = [&](bool& granted) {
    TVXAccess access(session);
    access.ModuleName = "System Down Import";
    granted = access.AccessLevel() == 1;
    if (!granted) access.ShowAccessDenied("Vellumdex System Down", o.alias, 0);
  };
  try {
    login.setConnected(true);
  } catch (const vx::SilentAbort&) {
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vximport: %s\n", e.what());
  }
  if (!login.Connected()) {
    std::fprintf(stderr, "vximport: not logged on to %s\n", o.alias.c_str());
    return kNoLogin;
  }

  vx::import::ImportRun run(session);
  TerminalProgress progress;
  const vx::import::ImportOutcome r = run.ImportToVXDBFromFile(o.workfile, login.UnitId(), progress);
  using Status = vx::import::ImportOutcome::Status;
  if (r.status == Status::ReportFailed) {
    // The loans are posted and the workfile replaced; only the report is missing.
    std::fprintf(stderr, "vximport: %s\n", r.message.c_str());
    std::printf("Processed %d %s, accepted %d, rejected %d\n", r.processed, r.processed == 1 ? "item" : "items",
                r.accepted, r.processed - r.accepted);
    if (!writeFollowUp(run.followUp(), o.followUp)) return kNoFollowUp;
    return r.accepted == r.processed && !r.cancelled ? kAllAccepted : kSomeRejected;
  }
  if (r.status != Status::Finished) {
    std::fprintf(stderr, "vximport: %s\n", r.message.c_str());
    if (r.status == Status::NotReplaced)
      std::fprintf(stderr, "vximport: %d of %d lines were accepted; the rejected lines are in %s\n",
                   r.accepted, r.processed, r.errFile.c_str());
    return kNoImport;
  }
  std::ifstream report(r.reportFile, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
  std::string shown;
  for (char c : text)
    if (c != '\r') shown += c;
  std::fputs(shown.c_str(), stdout);
  std::printf("Details: %s  Rejected lines: %s  Report: %s  Old workfile: %s\n", r.logFile.c_str(),
              o.workfile.c_str(), r.reportFile.c_str(), r.oldFile.c_str());
  if (!writeFollowUp(run.followUp(), o.followUp)) return kNoFollowUp;
  return r.accepted == r.processed && !r.cancelled ? kAllAccepted : kSomeRejected;
}

}  // namespace
