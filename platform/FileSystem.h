#pragma once
// File existence and attributes, as the program's file checks need them.
#include <string>

namespace vx::fs {

// True when a file (not a folder) of that name exists.
bool fileExists(const std::string& path);

// The read-only attribute: a file whose mode has no write bit for anyone. This is decided
// from the mode bits, not from access(2), because root may write any file.
bool isReadOnly(const std::string& path);

// Sets or clears the read-only attribute (removes or restores the owner's write bit).
// False when the file's mode cannot be changed.
bool setReadOnly(const std::string& path, bool readOnly);

// fsync of the folder that holds `path`, so that a file just created or renamed there
// survives a power loss. Returns false on failure.
bool syncFolderOf(const std::string& path);

}  // namespace vx::fs
