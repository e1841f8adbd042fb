#include "platform/FileSystem.h"

#include "platform/FileDescriptor.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::fs {

bool fileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool folderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isReadOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool setReadOnly(const std::string& path, bool readOnly) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  return ::chmod(path.c_str(), mode) == 0;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool syncFolder(const std::string& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.valid() && ::fsync(fd.get()) == 0;
}

bool syncFolderOf(const std::string& path) { return syncFolder(folderOf(path)); }

ReadResult readFile(const std::string& path, std::string& out) {
  out.clear();
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadResult::Failed;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return ReadResult::Ok;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

namespace {

bool failWith(std::string* error, const char* what, const std::string& path) {
  if (error) *error = std::string(what) + " " + path + ": " + std::strerror(errno);
  return false;
}

}  // namespace

bool copyToNewFile(const std::string& from, const std::string& to, mode_t mode, std::string* error) {
  FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.valid()) return failWith(error, "Cannot read", from);
  FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!out.valid()) return failWith(error, "Cannot create", to);
  std::string chunk(1 << 16, '\0');
  bool ok = ::fchmod(out.get(), mode) == 0;
  while (ok) {
    const ssize_t n = ::read(in.get(), chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = writeAll(out.get(), chunk.substr(0, static_cast<std::size_t>(n)));
  }
  if (ok) ok = ::fsync(out.get()) == 0 && out.close();
  if (!ok) {
    const int err = errno;
    ::unlink(to.c_str());
    errno = err;
    return failWith(error, "Cannot write", to);
  }
  syncFolderOf(to);
  return true;
}

bool replaceFile(const std::string& path, const std::string& bytes, mode_t mode, std::string* error) {
  std::string tmp = path + ".tmp-XXXXXX";
  FileDescriptor fd(::mkostemp(tmp.data(), O_CLOEXEC));
  if (!fd.valid()) return failWith(error, "Cannot create", tmp);
  if (::fchmod(fd.get(), mode) != 0 || !writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 ||
      !fd.close()) {
    const int err = errno;
    ::unlink(tmp.c_str());
    errno = err;
    return failWith(error, "Cannot write", tmp);
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    errno = err;
    return failWith(error, "Cannot replace", path);
  }
  syncFolderOf(path);
  return true;
}

}  // namespace vx::fs
