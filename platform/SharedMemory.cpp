#include "platform/SharedMemory.h"

#include "platform/FileDescriptor.h"
#include "platform/XdgDirs.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

namespace {

std::string sessionFolder() {
  if (std::string run = xdg::runtimeDir(); !run.empty()) return run;
  std::string folder = "/tmp/vellumdex-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
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

}  // namespace

SharedMemory::SharedMemory(const std::string& name, std::size_t size)
    : path_(sessionFolder() + "/" + name + ".shm"), size_(size) {
  // Opening is done under a creation lock, so that two programs starting together agree
  // on which of them made the block.
  ScopedLock creation(::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!creation.ok()) throw SharedMemoryError("cannot lock " + path_ + ".lock");
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) throw SharedMemoryError(std::string("cannot open ") + path_ + ": " + std::strerror(errno));
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

SharedMemory::~SharedMemory() {
  if (fd_ >= 0) ::close(fd_);  // releases the holder's lock
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
