// Fuzzes the alias file parser: any bytes either parse or raise DbError naming the file;
// a parsed alias has a name, a known driver and, for SQLite, an absolute path.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "db/AliasConfig.h"
#include "db/DbError.h"
#include "db/SqlText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string file = "/etc/vellumdex/aliases.ini";
  try {
    for (const auto& a : vx::db::parseAliases(input, file)) {
      if (a.name.empty()) std::abort();
      if (a.driver == vx::db::DriverKind::Sqlite) {
        bool absolute = false;
        for (const auto& [k, v] : a.settings)
          if (vx::sameName(k, "PATH") && !v.empty()) absolute = absolute || v.front() == '/';
        if (!absolute) std::abort();
      }
    }
  } catch (const vx::db::DbError& e) {
    if (std::string_view(e.what()).substr(0, file.size()) != file) {
      std::fprintf(stderr, "message without the file name: %s\n", e.what());
      std::abort();
    }
  }
  return 0;
}
