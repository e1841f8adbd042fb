#pragma once
// The exception log: the program's handler for exceptions that nothing else caught.
//
// Each exception is first shown to the user in the error box (the dictionary's display: the
// message translated, with its period), then recorded: as a row of NSU.Exception_Log on the
// database object `DatabaseName` when one is named and the insert works, otherwise as a line of
// "VXExcept.txt" in the user's temporary folder. A processor fault is recorded with where it
// happened: "<source file> line <n> <routine>: <message>". The same text again within a second
// of the last one (recorded or not) is not recorded again. A silent abort is never recorded,
// and nothing that goes wrong while recording reaches the user.
//
// From construction to destruction the component is the process's exception handler (also
// for processor faults no event handler could catch, just before the program ends); the
// destructor removes it and does not bring back an earlier one.
#include "db/Query.h"
#include "db/Session.h"
#include "db/Value.h"

#include <exception>
#include <functional>
#include <string>

class TVXExceptionHandle {
 public:
  explicit TVXExceptionHandle(vx::db::Session& session = vx::db::Session::defaultSession());
  ~TVXExceptionHandle();
  TVXExceptionHandle(const TVXExceptionHandle&) = delete;
  TVXExceptionHandle& operator=(const TVXExceptionHandle&) = delete;

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name) { sessionName_ = name; }

  // The handler: shows `error`, then records its text (located for a processor fault).
  void HandleException(const std::exception& error);
  // Records one text, as the handler does after showing it.
  void Record(const std::string& text);

  const std::string& LogFileName() const { return logFileName_; }

  // The clock that the one-second rule reads: the local date and time unless set (an empty
  // function sets it back).
  using Clock = std::function<vx::db::DateTime()>;
  void SetClock(Clock clock) { clock_ = clock ? std::move(clock) : Clock(&vx::db::DateTime::now); }

 private:
  void writeLogLine(const std::string& exeVersion, const std::string& text);

  vx::db::Session& session_;
  vx::db::Query insert_;
  std::string databaseName_;
  std::string sessionName_;
  std::string executable_;
  std::string logFileName_;
  Clock clock_ = &vx::db::DateTime::now;
  vx::db::DateTime lastTime_{};  // 1899-12-30 00:00: "0" before the first
  std::string lastMessage_;
};
