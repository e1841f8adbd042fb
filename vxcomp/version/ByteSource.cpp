#include "vxcomp/version/ByteSource.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::version {

namespace {

bool fits(std::uint64_t offset, std::size_t length, std::uint64_t size) {
  return offset <= size && length <= size - offset;
}

}  // namespace

std::optional<std::string> MemorySource::read(std::uint64_t offset, std::size_t length) const {
  if (!fits(offset, length, bytes_.size())) return std::nullopt;
  return std::string(bytes_.substr(static_cast<std::size_t>(offset), length));
}

std::optional<FileSource> FileSource::open(const std::string& path, std::string& problem) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    problem = "not a regular file";
    return std::nullopt;
  }
  return FileSource(std::move(fd), static_cast<std::uint64_t>(st.st_size));
}

std::optional<std::string> FileSource::read(std::uint64_t offset, std::size_t length) const {
  if (!fits(offset, length, size_)) return std::nullopt;
  std::string out(length, '\0');
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd_.get(), out.data() + done, length - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    // A file that shrank since it was opened ends the read like any other failure.
    if (n <= 0) return std::nullopt;
    done += static_cast<std::size_t>(n);
  }
  return out;
}

std::uint64_t readField(std::string_view bytes, std::size_t at, std::size_t width, bool bigEndian) {
  if (width == 0 || width > 8 || at > bytes.size() || width > bytes.size() - at) return 0;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[at + (bigEndian ? i : width - 1 - i)]);
    value = value << 8 | byte;
  }
  return value;
}

}  // namespace vx::version
