#pragma once
// An output text file of the import (details log, rejected lines, report): 8-bit text in code
// page 1252 with CR LF line ends, written as it goes (a run of a million lines never holds its
// output in memory), synced to disk when closed. The file is created new; a name that exists
// is refused, so an earlier run's file is never overwritten.
#include "platform/FileDescriptor.h"

#include <string>

namespace vx::import {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the file (mode 0644 less the umask). False with `error` set when it cannot.
  bool create(const std::string& path, std::string& error);
  bool isOpen() const { return fd_.valid(); }
  // Whether a write has already failed (a full disk): what follows cannot reach the file.
  bool failed() const { return writeErrno_ != 0; }
  const std::string& path() const { return path_; }

  // A line of UTF-8 text, converted to code page 1252, and CR LF.
  void writeLine(const std::string& utf8);
  // Bytes as they are (lines copied from the workfile) and CR LF.
  void writeRawLine(const std::string& bytes);

  // Writes what is buffered, syncs and closes. False (with `error`) when anything written
  // since the file was created did not reach the disk (a full disk shows here at the latest).
  bool close(std::string& error);

 private:
  void flush();

  FileDescriptor fd_;
  std::string path_;
  std::string buffer_;
  int writeErrno_ = 0;
};

}  // namespace vx::import
