#pragma once
// One import of a workfile at a time, across processes and desks. The run holds an exclusive
// lock (flock, never waiting) on a small file beside the workfile, "<workfile>.import-lock",
// from before it reads the workfile until it has replaced it. On NFS the kernel takes such a
// lock on the server, so desks that share the folder see each other's runs.
//
// The file names the desk and the time the run started, so that a run that is refused can say
// where the other one works. A lock belongs to its process: when the process dies, however it
// dies, the lock is gone and the next run takes it.
#include <ctime>
#include <string>

namespace vx::import {

class RunLock {
 public:
  enum class Result {
    Acquired,
    Busy,    // another run holds it: holder() says where and since when
    Failed,  // the lock file could not be made or locked: error() says why
  };
  struct Holder {
    std::string host;      // empty when the other run has not written it yet
    std::time_t since = 0;
  };

  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // The lock file of a workfile (the path as given; the caller resolves links).
  static std::string pathFor(const std::string& workfile);

  Result acquire(const std::string& workfile);
  const Holder& holder() const { return holder_; }
  const std::string& error() const { return error_; }

  // Removes the lock file and lets go of the lock (the destructor does the same).
  void release();

 private:
  int fd_ = -1;
  std::string path_;
  Holder holder_;
  std::string error_;
};

}  // namespace vx::import
