// Fuzzes mldc's command line: the input, split at NUL bytes, is the argument list after the
// program's name, run through mldc's own main (built here under another name) in a folder of
// its own that holds a language list, a translation table, custom locales and a dictionary
// compiled from them (l.ini, t.tsv, c.ini, d.mld). Arguments that name a file elsewhere (any
// '/') are left out, so that a run reads and writes that folder only.
//  - every command line ends with 0, 1 (a failure) or 2 (a usage error); nothing escapes;
//  - a run that fails leaves the folder as it was: no half file, no temporary file;
//  - a run that succeeds changes at most one file, and only `compile` (a dictionary that
//    reads back) or `embed` (a stored form) writes one.
// The files are put back as they were after every run; the folder is removed at the end.
#include "i18n/FormData.h"
#include "i18n/MLDFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

int vx_mldc_main(int argc, char** argv);

namespace {

using Folder = std::map<std::string, std::string>;

const Folder kSources = {
    {"l.ini",
     "[Language0]\nPrimaryId=0\nCodePage=1252\n"
     "[Language1]\nColumn=NOR\nPrimaryId=20\nDefaultSubId=1\nCodePage=1252\n"},
    {"t.tsv",
     "context1\tcontext2\tnative\tNOR\n"
     "TFVXSysDn\tmnuFile\t&File\t&Fil\n"
     "TFVXSysDn\tmnuHelp\t&Help\t&Hjelp\n"},
    {"c.ini", "[Locale0]\nPrimaryId=20\nSubId=1\nCodePage=1252\nCurrencySymbol=kr\n"},
};

Folder initial;  // kSources and d.mld

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
};

std::string contents(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Folder readFolder() {
  Folder f;
  DIR* dir = opendir(".");
  if (!dir) std::abort();
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") f[name] = contents(name);
  }
  closedir(dir);
  return f;
}

void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) std::abort();
}

void restore(const Folder& now) {
  for (const auto& [name, bytes] : now) {
    const auto it = initial.find(name);
    if (it == initial.end()) {
      if (std::remove(name.c_str()) != 0) std::abort();
    } else if (bytes != it->second) {
      writeFile(name, it->second);
    }
  }
  for (const auto& [name, bytes] : initial)
    if (!now.count(name)) writeFile(name, bytes);
}

int run(std::vector<std::string> args) {
  args.insert(args.begin(), "mldc");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return vx_mldc_main(int(args.size()), argv.data());
}

[[noreturn]] void fail(const char* what, const std::vector<std::string>& args) {
  std::fprintf(stderr, "%s: mldc", what);
  for (const auto& a : args) std::fprintf(stderr, " [%s]", a.c_str());
  std::fprintf(stderr, "\n");
  std::abort();
}

// libFuzzer writes the input of a crash into the current folder, which is the sandbox while
// mldc runs: a crash file is written where the fuzzer was started instead (an artifact path
// given relative is made absolute against that folder).
void keepArtifactsHere(int* argc, char*** argv, const std::string& here) {
  static std::vector<std::string> kept;
  static std::vector<char*> pointers;
  bool prefixGiven = false;
  for (int i = 0; i < *argc; ++i) {
    std::string a = (*argv)[i];
    for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path="}) {
      const std::string f = flag;
      if (a.rfind(f, 0) != 0) continue;
      prefixGiven = prefixGiven || f == "-artifact_prefix=";
      if (a.size() > f.size() && a[f.size()] != '/') a = f + here + "/" + a.substr(f.size());
    }
    kept.push_back(a);
  }
  if (!prefixGiven) kept.push_back("-artifact_prefix=" + here + "/");
  for (auto& a : kept) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  *argc = int(kept.size());
  *argv = pointers.data();
}

int startFolder = -1, sandbox = -1;
std::string sandboxPath;

void removeSandbox() {
  if (fchdir(sandbox) != 0) return;
  for (const auto& [name, bytes] : readFolder()) std::remove(name.c_str());
  if (fchdir(startFolder) == 0) rmdir(sandboxPath.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  char here[4096];
  if (!getcwd(here, sizeof here)) std::abort();
  keepArtifactsHere(argc, argv, here);
  char folder[] = "/tmp/fuzz_mldc_command_line.XXXXXX";
  if (!mkdtemp(folder)) std::abort();
  sandboxPath = folder;
  startFolder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  sandbox = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (startFolder < 0 || sandbox < 0 || fchdir(sandbox) != 0) std::abort();
  // Dumps and usage texts go nowhere; libFuzzer reports on standard error, which stays.
  static NullBuffer nothing;
  std::cout.rdbuf(&nothing);
  std::cerr.rdbuf(&nothing);
  const int null = open("/dev/null", O_WRONLY);
  if (null < 0 || dup2(null, STDOUT_FILENO) < 0) std::abort();
  close(null);
  for (const auto& [name, bytes] : kSources) writeFile(name, bytes);
  if (run({"compile", "t.tsv", "l.ini", "--locales", "c.ini", "-o", "d.mld"}) != 0) {
    std::fprintf(stderr, "mldc cannot compile the fuzzer's sources in %s\n", folder);
    std::abort();
  }
  initial = readFolder();
  if (fchdir(startFolder) != 0) std::abort();
  std::atexit(removeSandbox);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '/') return -1;
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back() += char(data[i]);
  }
  if (size == 0) args.clear();

  if (fchdir(sandbox) != 0) std::abort();
  const int rc = run(args);
  const Folder after = readFolder();
  std::vector<std::string> changed;
  for (const auto& [name, bytes] : after) {
    const auto it = initial.find(name);
    if (it == initial.end() || it->second != bytes) changed.push_back(name);
  }
  for (const auto& [name, bytes] : initial)
    if (!after.count(name)) fail("a file was removed", args);

  if (rc != 0 && rc != 1 && rc != 2) fail("an exit code other than 0, 1 or 2", args);
  if (rc != 0 && !changed.empty()) fail("a failed run left a file behind", args);
  if (rc == 0 && changed.size() > 1) fail("more than one file written", args);
  if (rc == 0 && changed.size() == 1) {
    const std::string& written = after.at(changed[0]);
    if (args.empty()) fail("no command wrote a file", args);
    if (args[0] == "compile") {
      try {
        vx::i18n::TIvMLDFile f;
        f.AttachStream(written);
        f.ReadHeader();
      } catch (const std::exception&) {
        fail("compile wrote a dictionary that does not read back", args);
      }
    } else if (args[0] == "embed") {
      try {
        (void)vx::i18n::readStoredFormHeader(written);
      } catch (const std::exception&) {
        fail("embed wrote a form that does not read back", args);
      }
    } else {
      fail("a command that writes nothing wrote a file", args);
    }
  }
  restore(after);
  if (fchdir(startFolder) != 0) std::abort();
  return 0;
}
