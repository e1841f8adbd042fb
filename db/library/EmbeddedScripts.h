#pragma once
// The library database's SQL scripts as the build embedded them (EmbedScripts.cmake).
#include <string_view>

namespace vx::db::library {

// The script of that name below data/db ("sqlite/schema.sql", "postgres/demo.sql", ...);
// empty for a name the build did not embed.
std::string_view embeddedScript(std::string_view name);

}  // namespace vx::db::library
