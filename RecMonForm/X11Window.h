#pragma once

// Window-manager states that Qt does not offer, set on the native X11 window
// through the EWMH _NET_WM_STATE protocol. On any other platform (Wayland,
// offscreen) these do nothing and report false.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <chrono>
#include <optional>

class QScreen;
class QWidget;

namespace recmon {

// True when the X server that DISPLAY names accepts a connection (one that
// turns us down, not authorised, does not); asked before Qt starts, which
// would abort rather than fall back.
bool XServerAnswers();

// Keeps the window out of task bars and pagers, or lists it there again.
// Call after the native window exists and before it is first shown; it may
// change again once shown.
bool SetSkipTaskbar(QWidget& window, bool skip = true);

// Gives up or takes back the always-on-top state without re-creating the
// window (changing Qt's window flags would hide it and map it anew).
bool SetStaysOnTop(QWidget& window, bool onTop);

// The frame the window manager draws (or will draw) around the window, as it
// announces it in _NET_FRAME_EXTENTS; nothing before it has said.
std::optional<QMargins> FrameExtents(QWidget& window);

// Asks the window manager for the frame it will draw around the still
// unmapped window, so the window can be placed by its outer size before it
// first appears. The answer comes asynchronously: ask early, await it once
// the window is built. False when the window manager does not offer this.
bool AskFrameExtents(QWidget& window);

// Waits up to the timeout for the answer to AskFrameExtents; nothing when
// none came in time.
std::optional<QMargins> AwaitFrameExtents(QWidget& window, std::chrono::milliseconds timeout);

// On a scaled X11 desktop, moves the client area in device pixels so that the
// window's outer right and bottom edges (frame included) fall exactly where
// the logical edge outerCorner maps to, the logical work area's edges mapping
// onto the device work area's (DevicePlacement). Does nothing and returns
// false unscaled or off X11; otherwise true, moving only when needed.
bool AlignOuterCorner(QWidget& window, QPoint outerCorner, const QRect& logicalWorkArea,
                      const QRect& deviceWorkArea);

// The usable area of the monitor that screen shows, in device pixels: the
// monitor less the panels on it (MonitorArea). Nothing off X11.
std::optional<QRect> DeviceUsableArea(QWidget& window, const QScreen& screen);

}  // namespace recmon
