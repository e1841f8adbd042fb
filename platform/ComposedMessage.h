#pragma once
// A message built from fixed pieces around values ("Language index " + 7 + " is out of range"),
// or from one fixed format whose %s placeholders take the values in order ("... (%s on \"%s\"
// form)"). The pieces and the format are texts a dictionary can translate; the values are
// shown as they are. An error
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
  bool isValue = false;   // a value: never translated
  bool isFormat = false;  // the one piece of a format message: its %s take the values in order

  static MessagePart piece(std::string text) { return {std::move(text), false}; }
  static MessagePart value(std::string text) { return {std::move(text), true}; }
};

using MessageParts = std::vector<MessagePart>;

// Fills each "%s" of `format` with the next of `values`; a placeholder without a value stays
// as it stands, so a translated format with more placeholders never reads past the values.
inline std::string filledFormat(const std::string& format, const std::vector<std::string>& values) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next < values.size()) {
      out += values[next++];
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

// A format and its values as the parts of a message: the format is the one piece, marked so.
inline MessageParts formatParts(std::string format, const std::vector<std::string>& values) {
  MessageParts parts{{std::move(format), false, true}};
  for (const std::string& v : values) parts.push_back(MessagePart::value(v));
  return parts;
}

inline std::string joinedMessage(const MessageParts& parts) {
  if (!parts.empty() && parts.front().isFormat) {
    std::vector<std::string> values;
    for (std::size_t i = 1; i < parts.size(); ++i) values.push_back(parts[i].text);
    return filledFormat(parts.front().text, values);
  }
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
