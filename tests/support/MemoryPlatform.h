#pragma once

// A platform held in memory: a settable clock and tick counter, a table of
// file sizes, and a record of the folders the monitor asked to open.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform.h"

namespace recmon {

class TMemoryPlatform final : public IRecMonPlatform {
 public:
  double Clock = 46000.5;  // a date-time in 2025
  std::uint32_t Ticks = 0;
  std::map<std::string, std::int64_t> FileSizes;
  std::vector<std::string> OpenedFolders;
  std::string Separator = ":";
  int FileLookups = 0;

  void AdvanceSeconds(double seconds) { Clock += seconds / 86400; }

  double Now() override { return Clock; }
  std::uint32_t TickCount() override { return Ticks; }
  std::optional<std::int64_t> FileSize(const std::string& path) override {
    ++FileLookups;
    const auto it = FileSizes.find(path);
    if (it == FileSizes.end()) {
      return std::nullopt;
    }
    return it->second;
  }
  void OpenFolder(const std::string& folder) override { OpenedFolders.push_back(folder); }
  std::string TimeSeparator() override { return Separator; }
};

}  // namespace recmon
