#pragma once

// The writer's presence: a file beside the record that tells a monitor
// whether the program that published the record still runs, and two writers
// which of them publishes (docs/protocol.md, "Writer presence").
//
// The writer that publishes holds an open-file-description write lock
// (fcntl F_OFD_SETLK) on its first byte for as long as it is attached; the
// kernel drops it when the writer ends, however it ends. A monitor tests the
// lock with F_OFD_GETLK, which takes nothing: so no probe, however timed,
// can make a starting writer think that another one holds it. (flock cannot
// test a lock without taking it; the two kinds never meet on this file.)
//
// The file's content ties the presence to the record: the version, a beat
// counter that every publish moves (also a publish of nothing new), and a
// copy of the record as it was last written with it. A record that differs
// from the copy was written without the presence (an older recorder), so an
// ended presence says nothing about it.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "RecordingDefs.h"

namespace recmon {

inline constexpr std::uint32_t WriterPresenceVersion = 1;
// Little-endian: version (4 bytes), beat (4), then the 608-byte record copy,
// which so keeps its doubles 8-byte aligned.
inline constexpr std::size_t WriterPresenceBeatOffset = 4;
inline constexpr std::size_t WriterPresenceRecordOffset = 8;
inline constexpr std::size_t WriterPresenceSize = WriterPresenceRecordOffset + RecMonStatusSize;

enum class TPresenceLock : std::uint8_t { Free, Held, Unknown };

// Whether any open file description holds the presence lock; takes nothing.
// Unknown when the test itself fails.
TPresenceLock ProbePresenceLock(int fd);

// Takes the presence lock without waiting: true when taken, false when
// another holds it. Raises std::system_error for any other failure.
bool TakePresenceLock(int fd);

struct TPresenceContent {
  std::uint32_t Beat = 0;
  TRecMonStatusBytes Record{};
};

// The content, or nothing when the file is not exactly one of this version
// (a writer that has not published yet leaves it empty).
std::optional<TPresenceContent> ReadPresence(int fd);

// Writes the version, the beat moved on by one from what the file holds,
// and `record` (or, without one, the copy the file already holds: a beat of
// a writer with nothing new to say). Call it under the record's lock.
// Raises std::system_error when the file cannot be read or written.
void WritePresence(int fd, const TRecMonStatusBytes* record);

}  // namespace recmon
