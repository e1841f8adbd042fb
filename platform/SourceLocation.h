#pragma once
// Where a code address of this process lies in the sources: the source file, the routine and
// the line, read from the debug information of the module (the program or a shared library)
// that holds the address. Names are empty and the line 0 for what the debug information does
// not say (a module built without it, an address in no module).
#include <cstdint>
#include <string>

namespace vx {

struct SourceLocation {
  std::string file;     // the source file's name, without its folder
  std::string routine;  // the routine's name, demangled
  int line = 0;
};

// Reads /proc/self/maps and the modules' debug information; not for a signal handler.
SourceLocation locateAddress(std::uintptr_t address);

}  // namespace vx
