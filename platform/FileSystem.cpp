#include "platform/FileSystem.h"

#include "platform/FileDescriptor.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vx::fs {

bool namesSameFile(int fd, const std::string& path) {
  struct stat held {}, named {};
  return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

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

bool makePrivateFolders(const std::string& folder, std::string* error) {
  if (folder.empty()) return true;
  // Each prefix that ends before a slash, then the whole path; a trailing slash adds nothing.
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), 0700) == 0) {
      // The umask may have taken bits away; a new folder gets exactly 0700.
      if (::chmod(part.c_str(), 0700) != 0)
        return failWith(error, "Cannot create the folder", part);
    } else if (errno != EEXIST || !folderExists(part)) {
      if (errno == EEXIST) errno = ENOTDIR;
      return failWith(error, "Cannot create the folder", part);
    }
    if (end == std::string::npos) return true;
  }
}

int createPrivateFile(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::fchmod(fd, 0600) != 0) {
    const int err = errno;
    ::close(fd);
    ::unlink(path.c_str());
    errno = err;
    return -1;
  }
  return fd;
}

int openPrivateFile(const std::string& path, int flags) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = createPrivateFile(path, flags);
    if (fd >= 0 || errno != EEXIST) return fd;
    const int existing = ::open(path.c_str(), (flags & ~(O_CREAT | O_EXCL)) | O_CLOEXEC);
    if (existing >= 0 || errno != ENOENT) return existing;
    // Removed between the two opens: try to create it again.
  }
  return -1;
}

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

bool isNetworkFolder(const std::string& folder) {
  struct statfs info {};
  if (::statfs(folder.c_str(), &info) != 0) return false;
  // The magic numbers of linux/magic.h and of the file systems' own sources.
  static constexpr unsigned long kNetworkTypes[] = {
      0x6969,      // NFS
      0x517B,      // SMB
      0xFF534D42,  // CIFS
      0xFE534D42,  // SMB2
      0x564C,      // NCP
      0x5346414F,  // AFS
      0x6B414653,  // kAFS
      0x73757245,  // Coda
      0x01021997,  // 9P
      0x65735546,  // FUSE (sshfs and the like)
      0x00C36400,  // Ceph
      0x01161970,  // GFS2
      0x7461636F,  // OCFS2
      0x0BD00BD0,  // Lustre
      0x47504653,  // GPFS
  };
  const auto type = static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFUL;
  for (unsigned long t : kNetworkTypes)
    if (t == type) return true;
  return false;
}

}  // namespace vx::fs
