#pragma once
// A named block of shared memory for the programs of one logon session.
//
// The block is a file of `size` bytes in $XDG_RUNTIME_DIR (the session's own tmpfs; with
// no such folder, /tmp/vellumdex-<uid>), mode 0600. Every program that holds the block
// keeps a shared lock on it; a program that opens the block while no other holder lives
// gets a new block, all zeros, and is told so (existedBefore() false). A block whose last
// holder has ended is thus never seen again, as named memory goes when its last handle
// is closed.
//
// read() and write() map a view of the whole block, copy, and unmap again, so that no
// view stays mapped between calls. There is no lock around the bytes: the last write
// stays.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

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
  std::string path_;
  std::size_t size_;
  int fd_ = -1;
  bool existed_ = false;
};

}  // namespace vx
