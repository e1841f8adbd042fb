#include "platform/SharedMemory.h"

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/XdgDirs.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vx {

namespace {

std::string sessionFolder() {
  if (std::string run = xdg::runtimeDir(); !run.empty()) return run;
  std::string folder = "/tmp/vellumdex-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) == 0) ::chmod(folder.c_str(), 0700);
  // Anyone may make a folder in /tmp: one of this name that is not the user's own is not used.
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
    throw SharedMemoryError(folder + " is not a folder of this user");
  return folder;
}

// Holds a file lock for the lifetime of a scope.
class ScopedLock {
 public:
  explicit ScopedLock(int fd) : fd_(fd) { ok_ = fd_.valid() && ::flock(fd_.get(), LOCK_EX) == 0; }
  ~ScopedLock() {
    if (ok_) ::flock(fd_.get(), LOCK_UN);
  }
  bool ok() const { return ok_; }

 private:
  FileDescriptor fd_;
  bool ok_ = false;
};

// --- Everything below up to the end of guardianMain runs also in the guardian, a child forked
// from a program that may have other threads: only async-signal-safe calls, no allocation,
// no exceptions.

const char kZeros[4096] = {};

// Removes the block when nobody holds it any more: under the creation lock (so that no
// program opens it meanwhile), a block on which an exclusive lock can be had has no holder;
// its bytes are overwritten with zeros and the file is removed. A block that someone still
// holds, or that is gone already, is left alone.
void removeIfUnheld(const char* path, const char* lockPath) {
  int lock = ::open(lockPath, O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (lock < 0) return;  // no lock file: the block was never made here
  while (::flock(lock, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(lock);
      return;
    }
  }
  const int fd = ::open(path, O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd >= 0) {
    struct stat st {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0) {
      for (off_t at = 0; at < st.st_size;) {
        const off_t left = st.st_size - at;
        const size_t chunk = left < off_t(sizeof kZeros) ? size_t(left) : sizeof kZeros;
        const ssize_t n = ::pwrite(fd, kZeros, chunk, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        at += n;
      }
      ::fdatasync(fd);
      ::unlink(path);
    }
    ::close(fd);  // also ends the exclusive lock
  }
  ::close(lock);
}

// Closes every descriptor except `keep`; `limit` is the highest number to try when the
// kernel has no close_range.
void closeAllBut(int keep, int limit) {
  bool done = true;
  if (keep > 0 && ::close_range(0, unsigned(keep - 1), 0) != 0) done = false;
  if (done && ::close_range(unsigned(keep + 1), ~0U, 0) != 0) done = false;
  if (done) return;
  for (int fd = 0; fd <= limit; ++fd)
    if (fd != keep) ::close(fd);
}

[[noreturn]] void guardianMain(int socket, const char* path, const char* lockPath, int fdLimit) {
  // Out of the program's session and process group, so that a signal sent to them (Ctrl+C, the
  // group killed by a shell or a test runner) does not end the guardian with the program.
  ::setsid();
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  // The program's handlers are of no use here.
  action.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig)
    if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &action, nullptr);
  action.sa_handler = SIG_IGN;
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU})
    ::sigaction(sig, &action, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  // Nothing of the program's stays open here: not its block descriptor (whose lock would
  // outlive the program), not the pipes its parent reads to the end, not other guardians'
  // sockets.
  closeAllBut(socket, fdLimit);
  // Tells the holder that the descriptors it shared with this process at the fork are closed
  // here: until then this process would also hold the holder's lock on the block, and a
  // program opening the block after the holder has ended would take it as still held.
  const char ready = 0;
  if (::send(socket, &ready, 1, MSG_NOSIGNAL) != 1) ::_exit(0);

  char message = 0;
  ssize_t n;
  do n = ::read(socket, &message, 1);
  while (n < 0 && errno == EINTR);
  // A byte: the holder ends normally and sees to the block itself. The end of the stream (or
  // an error): the holder is gone, however it ended.
  if (n != 1) removeIfUnheld(path, lockPath);
  ::_exit(0);
}

// --- End of the guardian's code.

}  // namespace

