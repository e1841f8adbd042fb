#pragma once
// Where a command-line tool takes the password of its database login from. A password on the
// command line can be read by every user of the machine in the process list (ps, /proc) for as
// long as the tool runs; the other ways are readable only by the tool's own user:
//
//   1. the command line (-P, --password), kept only for the scripts that already use it;
//   2. the first line of a file named with --password-file;
//   3. a prompt without echo, when standard input is a terminal and a password is wanted;
//   4. the environment variable VX_PASSWORD (a process's environment is readable only by its
//      owner and root).
//
// The ways named on the command line come first, because that is what the caller asked for;
// on a terminal the prompt comes before VX_PASSWORD, so that a variable left exported in a
// shell is never sent without the user knowing.
#include <optional>
#include <stdexcept>
#include <string>

namespace vx::tools {

// A password file named but not readable; the message names the file and the cause.
struct PasswordFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PasswordWays {
  std::optional<std::string> commandLine;  // given with -P or --password
  std::optional<std::string> file;         // --password-file FILE
  // Whether to ask on a terminal: the login names a user. A tool that logs on without a user
  // (the server trusts the local account) never stops at a prompt.
  bool prompt = false;
  std::string promptText;  // e.g. "Password for vxdesk on demo: ", written to standard error
};

// The password by the first of the ways above that gives one. From a file: its first line,
// without the line end (LF or CR LF); an empty file gives an empty password. From the prompt:
// the line typed, the terminal's echo off while it is typed and restored afterwards, also when
// an interrupt (Ctrl-C), hang-up or termination ends the tool at the prompt. nullopt when no
// way gives one: the login goes without a password (PostgreSQL may still find one in
// PGPASSWORD or ~/.pgpass, or need none). Raises PasswordFileError.
std::optional<std::string> readPassword(const PasswordWays& ways);

// The paragraph of a tool's --help on the ways above; `commandLineOption` is how the tool
// spells the first one ("-P PASSWORD").
std::string passwordHelp(const std::string& commandLineOption);

}  // namespace vx::tools
