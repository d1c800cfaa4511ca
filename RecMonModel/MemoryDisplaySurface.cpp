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

void TMemoryDisplaySurface::LayOutLikeTheWindow() {
  (*this)[TControl::rectMeterMeBackground] = {{}, {}, true, 76, 35, 15};
  (*this)[TControl::rectMeterThemBackground] = {{}, {}, true, 76, 49, 15};
  (*this)[TControl::rectMeterMe] = {{}, {}, true, 88, 35, 15};
  (*this)[TControl::rectMeterThem] = {{}, {}, true, 88, 49, 15};
  (*this)[TControl::pnlAdvanced] = {{}, {}, true, 0, 65, 104};
  OuterWidth = 166;   // 164-pixel client and a 1-pixel frame at each side
  OuterHeight = 194;  // 169-pixel client, 20-pixel title and 5-pixel bottom edge
  Area = {0, 0, 1280, 800};
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
  OuterLeft = left + DesktopShiftLeft;
  Log(TSurfaceOp::SetWindowLeft, TControl::lblRecording, {}, left);
}

void TMemoryDisplaySurface::SetWindowTop(std::int32_t top) {
  OuterTop = top + DesktopShiftTop;
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
