#pragma once

// The usable area of one monitor on an X11 desktop: the monitor less the
// panels on it. The window manager publishes only one work area for the whole
// desktop (_NET_WORKAREA), which with two monitors side by side takes a panel
// on one of them off the other as well. Each panel says which edge of the
// desktop it reserves and along which stretch (_NET_WM_STRUT_PARTIAL), so the
// area is worked out per monitor from those. Some window managers draw a
// panel of their own (fluxbox's toolbar, IceWM's task bar) that publishes no
// reservation: what the desktop's work area keeps free beyond the panels'
// reservations is taken as theirs. All in device pixels.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace recmon {

struct TArea {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Right() const { return Left + Width; }   // exclusive
  int Bottom() const { return Top + Height; }  // exclusive
  bool Intersects(const TArea& other) const {
    return Left < other.Right() && other.Left < Right() && Top < other.Bottom() &&
           other.Top < Bottom();
  }
  bool operator==(const TArea&) const = default;
};

// A panel's reservation as _NET_WM_STRUT_PARTIAL gives it: widths from the
// desktop's left, right, top and bottom edges, then for each of those edges
// the first and last pixel (inclusive) along it. A plain _NET_WM_STRUT has
// the first four only and reserves the whole length of each edge.
using TStrut = std::array<std::uint32_t, 12>;

// A _NET_WM_STRUT or _NET_WM_STRUT_PARTIAL of 4 or 12 values; nothing for any
// other count.
std::optional<TStrut> StrutFrom(std::span<const std::uint32_t> values, const TArea& desktop);

struct TDesktopLayout {
  TArea Desktop;                   // the root window
  std::span<const TStrut> Struts;  // of every panel
  // The window manager's work area for the current desktop, when it gives
  // one.
  std::optional<TArea> WorkArea;
  // Mapped top-level windows other than the monitor's own: where a window
  // manager's own panel may be. Consulted only when the work area keeps
  // more free than the struts explain.
  std::span<const TArea> OwnWindows;
  // Every monitor. A work area that leaves out as much as a whole monitor
  // (xfwm4 gives the first monitor's) says nothing about panels.
  std::span<const TArea> Monitors;
};

// The part of monitor that the panels leave free. Never empty: a monitor that
// panels would cover entirely is returned whole.
TArea UsableArea(const TArea& monitor, const TDesktopLayout& layout);

// True when the work area keeps more free than the struts explain, that is,
// when the window manager has a panel of its own and OwnWindows is needed.
bool WindowManagerReserves(const TDesktopLayout& layout);

}  // namespace recmon
