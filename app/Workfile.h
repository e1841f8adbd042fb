#pragma once
// The workfile: the local text file in which loans are collected while the library
// database is down. One record per line: borrower barcode, ",", item barcode, CR LF.
//
// These are the file operations behind the circulation window. They never let an
// exception out: each catches its own I/O error and returns a flag, a count or the
// error's text, and each opens the file, does its work and closes it again, so that no
// handle outlives an operation. The window shows whatever messages they report.
#include "platform/TextFile.h"

#include <optional>
#include <string>
#include <vector>

namespace vx::workfile {

// The one separator between the two fields of a line.
constexpr char kSeparator = ',';

// How many times the item entry tries to append a line before it gives up.
constexpr int kWriteAttempts = 251;

// Strips every character from 0 to 32 (space and the control characters) at both ends.
std::string strip(const std::string& text);

// Creates the file, cutting an existing one to zero bytes, and reopens it for reading in
// `handle`; closes it again when `closeAfter`. False on any I/O failure.
bool createFile(TextFile& handle, const std::string& path, bool closeAfter);

struct CheckResult {
  bool valid = false;
  // The text of the I/O error met while opening, reading or reopening the file for
  // appending; the window shows it in a warning box. Empty when there was none.
  std::optional<std::string> ioError;
};

// Is this a valid workfile? It must exist, not be read-only, open for reading and for
// appending (which cuts a trailing character 26), and its first line must be blank or
// hold a comma.
CheckResult checkFile(const std::string& path);

// The number of records: lines that are not blank, up to the end of the file or a
// character 26. On an I/O failure, the count reached so far (0 when the file cannot be
// opened).
int getFileLength(const std::string& path);

// Appends `line` and CR LF to `path`, creating the file when missing. The line is synced
// to disk before this returns true. False on any I/O failure (for example while another
// program has the file open), without changing the file.
bool writeToFile(TextFile& handle, const std::string& path, const std::string& line);

// Splits `line` at its first comma: `first` gets the text before it and `line` the text
// after it. Without a comma, `first` gets the whole line and `line` becomes empty. Neither
// field is stripped.
void getFirstString(std::string& line, std::string& first);

struct ListResult {
  bool ok = true;  // false: a read error cut the listing short
};

// Appends to `items`, in file order, the item barcode of every record whose borrower field
// equals `borrower` exactly. A missing file lists nothing and is not an error.
ListResult findBorrowersBooks(const std::string& path, const std::string& borrower,
                              std::vector<std::string>& items);

}  // namespace vx::workfile
