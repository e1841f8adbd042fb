#include "tools/common/PasswordSource.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace vx::tools {

namespace {

// The terminal's settings before the prompt, for the signal handler to put back. Set before
// the handlers are installed and not changed while they are.
termios terminalBeforePrompt{};

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A signal that ends the tool at the prompt must not leave the user's terminal without echo.
// Only async-signal-safe calls: the handler resets itself (SA_RESETHAND), so the signal
// raised again ends the process as it would have without the prompt.
extern "C" void restoreTerminalAndEnd(int signal) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &terminalBeforePrompt);
  ::raise(signal);
}

std::string promptWithoutEcho(const std::string& text) {
  const bool quiet = ::tcgetattr(STDIN_FILENO, &terminalBeforePrompt) == 0;
  struct sigaction before[std::size(kFatalSignals)]{};
  if (quiet) {
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
      ::sigaction(kFatalSignals[i], nullptr, &before[i]);
      // A signal the tool was told to ignore (nohup) stays ignored.
      if (before[i].sa_handler != SIG_DFL) continue;
      struct sigaction restore{};
      restore.sa_handler = restoreTerminalAndEnd;
      restore.sa_flags = SA_RESETHAND;
      sigemptyset(&restore.sa_mask);
      ::sigaction(kFatalSignals[i], &restore, nullptr);
    }
    termios noEcho = terminalBeforePrompt;
    noEcho.c_lflag &= ~tcflag_t(ECHO);
    // Echo goes off before the prompt is shown, so nothing typed after it is ever echoed.
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &noEcho);
  }
  (void)!::write(STDERR_FILENO, text.data(), text.size());
  // Byte by byte, so that nothing after the line is taken from standard input.
  std::string line;
  for (char c = 0;;) {
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') break;
    line += c;
  }
  if (quiet) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &terminalBeforePrompt);
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i)
      if (before[i].sa_handler == SIG_DFL) ::sigaction(kFatalSignals[i], &before[i], nullptr);
  }
  // The Enter that ended the line was not echoed either.
  (void)!::write(STDERR_FILENO, "\n", 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string firstLineOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PasswordFileError("cannot read the password file " + path + ": " + std::strerror(errno));
  std::string line;
  std::getline(in, line);
  if (in.bad()) throw PasswordFileError("cannot read the password file " + path);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::optional<std::string> readPassword(const PasswordWays& ways) {
  if (ways.commandLine) return ways.commandLine;
  if (ways.file) return firstLineOf(*ways.file);
  if (ways.prompt && ::isatty(STDIN_FILENO) == 1) return promptWithoutEcho(ways.promptText);
  if (const char* fromEnvironment = std::getenv("VX_PASSWORD")) return std::string(fromEnvironment);
  return std::nullopt;
}

std::string passwordHelp(const std::string& commandLineOption) {
  std::string first = "  " + commandLineOption;
  first += std::string(first.size() < 24 ? 24 - first.size() : 1, ' ');
  return "The password of the login is taken from the first of:\n" + first +
         "only for old scripts: every user of this machine can read a\n"
         "                        command line in the process list while the tool runs\n"
         "  --password-file FILE  the file's first line (make it readable by its owner only)\n"
         "  a prompt without echo when standard input is a terminal and a user is named\n"
         "  VX_PASSWORD           the environment variable, for scripts and jobs (only the\n"
         "                        tool's own user and root can read its environment)\n"
         "Without any of them no password is sent: the server may trust the local user, or\n"
         "find one in libpq's PGPASSWORD or ~/.pgpass.\n";
}

}  // namespace vx::tools
