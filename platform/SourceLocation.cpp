#include "platform/SourceLocation.h"

#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace vx {

namespace {

std::string demangled(const char* name) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> plain(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                    &std::free);
  return status == 0 && plain ? std::string(plain.get()) : std::string(name);
}

std::string withoutFolder(const char* path) {
  const std::string p = path;
  const auto slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

SourceLocation locateAddress(std::uintptr_t address) {
  SourceLocation where;
  static char* debugInfoPath = nullptr;
  const Dwfl_Callbacks callbacks = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo, nullptr,
                                    &debugInfoPath};
  std::unique_ptr<Dwfl, decltype(&dwfl_end)> dwfl(dwfl_begin(&callbacks), &dwfl_end);
  if (!dwfl) return where;
  if (dwfl_linux_proc_report(dwfl.get(), ::getpid()) != 0 ||
      dwfl_report_end(dwfl.get(), nullptr, nullptr) != 0)
    return where;
  Dwfl_Module* module = dwfl_addrmodule(dwfl.get(), address);
  if (!module) return where;
  if (const char* name = dwfl_module_addrname(module, address)) where.routine = demangled(name);
  if (Dwfl_Line* line = dwfl_module_getsrc(module, address)) {
    int number = 0;
    if (const char* file = dwfl_lineinfo(line, nullptr, &number, nullptr, nullptr, nullptr)) {
      where.file = withoutFolder(file);
      where.line = number;
    }
  }
  return where;
}

}  // namespace vx
