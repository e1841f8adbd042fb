#pragma once
// What every tool's command line is read with: one error type for a bad command line, and a
// walk over the arguments that knows the tools' common forms.
//
//   flags            --help, --version, -U ... : a word the tool names
//   options          "--name value", and where the tool allows it "--name=value"
//   positional       everything else; "--" ends the options where the tool allows it
// A word that starts with '-' and is not one of the tool's is an unknown option.
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vx::tools {

// A bad command line, with what is wrong; an empty message asks for the usage alone.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Arguments {
 public:
  explicit Arguments(std::vector<std::string> args) : args_(std::move(args)) {}

  // Steps to the next argument; false when there is none.
  bool next() { return ++at_ < args_.size(); }
  const std::string& current() const { return args_.at(at_); }

  // Whether the current argument is one of `names`.
  bool is(std::initializer_list<std::string_view> names) const;
  // When the current argument is the option `name`: its value, stepping over it. With
  // `equalsForm`, "--name=value" is the option too. UsageError "NAME needs a value" when
  // no value follows.
  std::optional<std::string> value(std::string_view name, bool equalsForm = false);
  // A word that reads as an option: '-' and at least one more character.
  bool looksLikeOption() const;
  // UsageError "unknown option X".
  [[noreturn]] void unknownOption() const;

 private:
  std::vector<std::string> args_;
  std::size_t at_ = std::size_t(-1);  // before the first
};

}  // namespace vx::tools
