#include "platform/FileDescriptor.h"

#include <unistd.h>

namespace vx {

void FileDescriptor::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool FileDescriptor::close() {
  const int fd = release();
  return fd < 0 || ::close(fd) == 0;
}

}  // namespace vx
