#include "import/OutputFile.h"

#include "platform/CodePage1252.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace vx::import {

namespace {
constexpr std::size_t kFlushAt = 64 * 1024;
}

OutputFile::~OutputFile() {
  std::string ignored;
  if (isOpen()) close(ignored);
}

bool OutputFile::create(const std::string& path, std::string& error) {
  path_ = path;
  writeErrno_ = 0;
  buffer_.clear();
  fd_.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd_.valid()) {
    error = "Cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void OutputFile::writeLine(const std::string& utf8) { writeRawLine(cp1252::fromUtf8(utf8)); }

void OutputFile::writeRawLine(const std::string& bytes) {
  buffer_ += bytes;
  buffer_ += "\r\n";
  if (buffer_.size() >= kFlushAt) flush();
}

void OutputFile::flush() {
  if (!fd_.valid() || buffer_.empty()) return;
  if (writeErrno_ == 0 && !fs::writeAll(fd_.get(), buffer_)) writeErrno_ = errno ? errno : EIO;
  buffer_.clear();
}

bool OutputFile::close(std::string& error) {
  if (!fd_.valid()) return true;
  flush();
  if (writeErrno_ == 0 && ::fsync(fd_.get()) != 0) writeErrno_ = errno;
  if (!fd_.close() && writeErrno_ == 0) writeErrno_ = errno;
  if (writeErrno_ != 0) {
    error = "Cannot write " + path_ + ": " + std::strerror(writeErrno_);
    return false;
  }
  return true;
}

}  // namespace vx::import
