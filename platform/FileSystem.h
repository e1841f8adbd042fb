#pragma once
// File existence and attributes, and the few whole-file operations the program repeats: read a
// file, sync a folder, replace a file through a synced temporary.
#include <string>

#include <sys/types.h>

namespace vx::fs {

// True when a file (not a folder) of that name exists.
bool fileExists(const std::string& path);

// True when a folder of that name exists.
bool folderExists(const std::string& path);

// The read-only attribute: a file whose mode has no write bit for anyone. This is decided
// from the mode bits, not from access(2), because root may write any file.
bool isReadOnly(const std::string& path);

// Sets or clears the read-only attribute (removes or restores the owner's write bit).
// False when the file's mode cannot be changed.
bool setReadOnly(const std::string& path, bool readOnly);

// Whether the open descriptor `fd` is the file `path` names now (same device and inode). A lock
// taken on a descriptor is only worth something while this holds: another program may have
// renamed a new file over the path between the open and the lock.
bool namesSameFile(int fd, const std::string& path);

// Whether `folder` lies on a file system shared over the network (NFS, SMB/CIFS, AFS, 9P,
// FUSE mounts such as sshfs, cluster file systems), where locks and shared memory between
// machines cannot be relied on. False for a local one, and when it cannot be told.
bool isNetworkFolder(const std::string& folder);

// The folder part of `path`: "." for a bare name, "/" for a file in the root.
std::string folderOf(const std::string& path);

// fsync of a folder, so that a file just created or renamed in it survives a power loss.
// False on failure.
bool syncFolder(const std::string& folder);

// syncFolder of the folder that holds `path`.
bool syncFolderOf(const std::string& path);

enum class ReadResult { Ok, Missing, Failed };

// The whole file into `out` (cleared first). Missing: no such file; Failed: any other error,
// with errno left as the failing call set it.
ReadResult readFile(const std::string& path, std::string& out);

// Copies the file `from` to a new file `to` (which must not exist) with exactly `mode`, and
// syncs it. On failure `to` is removed and `error` (when given) says why.
bool copyToNewFile(const std::string& from, const std::string& to, mode_t mode,
                   std::string* error = nullptr);

// Writes all of `bytes` to `fd`, going on after a short write or an interruption. False on an
// error, with errno set.
bool writeAll(int fd, const std::string& bytes);

// Files that hold a library database, a password hash or a login are private to their user:
// the program creates them 0600 and the folders it makes for them 0700, exactly, whatever the
// umask. A file or folder that exists already keeps the mode it has.

// Creates `folder` and every folder above it that is missing, each new one with mode 0700.
// Folders that exist are left as they are. False on failure, with `error` (when given) "Cannot
// create the folder F: reason" and errno set.
bool makePrivateFolders(const std::string& folder, std::string* error = nullptr);

// Creates the new file `path` (O_CREAT | O_EXCL: it must not exist) with mode 0600 and opens it
// with `flags` (O_CLOEXEC is added). The descriptor, or -1 with errno set (EEXIST when the file
// exists); a file that could not be given its mode is removed again.
int createPrivateFile(const std::string& path, int flags);

// Opens `path` with `flags` (O_CLOEXEC is added), creating it as createPrivateFile does when
// it is missing; an existing file keeps its mode. The descriptor, or -1 with errno set.
int openPrivateFile(const std::string& path, int flags);

// Replaces (or creates) `path` with `bytes` so that a reader sees the old file or the new one,
// never half of one, and a crash leaves one of the two: the bytes go to a temporary file of a
// unique name in the same folder, created with exactly `mode` (not cut by the umask), are
// written, synced and renamed over `path`, and the folder is synced. On failure the temporary
// is removed, `path` is untouched, `error` (when given) gets "what path: reason" and the
// result is false.
bool replaceFile(const std::string& path, const std::string& bytes, mode_t mode,
                 std::string* error = nullptr);

}  // namespace vx::fs
