#pragma once

// A display surface held in memory: it keeps what each control was last given
// and logs every call, so tests and tools can read back what a refresh did.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "DisplaySurface.h"
#include "PlacementTracker.h"
#include "WindowLayout.h"

namespace recmon {

struct TMemoryControl {
  std::string Caption;
  std::string Hint;
  bool Visible = true;
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Height = 0;
};

enum class TSurfaceOp : std::uint8_t {
  SetCaption,
  SetHint,
  SetVisible,
  SetLeft,
  SetTop,
  SetHeight,
  SetWindowColor,
  SetWindowLeft,
  SetWindowTop,
  SetWindowHeight,
  CloseWindow,
};

struct TSurfaceEvent {
  TSurfaceOp Op;
  TControl Control;        // lblRecording for window-wide operations
  std::string Text;        // caption or hint
  std::int64_t Value = 0;  // geometry, colour or visibility
};

class TMemoryDisplaySurface final : public IDisplaySurface {
 public:
  std::array<TMemoryControl, ControlCount> Controls{};
  TColor WindowColor = FormInitialColor;
  std::int32_t OuterLeft = 0;
  std::int32_t OuterTop = 0;
  std::int32_t OuterWidth = 0;
  std::int32_t OuterHeight = 0;
  TWorkArea Area{};
  // Added to every window position set, as a desktop that shifts a window by
  // its frame after the program placed it would.
  std::int32_t DesktopShiftLeft = 0;
  std::int32_t DesktopShiftTop = 0;
  // When set, the desktop applies that shift only later (DesktopAnswers()),
  // as an X11 window manager does, and the surface tells its answer from a
  // user's move the way the real window does.
  bool DesktopAnswersLate = false;
  // The frame drawn around the client area; the outer measures include it.
  TFrame Frame{};
  int CloseRequests = 0;
  bool Logging = true;  // off for benchmarks, where the log would only grow
  std::vector<TSurfaceEvent> Events;

  // Gives the controls and the window the geometry of the window's layout,
  // framed as openbox frames it, on a 1280x800 screen.
  void LayOutLikeTheWindow();

  // The desktop changes the frame while the client area stays put; returns
  // the frame before.
  TFrame ChangeFrame(const TFrame& after);
  // The desktop moves the window where it answers the last request.
  void DesktopAnswers();
  // The user drags the window's outer top-left corner here.
  void UserMoves(std::int32_t left, std::int32_t top);

  TMemoryControl& operator[](TControl c) { return Controls[ControlIndex(c)]; }
  const TMemoryControl& operator[](TControl c) const { return Controls[ControlIndex(c)]; }

  // How many logged calls of this kind touched this control.
  int Count(TSurfaceOp op, TControl control) const;
  // How many logged calls of this kind there were, on any control.
  int Count(TSurfaceOp op) const;

  void SetCaption(TControl control, const std::string& text) override;
  void SetHint(TControl control, const std::string& text) override;
  std::string Hint(TControl control) const override { return (*this)[control].Hint; }
  void SetVisible(TControl control, bool visible) override;

  std::int32_t Left(TControl control) const override { return (*this)[control].Left; }
  std::int32_t Top(TControl control) const override { return (*this)[control].Top; }
  std::int32_t Height(TControl control) const override { return (*this)[control].Height; }
  void SetLeft(TControl control, std::int32_t left) override;
  void SetTop(TControl control, std::int32_t top) override;
  void SetHeight(TControl control, std::int32_t height) override;

  void SetWindowColor(TColor color) override;

  std::int32_t WindowLeft() const override { return Seen().X; }
  std::int32_t WindowTop() const override { return Seen().Y; }
  std::int32_t WindowWidth() const override { return OuterWidth; }
  std::int32_t WindowHeight() const override { return OuterHeight; }
  void SetWindowLeft(std::int32_t left) override;
  void SetWindowTop(std::int32_t top) override;
  void SetWindowHeight(std::int32_t height) override;

  TWorkArea WorkArea() const override { return Area; }
  void CloseWindow() override;

 private:
  TPoint Seen() const;
  void Request(TPoint outer);

  TPlacementTracker Placement_;
  TPlacementTracker::TClock::time_point Clock_{};  // advanced by each request
  void Log(TSurfaceOp op, TControl control, std::string text, std::int64_t value);
};

}  // namespace recmon
