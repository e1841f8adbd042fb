#include "app/Workfile.h"

#include "platform/FileSystem.h"

#include <string_view>

namespace vx::workfile {

std::string strip(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
}

bool createFile(TextFile& handle, const std::string& path, bool closeAfter) {
  try {
    handle.assign(path);
    handle.rewrite();
    handle.close();  // syncs the new, empty file and its folder entry
    handle.reset();
    if (closeAfter) handle.close();
    return true;
  } catch (const IoError&) {
    handle.assign(path);
    return false;
  }
}

CheckResult checkFile(const std::string& path) {
  CheckResult result;
  if (!fs::fileExists(path)) return result;
  const bool readOnly = fs::isReadOnly(path);
  TextFile file(path);
  std::string first;
  try {
    file.reset();
    first = file.readLine();
    file.append();  // the writability test; cuts a trailing character 26
    file.close();
  } catch (const IoError& e) {
    result.ioError = e.what();
    return result;
  }
  const std::string strippedLine = strip(first);
  if (strippedLine.empty()) {
    result.valid = !readOnly;
    return result;
  }
  std::string rest = first, field;
  getFirstString(rest, field);
  result.valid = strip(field) != strippedLine && !readOnly;
  return result;
}

int getFileLength(const std::string& path) {
  int count = 0;
  try {
    TextFile file(path);
    file.reset();
    while (!file.seekEof()) {
      ++count;
      file.skipLine();
    }
    file.close();
  } catch (const IoError&) {
  }
  return count;
}

bool writeToFile(TextFile& handle, const std::string& path, const std::string& line) {
  try {
    handle.assign(path);
    if (!fs::fileExists(path)) {
      handle.rewrite();
      handle.close();
    }
    handle.reset();
    handle.append();
    // A last line left open (by another program, or a file that ends in LF alone) would
    // swallow this record: end it first.
    if (!handle.atLineStart()) handle.write("\r\n");
    handle.writeLine(line);
    handle.close();
    return true;
  } catch (const IoError&) {
    handle.assign(path);  // drops anything unwritten and releases the file
    return false;
  }
}

void getFirstString(std::string& line, std::string& first) {
  const auto comma = line.find(kSeparator);
  if (comma == std::string::npos) {
    first = std::move(line);
    line.clear();
    return;
  }
  first = line.substr(0, comma);
  line.erase(0, comma + 1);
}

ListResult findBorrowersBooks(const std::string& path, const std::string& borrower,
                              std::vector<std::string>& items) {
  if (!fs::fileExists(path)) return {};
  try {
    TextFile file(path);
    file.reset();
    std::string line;
    while (!file.seekEof()) {
      file.readLine(line);
      // The first split gives the borrower, the second the item: done in place, as the
      // file may hold a hundred thousand lines and only a few are this borrower's.
      const std::string_view view(line);
      const auto comma = view.find(kSeparator);
      if (view.substr(0, comma) != borrower) continue;
      if (comma == std::string_view::npos) {
        items.emplace_back();
        continue;
      }
      const auto rest = view.substr(comma + 1);
      items.emplace_back(rest.substr(0, rest.find(kSeparator)));
    }
    file.close();
  } catch (const IoError&) {
    return {false};
  }
  return {};
}

}  // namespace vx::workfile
