#pragma once

// The machine as the monitor sees it on a Linux desktop.

#include "Platform.h"

namespace recmon {

class TDesktopPlatform final : public IRecMonPlatform {
 public:
  double Now() override;
  std::uint32_t TickCount() override;
  // stat(2) on the path's bytes as they are: files, directories, anything.
  std::optional<std::int64_t> FileSize(const std::string& path) override;
  // Hands the folder, as a file URL, to the desktop's standard opener and
  // does not wait; a folder that is not an absolute path opens nothing.
  void OpenFolder(const std::string& folder) override;
  std::string TimeSeparator() override;
};

}  // namespace recmon
