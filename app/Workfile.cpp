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

namespace {

// What a reader learnt from the file the last time: the bytes up to its last complete line
// (the checkpoint) and what they held. When the file still starts with those very bytes,
// the next read starts at the checkpoint: the desk's workfile only grows between scans, and
// a scan then reads only the lines that came since, plus one comparison of raw bytes.
// Anything else (another file, a rewritten or cut file) fails the comparison and is read
// from the start. The comparison is of content, not of sizes or times, so nothing another
// program does to the file can make a reader miss it.
struct ReadCache {
  std::string path;
  std::string prefix;  // the file's bytes before the checkpoint
  bool valid = false;

  // Positions `file` at the checkpoint when the file still starts with the cached bytes;
  // else forgets them and leaves `file` at the start.
  bool resume(TextFile& file, const std::string& p) {
    if (valid && path == p && file.startsWith(prefix)) {
      file.seek(off_t(prefix.size()));
      return true;
    }
    valid = false;
    prefix.clear();
    path = p;
    return false;
  }
  // Takes the bytes up to the new checkpoint into the cache.
  void advance(TextFile& file, off_t checkpoint) {
    prefix += file.readRaw(off_t(prefix.size()), checkpoint);
    valid = prefix.size() == std::size_t(checkpoint);
  }
};

struct CountCache : ReadCache {
  int count = 0;
};

struct ListCache : ReadCache {
  std::string borrower;
  std::vector<std::string> items;
};

CountCache& countCache() {
  static CountCache cache;
  return cache;
}

ListCache& listCache() {
  static ListCache cache;
  return cache;
}

}  // namespace

int getFileLength(const std::string& path) {
  CountCache& cache = countCache();
  int count = 0;
  try {
    TextFile file(path);
    file.reset();
    if (cache.resume(file, path)) count = cache.count;
    off_t checkpoint = file.position();
    int atCheckpoint = count;
    while (!file.seekEof()) {
      ++count;
      file.skipLine();
      if (file.lastLineEnded()) {
        checkpoint = file.position();
        atCheckpoint = count;
      }
    }
    cache.advance(file, checkpoint);
    cache.count = atCheckpoint;
    file.close();
  } catch (const IoError&) {
    cache.valid = false;
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
  ListCache& cache = listCache();
  std::vector<std::string> found;
  try {
    TextFile file(path);
    file.reset();
    if (cache.borrower != borrower) cache.valid = false;
    if (cache.resume(file, path)) found = cache.items;
    cache.borrower = borrower;
    off_t checkpoint = file.position();
    std::size_t atCheckpoint = found.size();
    std::string line;
    while (!file.seekEof()) {
      file.readLine(line);
      // The first split gives the borrower, the second the item: done in place, as the
      // file may hold a hundred thousand lines and only a few are this borrower's.
      const std::string_view view(line);
      const auto comma = view.find(kSeparator);
      if (view.substr(0, comma) == borrower) {
        if (comma == std::string_view::npos) {
          found.emplace_back();
        } else {
          const auto rest = view.substr(comma + 1);
          found.emplace_back(rest.substr(0, rest.find(kSeparator)));
        }
      }
      if (file.lastLineEnded()) {
        checkpoint = file.position();
        atCheckpoint = found.size();
      }
    }
    cache.advance(file, checkpoint);
    cache.items.assign(found.begin(), found.begin() + std::ptrdiff_t(atCheckpoint));
    file.close();
  } catch (const IoError&) {
    cache.valid = false;
    items.insert(items.end(), found.begin(), found.end());
    return {false};
  }
  items.insert(items.end(), found.begin(), found.end());
  return {};
}

}  // namespace vx::workfile
