#pragma once
// A message built from fixed pieces around values ("Language index " + 7 + " is out of range").
// The pieces are texts a dictionary can translate; the values are shown as they are. An error
// that carries one keeps the whole English sentence as its what() (for logs and standard
// error), and a display that translates messages translates it piece by piece, so that the
// sentence reads in one language. Plain C++.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vx {

struct MessagePart {
  std::string text;
  bool isValue = false;  // a value: never translated

  static MessagePart piece(std::string text) { return {std::move(text), false}; }
  static MessagePart value(std::string text) { return {std::move(text), true}; }
};

using MessageParts = std::vector<MessagePart>;

inline std::string joinedMessage(const MessageParts& parts) {
  std::string out;
  for (const MessagePart& p : parts) out += p.text;
  return out;
}

// Mixed into an exception class that may carry its message in parts; empty parts mean the
// message is one fixed text (what() as a whole).
class ComposedMessage {
 public:
  ComposedMessage() = default;
  explicit ComposedMessage(MessageParts parts) : parts_(std::move(parts)) {}
  virtual ~ComposedMessage() = default;
  const MessageParts& parts() const { return parts_; }

 private:
  MessageParts parts_;
};

// A plain runtime error whose message is composed.
class ComposedError : public std::runtime_error, public ComposedMessage {
 public:
  explicit ComposedError(MessageParts parts)
      : std::runtime_error(joinedMessage(parts)), ComposedMessage(std::move(parts)) {}
};

}  // namespace vx
