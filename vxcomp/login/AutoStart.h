#pragma once
// The command line of the suite's programs as the login reads it: "/AS" or "/AUTOSTART"
// (in any case) followed by one argument "alias,user,password".
#include <string>
#include <string_view>
#include <vector>

namespace vx::login {

// Splits a comma-separated text as the suite's programs always have: items are separated by
// commas or by any character up to and including the space; an item in double quotes may
// hold such characters, and a doubled quote in it stands for one quote. Blanks around items
// are skipped; two commas in a row make an empty item; a trailing comma makes none.
std::vector<std::string> splitCommaText(std::string_view text);

// The arguments the program was started with, without the program's own name. They are
// read from the system (/proc/self/cmdline) unless set with setProgramArguments (tests, or a
// program that takes them from main).
std::vector<std::string> programArguments();
void setProgramArguments(std::vector<std::string> arguments);

}  // namespace vx::login
