#pragma once

// Tells a position that the desktop gave in answer to the program's request
// apart from a move by the user. A window manager may put a window slightly
// elsewhere than asked (an X11 manager honouring static gravity can shift it
// by its border) and says so only later, asynchronously; reading the window
// back then must still give the position the program set, or the monitor
// would take its own unmoved window for one the user moved.

#include <chrono>
#include <cstdint>

namespace recmon {

struct TPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  bool operator==(const TPoint&) const = default;
};

// How long after a request the first move still counts as the desktop's
// answer. A window manager answers within milliseconds; a user who grabs the
// window this soon after it moved is rare, and would only see it put back
// once.
inline constexpr std::chrono::milliseconds DesktopAnswerWindow{300};

class TPlacementTracker final {
 public:
  using TClock = std::chrono::steady_clock;

  // The program asked for the window to be at this position.
  void Requested(TPoint position, TClock::time_point now);
  // The window was reported at this position (the desktop moved it, or the
  // user did). Only the first report after a request can be the answer.
  void Moved(TPoint position, TClock::time_point now);
  // Where the window is, as the program should see it: the requested
  // position while the window is where the desktop put it in answer.
  TPoint Seen(TPoint actual) const;

 private:
  TPoint Requested_{};
  TPoint Answer_{};
  bool Tracking_ = false;
  bool Answered_ = false;
  TClock::time_point AnswerDeadline_{};
};

}  // namespace recmon
