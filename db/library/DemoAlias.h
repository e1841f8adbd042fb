#pragma once
// The first start on a machine without any configured alias: the program sets up an embedded
// demo library database with its demo data, and a "demo" alias for it, so that a fresh
// machine can record and import at once.
//
//   demo library file  $XDG_DATA_HOME/vellumdex/demo-library.sqlite (default ~/.local/share)
//   alias file         the first of aliasFiles(): $VELLUMDEX_ALIASES when it is set, else
//                      $XDG_CONFIG_HOME/vellumdex/aliases.ini (default ~/.config)
#include <string>

#include "db/AliasConfig.h"

namespace vx::db {
class Session;
}

namespace vx::db::library {

// The name of the alias the set-up adds.
inline constexpr const char* kDemoAliasName = "demo";

// Where the demo library database belongs. Raises DbError when neither XDG_DATA_HOME nor HOME
// is set.
std::string demoLibraryPath();
// The alias file the set-up writes to (the first one that is read).
std::string userAliasFile();

// When no alias is configured at all (no alias file anywhere, or files without a single
// section), creates the demo library database with its demo data and appends a [demo]
// SQLITE alias for it to userAliasFile(), then adds the alias to `session`. Returns true when
// it set the alias up, false when some alias was configured already (nothing is touched).
//
// Never overwrites: an existing library file is kept and the alias points at it; the new file
// is built under a temporary name and linked into place only if the name is still free; the
// alias file is rewritten through a temporary file and a rename, with its previous text kept,
// under a lock, so that two programs starting at once add the alias once. A malformed alias
// file is not "no alias": its DbError is raised and nothing is written. Other failures raise
// DbError naming the file concerned.
bool ensureDemoAlias(Session& session);

}  // namespace vx::db::library
