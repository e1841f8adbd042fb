#pragma once
// A named block of shared memory for the programs of one logon session.
//
// The block is a file of `size` bytes in $XDG_RUNTIME_DIR (the session's own tmpfs; with
// no such folder, /tmp/vellumdex-<uid>, made 0700), mode 0600. Every program that holds the
// block keeps a shared lock on it; a program that opens the block while no other holder
// lives gets a new block, all zeros, and is told so (existedBefore() false).
//
// The block goes with its last holder, as named memory goes when its last handle is closed:
// whoever finds that no holder is left writes zeros over the file and removes it, so that
// nothing written into the block stays on disk. A holder that ends normally does this in
// its destructor. For a holder that is killed, its guardian does it: a small child process
// forked when the block is opened, in a session of its own (signals to the program's
// process group do not reach it; it ignores SIGINT, SIGTERM, SIGHUP and SIGQUIT), that keeps
// no descriptor of the program's (the constructor returns only once the guardian has closed
// the ones it got at the fork, which would otherwise keep the program's lock on the block
// after the program ended) and waits for the program's end of a socket to close. The
// destructor tells the guardian to go without doing anything and waits for it. The check
// and the removal run under the lock file that also orders the opening, so a program that
// opens the block at the same moment gets either the old block, still held, or a new one.
// An object copied into a child by fork() does nothing of this in the child.
//
// read() and write() map a view of the whole block, copy, and unmap again, so that no
// view stays mapped between calls. There is no lock around the bytes: the last write
// stays.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include <sys/types.h>

namespace vx {

class SharedMemoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SharedMemory {
 public:
  // Creates or opens the block. Throws SharedMemoryError when it cannot.
  SharedMemory(const std::string& name, std::size_t size);
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // True when another live program held the block when this one opened it.
  bool existedBefore() const { return existed_; }
  std::size_t size() const { return size_; }
  const std::string& path() const { return path_; }

  // Copies bytes out of or into the block. Throws SharedMemoryError when no view can be
  // mapped or the range lies outside the block.
  void read(std::size_t offset, void* out, std::size_t length) const;
  void write(std::size_t offset, const void* data, std::size_t length);

 private:
  void startGuardian();

  std::string path_;
  std::string lockPath_;
  std::size_t size_;
  int fd_ = -1;
  bool existed_ = false;
  pid_t owner_ = -1;     // the process that opened the block
  pid_t guardian_ = -1;  // the guardian's process id, -1 when it could not be started
  int guardianSocket_ = -1;
};

}  // namespace vx
