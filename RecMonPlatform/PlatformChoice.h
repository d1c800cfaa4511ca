#pragma once

// Which Qt platform the monitor runs on. X11 comes first wherever an X server
// accepts us (XWayland included): only there may a client place its own window
// and keep it on top. Without one, a Wayland compositor will do, with
// placement and stacking left to it. With neither, the monitor says what is
// missing in one line and exits, instead of Qt's abort.

#include <string>

namespace recmon {

// What was found out about the session before starting Qt.
struct TDisplayFacts {
  std::string QtPlatform;  // QT_QPA_PLATFORM as the user set it; empty if unset
  std::string XDisplay;    // DISPLAY; empty if unset
  bool XServerAnswers = false;
  std::string WaylandSocket;  // the compositor's socket path; empty if none is named
  bool CompositorAnswers = false;
  bool WaylandPluginInstalled = false;  // Qt's Wayland platform (qt6-wayland)
  // The X server's socket answers but the server turns the connection down
  // (not authorised): to Qt that is no X server either.
  bool XServerRefuses = false;
  // sway answers on SWAYSOCK: the window is docked through it (the notice
  // that the compositor decides would be wrong).
  bool SwayAnswers = false;
};

struct TPlatformChoice {
  std::string QtPlatform;  // to set as QT_QPA_PLATFORM; empty: leave as it is
  std::string Notice;      // one line for stderr before starting; may be empty
  std::string Missing;     // not empty: nothing to run on; the line to print before exit 1
};

inline constexpr const char* WaylandNotice =
    "recmon: running on Wayland, where the compositor decides where the window goes and "
    "whether it stays on top";

// The user's own QT_QPA_PLATFORM is followed as it is.
TPlatformChoice ChoosePlatform(const TDisplayFacts& facts);

// The socket a Wayland client connects to: WAYLAND_DISPLAY when it is an
// absolute path, else that name (default "wayland-0") in XDG_RUNTIME_DIR;
// empty when the runtime directory is needed but unset. nullptr for unset.
std::string WaylandSocketPath(const char* waylandDisplay, const char* runtimeDir);

// The Unix socket of a local X display (":0", ":1.0", "unix:2"); empty for
// any other form, which only a full connection can check.
std::string XDisplaySocketPath(const std::string& display);

// True when something accepts a connection on the Unix socket at path.
bool UnixSocketAnswers(const std::string& path);

}  // namespace recmon
