#pragma once

// The display surface over the real window and its controls. The monitor
// sets every caption, colour and geometry on every refresh, so each setter
// first compares with what the control already has and does nothing when
// they agree: an idle monitor repaints and relays out nothing.

#include <QLabel>
#include <QMargins>
#include <QRect>
#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "DisplaySurface.h"
#include "FormLayout.h"
#include "PlacementTracker.h"

namespace recmon {

class TFormSurface final : public IDisplaySurface {
 public:
  // The window and its controls must outlive the surface.
  TFormSurface(QWidget& window, const TControlWidgets& controls);

  void SetCaption(TControl control, const std::string& text) override;
  void SetHint(TControl control, const std::string& text) override;
  std::string Hint(TControl control) const override;
  void SetVisible(TControl control, bool visible) override;

  std::int32_t Left(TControl control) const override;
  std::int32_t Top(TControl control) const override;
  std::int32_t Height(TControl control) const override;
  void SetLeft(TControl control, std::int32_t left) override;
  void SetTop(TControl control, std::int32_t top) override;
  void SetHeight(TControl control, std::int32_t height) override;

  void SetWindowColor(TColor color) override;

  std::int32_t WindowLeft() const override;
  std::int32_t WindowTop() const override;
  std::int32_t WindowWidth() const override;
  std::int32_t WindowHeight() const override;
  void SetWindowLeft(std::int32_t left) override;
  void SetWindowTop(std::int32_t top) override;
  void SetWindowHeight(std::int32_t height) override;

  TWorkArea WorkArea() const override;
  void CloseWindow() override;

  // The frame the desktop draws around the client area. Outer geometry is
  // the client geometry grown by it, so it must be known before placing.
  const QMargins& Frame() const { return Frame_; }
  void SetFrame(const QMargins& frame) { Frame_ = frame; }

  // The compositor is asked to place the window (TSwayDock): positions the
  // monitor sets are kept as set and not handed to the toolkit, which on
  // Xwayland would make sway centre the window again.
  void LeavePositionsToCompositor() { CompositorPlaces_ = true; }

  // The window reports a new position of its client area.
  void WindowMoved(QPoint client);

  // Sizes the labels that take the size of their text and fits the detail
  // panel's figures, now and on every later change of a caption. Until the
  // window has given its labels their fonts (ApplyFonts), captions are only
  // set: measuring them would fill Qt's font database before the window is
  // mapped.
  void MeasureTexts();

 private:
  QWidget& Control(TControl control) const;
  void Measure(TControl control, QLabel& label);
  // Keeps a detail-panel figure whole inside the window (FigureFit).
  void FitFigureInWindow(TControl control, QLabel& label);
  // The work area placement aims at, in logical and (on X11) device pixels.
  struct TAreas {
    QRect Logical;
    QRect Device;  // empty off X11
  };
  TAreas Areas() const;
  // The client area's position as placement should see it.
  TPoint ClientPos() const;
  void MoveClient(TPoint client);

  QWidget& Window_;
  TControlWidgets Controls_{};
  std::array<std::string, ControlCount> Captions_{};
  std::array<std::string, ControlCount> Hints_{};
  TColor Color_ = FormInitialColor;
  bool Measuring_ = false;
  QMargins Frame_{};
  TPlacementTracker Placement_;
  // The position last asked for, when the window was then aligned in device
  // pixels (a scaled X11 desktop).
  std::optional<TPoint> DeviceAligned_;
  bool CompositorPlaces_ = false;
  std::optional<TPoint> PositionSet_;
};

}  // namespace recmon
