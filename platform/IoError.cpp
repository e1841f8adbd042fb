#include "platform/IoError.h"

#include <cerrno>
#include <sys/stat.h>

namespace vx {

std::string ioErrorText(int code) {
  switch (code) {
    case winerr::FileNotFound: return "File not found";
    case winerr::PathNotFound: return "Path not found";
    case winerr::AccessDenied: return "File access denied";
    default: return "I/O error " + std::to_string(code);
  }
}

static bool folderOfPathExists(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;  // the current folder
  std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int windowsErrorFromErrno(int err, const std::string& path) {
  switch (err) {
    case ENOENT: return folderOfPathExists(path) ? winerr::FileNotFound : winerr::PathNotFound;
    case ENOTDIR: return winerr::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return winerr::AccessDenied;
    case EWOULDBLOCK: return winerr::SharingViolation;
    case ENOSPC:
    case EFBIG:
    case EDQUOT: return winerr::DiskFull;
    case EMFILE:
    case ENFILE: return winerr::TooManyOpenFiles;
    case EBADF: return winerr::InvalidHandle;
    case ENAMETOOLONG: return winerr::FilenameExcedRange;
    case EIO: return winerr::IoDevice;
    default: return winerr::GeneralFailure;
  }
}

}  // namespace vx
