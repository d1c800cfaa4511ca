#pragma once

// Where the monitor and the recorders meet: one private directory per user
// holding the record file, the lock file and the writer's presence file.

#include <string>

namespace recmon {

// Name of the directory inside $XDG_RUNTIME_DIR (or, with "-<uid>" appended,
// inside the fallback parent below).
inline constexpr const char* RecMonDirectoryName = "VardimexKestrumRecMon";
// Used when XDG_RUNTIME_DIR is unset, empty or not an absolute path.
inline constexpr const char* RecMonFallbackParent = "/dev/shm";
// The record, exactly 608 bytes.
inline constexpr const char* RecMonMapName = "VardimexKestrumRecMonMap";
// Empty; its flock is the lock around every access to the record.
inline constexpr const char* RecMonMutexName = "VardimexKestrumRecMonMutex";
// The publishing writer's presence (WriterPresence.h); only writers create it.
inline constexpr const char* RecMonWriterName = "VardimexKestrumRecMonWriter";

// $XDG_RUNTIME_DIR/VardimexKestrumRecMon when XDG_RUNTIME_DIR is an absolute
// path, otherwise /dev/shm/VardimexKestrumRecMon-<real uid>. Read afresh on
// every call, so tests can point it elsewhere.
std::string RecMonChannelDirectory();

}  // namespace recmon
