#include "vxcomp/login/AutoStart.h"

#include <fstream>
#include <iterator>
#include <optional>

namespace vx::login {

namespace {

bool isBlank(char c) { return c != '\0' && static_cast<unsigned char>(c) <= ' '; }

std::optional<std::vector<std::string>>& overridden() {
  static std::optional<std::vector<std::string>> arguments;
  return arguments;
}

}  // namespace

std::vector<std::string> splitCommaText(std::string_view text) {
  // A NUL ends the text, as it ends a C string.
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> items;
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
  while (isBlank(at(i))) ++i;
  while (i < text.size()) {
    std::string item;
    if (at(i) == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (at(i + 1) != '"') {
            ++i;
            break;
          }
          ++i;  // a doubled quote
        }
        item += text[i++];
      }
    } else {
      while (i < text.size() && !isBlank(text[i]) && text[i] != ',') item += text[i++];
    }
    items.push_back(std::move(item));
    while (isBlank(at(i))) ++i;
    if (at(i) == ',') {
      do ++i;
      while (isBlank(at(i)));
    }
  }
  return items;
}

std::vector<std::string> programArguments() {
  if (overridden()) return *overridden();
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start < all.size()) {
    const auto end = all.find('\0', start);
    args.push_back(all.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (!args.empty()) args.erase(args.begin());
  return args;
}

void setProgramArguments(std::vector<std::string> arguments) { overridden() = std::move(arguments); }

}  // namespace vx::login
