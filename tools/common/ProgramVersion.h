#pragma once
// The answer of a tool's --version: one line "<program> <version>" on standard output, the
// version being the file version in the running program's own version information (the same
// that vxver and the about box show), never a number compiled in beside it.
namespace vx::tools {

// Prints "<program> <version>\n" and returns 0; when the program file holds no version
// information, says so on standard error and returns 1.
int printProgramVersion(const char* program);

}  // namespace vx::tools
