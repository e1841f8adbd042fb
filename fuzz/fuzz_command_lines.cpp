// Fuzzes the command lines of vxsql, vxdb, vximport and vxver, and the login's
// "/AS alias,user,password" list, the part of vxdown's command line that is plain C++ (the
// login finds the /AS itself with Qt's strings): the input, split at NUL bytes, is the
// argument list. A bad command line must come back as a usage error, never as a crash or
// another exception, and an accepted one must be whole. Every argument is also split as an /AS
// list: its items, written back quoted, must split again into the same items; outside quotes
// an item holds no blank and no comma, and items that need no quotes split the same when
// joined with commas or with spaces.
#include "tools/vxdb/CommandLine.h"
#include "tools/vximport/CommandLine.h"
#include "tools/vxsql/CommandLine.h"
#include "tools/vxver/CommandLine.h"
#include "vxcomp/login/AutoStart.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back() += char(data[i]);
  }
  try {
    const auto o = vx::tools::vxsql::parse(args);
    if (!o.version && o.sql.has_value() == o.proc.has_value()) std::abort();
    for (const auto& p : o.params) {
      if (p.name.empty()) std::abort();
      if (p.value) {
        try {
          (void)vx::tools::vxsql::valueOf(p);
        } catch (const vx::tools::vxsql::UsageError&) {
        }
      }
    }
  } catch (const vx::tools::vxsql::UsageError&) {
  }
  try {
    const auto o = vx::tools::vxdb::parse(args);
    if (o.command != "list" && o.alias.empty() && args.size() < 2) std::abort();
  } catch (const vx::tools::vxdb::UsageError&) {
  }
  try {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const auto o = vx::tools::vximport::parse(rest);
    if (!o.help && !o.version && (o.workfile.empty() || o.alias.empty() || o.user.empty() || o.unit <= 0))
      std::abort();
  } catch (const vx::tools::vximport::UsageError&) {
  }
  try {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const auto o = vx::tools::vxver::parse(rest);
    if (!o.help && !o.version && o.file.empty()) std::abort();
  } catch (const vx::tools::vxver::UsageError&) {
  }
  for (const std::string& arg : args) {
    const auto items = vx::login::splitCommaText(arg);
    std::string quoted;
    for (const std::string& item : items) {
      if (!quoted.empty()) quoted += ',';
      quoted += '"';
      for (char c : item) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      quoted += '"';
    }
    if (vx::login::splitCommaText(quoted) != items) std::abort();
    const auto separator = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == ','; };
    bool plain = true;
    for (const std::string& item : items) {
      const bool bare = std::none_of(item.begin(), item.end(), separator);
      if (arg.find('"') == std::string::npos && !bare) std::abort();
      plain = plain && bare && !item.empty() && item.find('"') == std::string::npos;
    }
    if (!plain) continue;
    for (const char* sep : {",", " ", " ,\t"}) {
      std::string joined;
      for (const std::string& item : items) joined += (joined.empty() ? "" : sep) + item;
      if (vx::login::splitCommaText(joined) != items) std::abort();
    }
  }
  return 0;
}
