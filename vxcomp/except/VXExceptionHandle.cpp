#include "vxcomp/except/VXExceptionHandle.h"

#include "i18n/Dictionary.h"
#include "i18n/LocaleSettings.h"
#include "platform/ExceptionHandler.h"
#include "platform/ProcessorFault.h"
#include "platform/SilentAbort.h"
#include "platform/SourceLocation.h"
#include "vxcomp/version/GetVersionInfo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::string runningExecutable() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

// The user's temporary folder, ending in "/": $TMPDIR, else /tmp; "" (the current
// directory) when neither is a folder.
std::string temporaryFolder() {
  std::error_code ec;
  for (const char* candidate : {static_cast<const char*>(std::getenv("TMPDIR")), "/tmp"}) {
    if (!candidate || !*candidate || !std::filesystem::is_directory(candidate, ec)) continue;
    std::string folder = candidate;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  return {};
}

// The text a fault is recorded with: where it happened, then what happened.
std::string locatedText(const vx::ProcessorFault& fault) {
  const vx::SourceLocation where = vx::locateAddress(fault.instruction());
  return where.file + " line " + std::to_string(where.line) + " " + where.routine + ": " + fault.what();
}

}  // namespace

TVXExceptionHandle::TVXExceptionHandle(vx::db::Session& session)
    : session_(session), insert_(session), executable_(runningExecutable()) {
  insert_.setSql({"INSERT INTO NSU.Exception_Log",
                  " (Exception_Time, Application, User_name, Exception_Msg, ExeVersion, DBVersion)",
                  " VALUES (CURRENT TIMESTAMP, :Application, User, :Message, :ExeVer, :DBVer)"});
  insert_.paramByName("Application").setString(executable_);
  logFileName_ = temporaryFolder() + "VXExcept.txt";
  vx::setExceptionHandler([this](const std::exception& e) { HandleException(e); });
  vx::installFaultHandlers();
  vx::setFatalFaultHandler([this](const vx::ProcessorFault& fault) { HandleException(fault); });
}

TVXExceptionHandle::~TVXExceptionHandle() {
  vx::setExceptionHandler(nullptr);
  vx::setFatalFaultHandler(nullptr);
}

void TVXExceptionHandle::SetDatabaseName(const std::string& name) {
  databaseName_ = name;
  insert_.databaseName = name;
}

void TVXExceptionHandle::HandleException(const std::exception& error) {
  vx::i18n::ShowExceptionMessage(error);
  try {
    std::string text = error.what();
    if (const auto* fault = dynamic_cast<const vx::ProcessorFault*>(&error)) {
      try {
        text = locatedText(*fault);
      } catch (...) {
        // the plain message is recorded
      }
    }
    if (!dynamic_cast<const vx::SilentAbort*>(&error)) Record(text);
  } catch (...) {
    // recording never troubles the user
  }
}

void TVXExceptionHandle::Record(const std::string& text) {
  const vx::db::DateTime now = clock_();
  const bool repeated =
      text == lastMessage_ && now.toEpochMilliseconds() - lastTime_.toEpochMilliseconds() < 1000;
  if (!repeated) {
    std::string exeVersion;
    try {
      // The version reader's record: the Norwegian table's ProductVersion, else the fixed
      // product version, else "Unknown".
      TVersionInfo info;
      GetVersionInfo(executable_, info);
      exeVersion = info.ProductVersion;
      if (!databaseName_.empty()) {
        std::string dbVersion;
        vx::db::Query version(session_);
        version.databaseName = databaseName_;
        version.setSql("SELECT version, beta_version FROM db_info");
        version.open();
        dbVersion = version.fieldByName("beta_version").asString();
        if (dbVersion.empty()) dbVersion = version.fieldByName("version").asString();
        version.close();
        insert_.paramByName("Message").setString(text);
        insert_.paramByName("ExeVer").setString(exeVersion);
        insert_.paramByName("DBVer").setString(dbVersion);
        insert_.execSql();
      }
    } catch (...) {
      try {
        writeLogLine(exeVersion, text);
      } catch (...) {
      }
    }
  }
  lastTime_ = now;
  lastMessage_ = text;
}

void TVXExceptionHandle::writeLogLine(const std::string& exeVersion, const std::string& text) {
  const vx::db::DateTime t = vx::db::DateTime::now();
  const std::string line = vx::i18n::systemDateTimeText(t.year, t.month, t.day, t.hour, t.minute, t.second) +
                           ", " + executable_ + ", EXE:" + exeVersion + " " + text + "\r\n";
  // Appended; a file that cannot be opened for appending is made anew. Private to the user:
  // the messages may name borrowers.
  int fd = ::open(logFileName_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) fd = ::open(logFileName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}
