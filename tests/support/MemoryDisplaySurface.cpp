#include "MemoryDisplaySurface.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace recmon {

int TMemoryDisplaySurface::Count(TSurfaceOp op, TControl control) const {
  return static_cast<int>(std::count_if(Events.begin(), Events.end(), [&](const TSurfaceEvent& e) {
    return e.Op == op && e.Control == control;
  }));
}

int TMemoryDisplaySurface::Count(TSurfaceOp op) const {
  return static_cast<int>(std::count_if(Events.begin(), Events.end(),
                                        [&](const TSurfaceEvent& e) { return e.Op == op; }));
}

void TMemoryDisplaySurface::LayOutLikeTheWindow() {
  for (const TControlDef& def : FormControls) {
    TMemoryControl& c = (*this)[def.Id];
    c.Caption = std::string(def.Text);
    c.Visible = def.Visible;
    c.Left = def.Left;
    c.Top = def.Top;
    c.Height = def.Height;
  }
  Frame = {1, 20, 1, 5};  // openbox
  OuterWidth = FormClientWidth + Frame.Left + Frame.Right;
  OuterHeight = FormClientHeight + Frame.Top + Frame.Bottom;
  Area = {0, 0, 1280, 800};
}

TFrame TMemoryDisplaySurface::ChangeFrame(const TFrame& after) {
  const TFrame before = Frame;
  OuterLeft -= after.Left - before.Left;
  OuterTop -= after.Top - before.Top;
  OuterWidth += (after.Left + after.Right) - (before.Left + before.Right);
  OuterHeight += (after.Top + after.Bottom) - (before.Top + before.Bottom);
  Frame = after;
  return before;
}

TPoint TMemoryDisplaySurface::Seen() const {
  return Placement_.Seen({OuterLeft, OuterTop});
}

void TMemoryDisplaySurface::Request(TPoint outer) {
  Clock_ += std::chrono::seconds(1);
  Placement_.Requested(outer, Clock_);
  OuterLeft = outer.X;
  OuterTop = outer.Y;
}

void TMemoryDisplaySurface::DesktopAnswers() {
  OuterLeft += DesktopShiftLeft;
  OuterTop += DesktopShiftTop;
  Placement_.Moved({OuterLeft, OuterTop}, Clock_);
}

void TMemoryDisplaySurface::UserMoves(std::int32_t left, std::int32_t top) {
  OuterLeft = left;
  OuterTop = top;
  // Long after any request: never the desktop's answer.
  Placement_.Moved({left, top}, Clock_ + std::chrono::hours(1));
}

void TMemoryDisplaySurface::Log(TSurfaceOp op, TControl control, std::string text,
                                std::int64_t value) {
  if (Logging) {
    Events.push_back({op, control, std::move(text), value});
  }
}

void TMemoryDisplaySurface::SetCaption(TControl control, const std::string& text) {
  (*this)[control].Caption = text;
  Log(TSurfaceOp::SetCaption, control, text, 0);
}

void TMemoryDisplaySurface::SetHint(TControl control, const std::string& text) {
  (*this)[control].Hint = text;
  Log(TSurfaceOp::SetHint, control, text, 0);
}

void TMemoryDisplaySurface::SetVisible(TControl control, bool visible) {
  (*this)[control].Visible = visible;
  Log(TSurfaceOp::SetVisible, control, {}, visible ? 1 : 0);
}

void TMemoryDisplaySurface::SetLeft(TControl control, std::int32_t left) {
  (*this)[control].Left = left;
  Log(TSurfaceOp::SetLeft, control, {}, left);
}

void TMemoryDisplaySurface::SetTop(TControl control, std::int32_t top) {
  (*this)[control].Top = top;
  Log(TSurfaceOp::SetTop, control, {}, top);
}

void TMemoryDisplaySurface::SetHeight(TControl control, std::int32_t height) {
  (*this)[control].Height = height;
  Log(TSurfaceOp::SetHeight, control, {}, height);
}

void TMemoryDisplaySurface::SetWindowColor(TColor color) {
  WindowColor = color;
  Log(TSurfaceOp::SetWindowColor, TControl::lblRecording, {}, color);
}

void TMemoryDisplaySurface::SetWindowLeft(std::int32_t left) {
  if (DesktopAnswersLate) {
    Request({left, Seen().Y});
  } else {
    OuterLeft = left + DesktopShiftLeft;
  }
  Log(TSurfaceOp::SetWindowLeft, TControl::lblRecording, {}, left);
}

void TMemoryDisplaySurface::SetWindowTop(std::int32_t top) {
  if (DesktopAnswersLate) {
    Request({Seen().X, top});
  } else {
    OuterTop = top + DesktopShiftTop;
  }
  Log(TSurfaceOp::SetWindowTop, TControl::lblRecording, {}, top);
}

void TMemoryDisplaySurface::SetWindowHeight(std::int32_t height) {
  OuterHeight = height;
  Log(TSurfaceOp::SetWindowHeight, TControl::lblRecording, {}, height);
}

void TMemoryDisplaySurface::CloseWindow() {
  ++CloseRequests;
  Log(TSurfaceOp::CloseWindow, TControl::lblRecording, {}, 0);
}

}  // namespace recmon
