#pragma once
// Bounded reads from the bytes of a file that may be damaged or hostile: every read states
// where and how much, and fails instead of reaching beyond the end.
#include "platform/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx::version {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // The `length` bytes at `offset`; nullopt when any of them lies beyond the end or the read
  // fails.
  virtual std::optional<std::string> read(std::uint64_t offset, std::size_t length) const = 0;
};

// Bytes held by the caller, who keeps them alive while the source is used.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::optional<std::string> read(std::uint64_t offset, std::size_t length) const override;

 private:
  std::string_view bytes_;
};

// A regular file, read piece by piece (an executable may be large; a version block is small).
class FileSource : public ByteSource {
 public:
  // Opens `path` for reading. nullopt, with `problem` saying why, when it cannot be opened or
  // is not a regular file (a FIFO or a device would block or never end).
  static std::optional<FileSource> open(const std::string& path, std::string& problem);

  std::uint64_t size() const override { return size_; }
  std::optional<std::string> read(std::uint64_t offset, std::size_t length) const override;

 private:
  FileSource(FileDescriptor fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}
  FileDescriptor fd_;
  std::uint64_t size_;
};

// The unsigned integer of `width` bytes (1 to 8) at `at` in `bytes`, in the given byte order;
// 0 when the field does not lie wholly inside `bytes`.
std::uint64_t readField(std::string_view bytes, std::size_t at, std::size_t width, bool bigEndian);

}  // namespace vx::version
