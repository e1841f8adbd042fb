// The cost of one scan at the circulation desk, on workfiles of growing size: the item is
// appended (and synced), the records are recounted and the borrower's items relisted,
// which is what Enter in the item field does. Beside it, one plain sequential read of the
// same file, the floor any reader of the whole file stands on.
#include "workfile/Workfile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string makeWorkfile(int lines) {
  static std::string folder;
  if (folder.empty()) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vxbench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    folder = tmpl;
  }
  const std::string path = folder + "/workfile-" + std::to_string(lines) + ".csv";
  std::string text;
  // Some 2,000 borrowers, most with a handful of items: a busy day at a big branch.
  for (int i = 0; i < lines; ++i)
    text += "2300" + std::to_string(100000 + (i * 7919) % 2000) + "," + "0301" +
            std::to_string(4000000 + i) + "\r\n";
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

void BM_Scan(benchmark::State& state) {
  const std::string path = makeWorkfile(int(state.range(0)));
  vx::workfile::Workfile wf;
  std::vector<std::string> items;
  int count = 0;
  for (auto _ : state) {
    if (!wf.writeToFile(path, "2300100042,0301999999")) state.SkipWithError("write");
    count = wf.getFileLength(path);
    items.clear();
    wf.findBorrowersBooks(path, "2300100042", items);
    benchmark::DoNotOptimize(count);
  }
  state.counters["records"] = count;
  state.counters["listed"] = double(items.size());
}

// The first scan after the borrower changed: the new borrower's items are listed from the
// whole file (the count still resumes).
void BM_ScanNewBorrower(benchmark::State& state) {
  const std::string path = makeWorkfile(int(state.range(0)));
  vx::workfile::Workfile wf;
  std::vector<std::string> items;
  int borrower = 0;
  for (auto _ : state) {
    const std::string who = "2300" + std::to_string(100000 + (borrower++ % 2000));
    wf.writeToFile(path, who + ",0301999999");
    benchmark::DoNotOptimize(wf.getFileLength(path));
    items.clear();
    wf.findBorrowersBooks(path, who, items);
  }
}

void BM_PlainRead(benchmark::State& state) {
  const std::string path = makeWorkfile(int(state.range(0)));
  std::vector<char> buf(64 * 1024);
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;) total += std::size_t(n);
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
}

// The parts of a scan on their own, to see where its time goes.
void BM_AppendOnly(benchmark::State& state) {
  const std::string path = makeWorkfile(int(state.range(0)));
  vx::workfile::Workfile wf;
  for (auto _ : state) wf.writeToFile(path, "2300100042,0301999999");
}

void BM_RecountAndRelist(benchmark::State& state) {
  const std::string path = makeWorkfile(int(state.range(0)));
  vx::workfile::Workfile wf;
  std::vector<std::string> items;
  for (auto _ : state) {
    benchmark::DoNotOptimize(wf.getFileLength(path));
    items.clear();
    wf.findBorrowersBooks(path, "2300100042", items);
  }
}

}  // namespace

BENCHMARK(BM_Scan)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanNewBorrower)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainRead)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AppendOnly)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecountAndRelist)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
