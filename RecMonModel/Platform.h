#pragma once

// What the monitor logic takes from the machine it runs on. The program
// supplies the real clock, tick counter, file system and desktop shell; tests
// supply fakes, so every readout can be driven from memory.

#include <cstdint>
#include <optional>
#include <string>

namespace recmon {

class IRecMonPlatform {
 public:
  virtual ~IRecMonPlatform() = default;

  // Local wall-clock time as a date-time value (days since 1899-12-30).
  virtual double Now() = 0;
  // Milliseconds since boot, low 32 bits: the counter recorders stamp
  // TheirLastSoundTick with.
  virtual std::uint32_t TickCount() = 0;
  // Size in bytes of the entry at this path (file or directory), or nothing
  // when no entry can be found there. The path's bytes are used unchanged.
  virtual std::optional<std::int64_t> FileSize(const std::string& path) = 0;
  // Asks the desktop to open this folder for the user; never waits for it.
  virtual void OpenFolder(const std::string& folder) = 0;
  // The user locale's time separator, or ":" where the locale has none.
  virtual std::string TimeSeparator() = 0;
};

}  // namespace recmon
