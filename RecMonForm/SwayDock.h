#pragma once

// Docking on sway. Wayland lets no client place its own window, and sway
// floats the monitor's window in the middle of the screen on both of Qt's
// paths: natively, and through Xwayland, where it also ignores the position
// a window asks for and centres it again whenever it changes size. The
// layer-shell protocol, by which a Wayland client asks to be kept at an
// edge, is out of reach for Qt 6.4 as Debian 12 ships it (no Qt 6 build of
// a layer-shell integration, and not the private headers that one needs).
// sway's own IPC (the i3 protocol, on the socket that SWAYSOCK names) moves
// windows on request: the monitor uses it to keep its window at the
// bottom-right corner of its workspace's usable area (the output less its
// panels), and to hand the keyboard back to the window that had it before
// the monitor appeared.

#include <QJsonObject>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "MonitorArea.h"

namespace recmon {

// What placing the window on sway needs from the layout tree, in the
// compositor's logical pixels.
struct TSwayWindow {
  long long Id = 0;
  TArea Outer;      // decorations (title bar, borders) included
  TArea Content;    // the window itself
  TArea Workspace;  // the usable area of the workspace the window is on
  bool Focused = false;
};

// Our window in sway's layout tree (GET_TREE), found by process id; nothing
// while sway does not show it.
std::optional<TSwayWindow> FindSwayWindow(const QJsonObject& tree, long long pid);
// The id of the window that has the keyboard; nothing when none has.
std::optional<long long> FocusedSwayWindow(const QJsonObject& tree);

// Where the window's outer top-left goes so that the window, as large as
// contentWidth x contentHeight with sway's decorations around it, ends at
// the workspace's bottom-right corner.
TArea DockedOuter(const TSwayWindow& window, int contentWidth, int contentHeight);

class TSwayDock final {
 public:
  // Nothing when SWAYSOCK is unset or sway does not answer there.
  static std::unique_ptr<TSwayDock> Connect();
  ~TSwayDock();
  TSwayDock(const TSwayDock&) = delete;
  TSwayDock& operator=(const TSwayDock&) = delete;

  // Notes which window has the keyboard, before the monitor's appears.
  void NoteFocus();
  // Docks the window unless the user has moved it; call after every change
  // of its size and on every refresh (sway may centre it again).
  void Follow(const QWidget& window);

 private:
  explicit TSwayDock(int socket);
  std::optional<QJsonObject> Tree();
  void Run(const std::string& command);
  std::optional<std::string> Request(std::uint32_t type, const std::string& payload);

  int Socket_ = -1;
  std::optional<long long> FocusBefore_;
  bool Seen_ = false;
  bool MovedByUser_ = false;
  // The last position asked for, the size the window had then, and whether
  // the window has been seen there since.
  std::optional<TArea> Asked_;
  bool Reached_ = false;
};

}  // namespace recmon
