#pragma once
// The one error type of the engine layer. Its message is the database engine's own text
// (trimmed of trailing line breaks), or, for failures of this layer itself, a sentence that
// names the object concerned. Callers show it or log it unchanged.
#include <stdexcept>
#include <string>

namespace vx::db {

class DbError : public std::runtime_error {
 public:
  explicit DbError(const std::string& message) : std::runtime_error(message) {}
};

// Trims white space (and the line breaks engines end their messages with) at both ends.
std::string trimMessage(const std::string& text);

}  // namespace vx::db
