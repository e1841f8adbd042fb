// Fuzzes the workfile readers: any bytes as a workfile. Besides the sanitizers' checks, the
// count, the listing and the import's record reader are compared with a plain model of the
// reading rules, and the appending test must keep the file readable.
#include "workfile/Workfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Model {
  int count = 0;
  std::vector<std::pair<std::string, std::string>> records;  // borrower, item
};

// The reading rules, written as simply as possible.
Model readModel(const std::string& bytes) {
  Model m;
  std::size_t i = 0, n = bytes.find('\x1a');
  if (n == std::string::npos) n = bytes.size();
  for (;;) {
    while (i < n && static_cast<unsigned char>(bytes[i]) <= 32) ++i;
    if (i >= n) break;
    std::size_t cr = bytes.find('\r', i);
    if (cr == std::string::npos || cr > n) cr = n;
    std::string line = bytes.substr(i, cr - i);
    i = cr + 1;
    if (i < n && bytes[i] == '\n') ++i;
    ++m.count;
    std::string borrower, item;
    auto c = line.find(',');
    borrower = line.substr(0, c);
    if (c != std::string::npos) {
      std::string rest = line.substr(c + 1);
      item = rest.substr(0, rest.find(','));
    }
    m.records.emplace_back(borrower, item);
  }
  return m;
}

std::string scratchPath() {
  static std::string path = [] {
    char tmpl[] = "/tmp/vxfuzz-workfile-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(tmpl);
  }();
  return path;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

void appendFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// One object for the whole run, so that its read caches carry over from input to input as
// they carry over from refresh to refresh in the window.
vx::workfile::Workfile& workfile() {
  static vx::workfile::Workfile w;
  return w;
}

// The records as the import reads them.
std::vector<std::pair<std::string, std::string>> readRecords(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> out;
  vx::workfile::RecordReader reader(path);
  vx::workfile::Record r;
  while (reader.next(r)) out.emplace_back(r.borrower, r.item);
  return out;
}

// The readers against the model, for the file as it now holds `bytes`.
void expectModel(const std::string& path, const std::string& bytes) {
  const Model model = readModel(bytes);
  if (workfile().getFileLength(path) != model.count) std::abort();
  if (readRecords(path) != model.records) std::abort();
  if (model.records.empty()) return;
  // The first and the last record's borrowers: the last one's items change most.
  for (const std::string* borrower : {&model.records.front().first, &model.records.back().first}) {
    std::vector<std::string> expected, got;
    for (const auto& [b, item] : model.records)
      if (b == *borrower) expected.push_back(item);
    if (!workfile().findBorrowersBooks(path, *borrower, got).ok || got != expected) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = scratchPath();
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Half the input first, then the rest appended by "another program": the readers resume
  // from what they read before and must agree with a reading from scratch.
  const size_t half = size / 2;
  writeFile(path, data, half);
  expectModel(path, bytes.substr(0, half));
  appendFile(path, data + half, size - half);
  expectModel(path, bytes);
  // The same length rewritten in place with other bytes must not be taken for the old file.
  std::string changed = bytes;
  for (char& c : changed) c = c == ',' ? ';' : (c == ';' ? ',' : c);
  writeFile(path, reinterpret_cast<const uint8_t*>(changed.data()), changed.size());
  expectModel(path, changed);
  writeFile(path, data, size);

  const Model model = readModel(bytes);
  expectModel(path, bytes);
  // The check's appending test may cut a trailing 26; what was readable stays readable.
  (void)vx::workfile::checkFile(path);
  if (workfile().getFileLength(path) != model.count) std::abort();

  // An appended record is read back as the last one, unless the file refuses it.
  if (workfile().writeToFile(path, "B,I")) {
    std::ifstream in(path, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (readModel(after).count != model.count + 1 || readModel(after).records.back() != std::pair<std::string, std::string>("B", "I"))
      std::abort();
    expectModel(path, after);
  }
  return 0;
}
