#pragma once
// I/O errors as the program's file runtime reports them: a Windows error number and the
// runtime's text for it ("File not found", "Path not found", "File access denied", or
// "I/O error <n>"). Every file layer of the program throws this type and nothing else.
#include <stdexcept>
#include <string>

namespace vx {

// Windows error numbers the file layers produce.
namespace winerr {
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int TooManyOpenFiles = 4;
constexpr int AccessDenied = 5;
constexpr int InvalidHandle = 6;
constexpr int GeneralFailure = 31;
constexpr int SharingViolation = 32;
constexpr int HandleEof = 38;  // a character 26 ends the file before its last bytes
constexpr int DiskFull = 112;
constexpr int FilenameExcedRange = 206;
constexpr int IoDevice = 1117;
}  // namespace winerr

// The runtime's message for an error number.
std::string ioErrorText(int code);

// Translates an errno from a failed call on `path` into the Windows error number.
// ENOENT becomes "path not found" when the folder of `path` itself is missing.
int windowsErrorFromErrno(int err, const std::string& path);

class IoError : public std::runtime_error {
 public:
  explicit IoError(int code) : std::runtime_error(ioErrorText(code)), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

}  // namespace vx
