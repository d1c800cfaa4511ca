#pragma once

// The monitor's logic over the real channel, refreshed on the real clock and
// tick counter, with the window held in memory: what a running monitor
// shows, for process tests that need no display.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "MemoryDisplaySurface.h"
#include "MemoryPlatform.h"
#include "RecMonModel.h"

namespace recmon::test {

class TWatchingMonitor final {
 public:
  // Attaches and starts, as the window does when it is created.
  TWatchingMonitor();
  TWatchingMonitor(const TWatchingMonitor&) = delete;
  TWatchingMonitor& operator=(const TWatchingMonitor&) = delete;

  void Refresh();
  // Refreshes every 200 ms until `shows` holds, for at most `timeout`;
  // whether it held.
  bool RefreshUntil(const std::function<bool()>& shows, std::chrono::milliseconds timeout);
  // Refreshes every 200 ms for `period`; whether `shows` held at each one.
  bool KeepsShowing(const std::function<bool()>& shows, std::chrono::milliseconds period);

  const std::string& Caption(TControl c) const { return Surface[c].Caption; }
  const std::string& Hint(TControl c) const { return Surface[c].Hint; }
  // "Recording" and a healthy grade.
  bool ShowsRecording() const;
  // What a recorder from which nothing has come for a while leaves.
  bool ShowsNoUpdate() const;
  // Everything the window shows, for a failure message.
  std::string Shown() const;

  TMemoryDisplaySurface Surface;
  TMemoryPlatform Platform;
  std::unique_ptr<TRecMonModel> Model;
};

}  // namespace recmon::test
