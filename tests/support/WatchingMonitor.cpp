#include "WatchingMonitor.h"

#include <thread>

#include "BufferHealth.h"
#include "DateTime.h"
#include "RecMonChannel.h"
#include "TickCount.h"

namespace recmon::test {

namespace {
constexpr std::chrono::milliseconds kRefreshInterval{200};
}  // namespace

TWatchingMonitor::TWatchingMonitor() {
  Surface.LayOutLikeTheWindow();
  Surface.Logging = false;
  Platform.Clock = LocalNow();
  Platform.Ticks = RecMonTickCount();
  Model = std::make_unique<TRecMonModel>(Surface, Platform);
  auto channel = std::make_unique<TRecMonChannel>();
  channel->Create();
  Model->Channel = std::move(channel);
  Model->Start();
  Model->InitMeters();
}

void TWatchingMonitor::Refresh() {
  Platform.Clock = LocalNow();
  Platform.Ticks = RecMonTickCount();
  Model->RefreshDisplay();
}

bool TWatchingMonitor::RefreshUntil(const std::function<bool()>& shows,
                                    std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    Refresh();
    if (shows()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(kRefreshInterval);
  }
}

bool TWatchingMonitor::KeepsShowing(const std::function<bool()>& shows,
                                    std::chrono::milliseconds period) {
  const auto end = std::chrono::steady_clock::now() + period;
  do {
    Refresh();
    if (!shows()) {
      return false;
    }
    std::this_thread::sleep_for(kRefreshInterval);
  } while (std::chrono::steady_clock::now() < end);
  return true;
}

bool TWatchingMonitor::ShowsRecording() const {
  return Caption(TControl::lblRecording) == "Recording" && Caption(TControl::lblHealth) == "Good" &&
         Surface.WindowColor == GoodColor;
}

bool TWatchingMonitor::ShowsNoUpdate() const {
  return Caption(TControl::lblRecording) == "Recording" && Caption(TControl::lblHealth) == "Poor" &&
         Surface.WindowColor == PoorColor &&
         Hint(TControl::lblHealth)
             .starts_with("Recording may have stopped: no update from the recorder for ");
}

std::string TWatchingMonitor::Shown() const {
  std::string text;
  for (const TControl c : {TControl::lblRecording, TControl::lblHealth, TControl::lblPctBufFull}) {
    text += std::string(ControlName(c)) + "='" + Caption(c) + "' ";
  }
  text += "health hint='" + Hint(TControl::lblHealth) + "' file='" + Hint(TControl::lblFile) +
          "' colour=" + std::to_string(Surface.WindowColor);
  return text;
}

}  // namespace recmon::test
