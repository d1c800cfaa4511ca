#pragma once

// Opening the channel's directory and files so that nothing of another user,
// nothing reachable to other users, and nothing behind a link is ever used.
// Root can open anything, so trust is decided by owner, mode and type, never
// by whether an open happens to fail.

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <string>

#include "UniqueFd.h"

namespace recmon {

enum class TEntryKind { Directory, RegularFile };

// Owned by `owner`, no group or other permission bits, of the expected type;
// a regular file must also have a single link, so that it cannot be a second
// name of some other file.
bool IsTrustedEntry(const struct stat& st, TEntryKind kind, uid_t owner);

// Creates the directory with mode 0700 if missing (its parent must exist) and
// opens it without following a link. Empty when it is not trusted.
TUniqueFd OpenChannelDirectory(const std::string& path);

// Opens (creating with mode 0600 if missing) a file of the directory for
// reading and writing, without following a link. Empty when not trusted.
TUniqueFd OpenChannelFile(int dirFd, const char* name);

// Opens an existing file of the directory, for reading only unless
// `forWriting`, without creating it and without following a link. Empty when
// missing or not trusted.
TUniqueFd OpenExistingChannelFile(int dirFd, const char* name, bool forWriting = false);

// Whether `name` in the directory still is the file open as `fd`.
bool NameRefersTo(int dirFd, const char* name, int fd);

// flock(2), retried when a signal interrupts it.
bool FlockRetrying(int fd, int operation);

enum class TFlockResult { Taken, Busy, Failed };

// flock(2) that waits at most `bound` for a lock someone else holds (a peer
// stopped in a debugger must not stop us): Busy when the bound passed,
// Failed when the lock cannot be had at all.
TFlockResult FlockWithin(int fd, int operation, std::chrono::microseconds bound);

}  // namespace recmon
