#include "MemoryDisplaySurface.h"

#include <algorithm>
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
  OuterLeft = left;
  Log(TSurfaceOp::SetWindowLeft, TControl::lblRecording, {}, left);
}

void TMemoryDisplaySurface::SetWindowTop(std::int32_t top) {
  OuterTop = top;
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
