#pragma once

// Which Qt platform the monitor asks for. On a Wayland session a client may
// neither place its own window nor keep it on top; through XWayland it can.

#include <string_view>

namespace recmon {

// What the environment says about the session; nullptr for an unset variable.
struct TSessionEnv {
  const char* SessionType = nullptr;  // XDG_SESSION_TYPE
  const char* Display = nullptr;      // DISPLAY
  const char* QtPlatform = nullptr;   // QT_QPA_PLATFORM
};

// True when the session is Wayland, an X server is reachable, and the user
// has not chosen a Qt platform: then the monitor runs on X11 (xcb).
bool ShouldRunOnX11(const TSessionEnv& env);

// Reads the environment and, when ShouldRunOnX11 says so, sets
// QT_QPA_PLATFORM=xcb. Must run before the application object is made.
void ChooseQtPlatform();

}  // namespace recmon