SharedMemory::SharedMemory(const std::string& name, std::size_t size)
    : path_(sessionFolder() + "/" + name + ".shm"), lockPath_(path_ + ".lock"), size_(size) {
  {
    // Opening is done under a creation lock, so that two programs starting together agree
    // on which of them made the block.
    ScopedLock creation(fs::openPrivateFile(lockPath_, O_RDWR));
    if (!creation.ok()) throw SharedMemoryError("cannot lock " + lockPath_);
    fd_ = fs::openPrivateFile(path_, O_RDWR | O_NOFOLLOW);
    if (fd_ < 0)
      throw SharedMemoryError(std::string("cannot open ") + path_ + ": " + std::strerror(errno));
    // Anyone else holding the block holds a shared lock on it.
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      existed_ = false;
      const bool sized = ::fchmod(fd_, 0600) == 0 && ::ftruncate(fd_, 0) == 0 &&
                         ::ftruncate(fd_, off_t(size_)) == 0;
      if (!sized || ::flock(fd_, LOCK_SH) != 0) {
        ::close(fd_);
        throw SharedMemoryError("cannot create " + path_);
      }
    } else if (errno == EWOULDBLOCK) {
      existed_ = true;
      if (::flock(fd_, LOCK_SH) != 0) {
        ::close(fd_);
        throw SharedMemoryError("cannot share " + path_);
      }
    } else {
      ::close(fd_);
      throw SharedMemoryError("cannot lock " + path_);
    }
  }
  // Outside the creation lock, whose descriptor the guardian would otherwise share a moment.
  owner_ = ::getpid();
  startGuardian();
}

void SharedMemory::startGuardian() {
  int ends[2];
  // A socket rather than a pipe: telling a guardian that has been killed must not raise
  // SIGPIPE in the program. Close-on-exec, so that programs this one starts do not keep the
  // guardian waiting.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
  // Taken here: the guardian may not call getrlimit.
  int fdLimit = 65536;
  if (struct rlimit files {}; ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 65536)
    fdLimit = int(files.rlim_cur);
  const pid_t pid = ::fork();
  if (pid == 0) guardianMain(ends[1], path_.c_str(), lockPath_.c_str(), fdLimit);
  ::close(ends[1]);
  if (pid < 0) {
    // Without a guardian the block is still removed when this program ends normally.
    ::close(ends[0]);
    return;
  }
  // Waits until the guardian holds nothing of this program's any more (see guardianMain).
  char ready = 1;
  ssize_t n;
  do n = ::recv(ends[0], &ready, 1, 0);
  while (n < 0 && errno == EINTR);
  if (n != 1) {
    ::close(ends[0]);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return;
  }
  guardian_ = pid;
  guardianSocket_ = ends[0];
}

SharedMemory::~SharedMemory() {
  if (::getpid() != owner_) {
    // A copy made by fork(): the block, its guardian and their clean-up belong to the parent.
    if (fd_ >= 0) ::close(fd_);
    if (guardianSocket_ >= 0) ::close(guardianSocket_);
    return;
  }
  if (guardian_ > 0) {
    const char quit = 1;
    (void)!::send(guardianSocket_, &quit, 1, MSG_NOSIGNAL);
    ::close(guardianSocket_);
    while (::waitpid(guardian_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (fd_ >= 0) ::close(fd_);  // releases the holder's lock
  removeIfUnheld(path_.c_str(), lockPath_.c_str());
}

void SharedMemory::read(std::size_t offset, void* out, std::size_t length) const {
  if (offset > size_ || length > size_ - offset) throw SharedMemoryError("outside the block");
  void* view = ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd_, 0);
  if (view == MAP_FAILED) throw SharedMemoryError("cannot map " + path_);
  std::memcpy(out, static_cast<const char*>(view) + offset, length);
  ::munmap(view, size_);
}

void SharedMemory::write(std::size_t offset, const void* data, std::size_t length) {
  if (offset > size_ || length > size_ - offset) throw SharedMemoryError("outside the block");
  void* view = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (view == MAP_FAILED) throw SharedMemoryError("cannot map " + path_);
  std::memcpy(static_cast<char*>(view) + offset, data, length);
  ::munmap(view, size_);
}

}  // namespace vx
