#pragma once

// The window as the monitor logic sees it: controls addressed by name, the
// window's colour and outer geometry, the work area, and a request to close.
// The Qt form implements it; TMemoryDisplaySurface stands in for it in tests.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace recmon {

// Every control of the window, named as in the form (its objectName).
enum class TControl : std::uint8_t {
  lblRecording,
  lblFile,
  lblSizeCaption,
  lblSize,
  lblHealthCaption,
  lblHealth,
  imgPinOut,
  imgPinIn,
  imgHideAdvanced,
  imgAdvanced,
  rectMeterMeBackground,
  rectMeterThemBackground,
  rectMeterThem,
  rectMeterMe,
  pnlAdvanced,
  lblTimeElapsedCaption,
  lblTimeElapsed,
  lblTimeRecordedCaption,
  lblTimeRecorded,
  lblSecsDroppedCaption,
  lblSecsDropped,
  lblSecondsDroppedCaption,
  lblSecondsBehind,
  lblBufPctFullCaption,
  lblPctBufFull,
};

inline constexpr std::size_t ControlCount = static_cast<std::size_t>(TControl::lblPctBufFull) + 1;

inline constexpr std::array<std::string_view, ControlCount> ControlNames{
    "lblRecording",
    "lblFile",
    "lblSizeCaption",
    "lblSize",
    "lblHealthCaption",
    "lblHealth",
    "imgPinOut",
    "imgPinIn",
    "imgHideAdvanced",
    "imgAdvanced",
    "rectMeterMeBackground",
    "rectMeterThemBackground",
    "rectMeterThem",
    "rectMeterMe",
    "pnlAdvanced",
    "lblTimeElapsedCaption",
    "lblTimeElapsed",
    "lblTimeRecordedCaption",
    "lblTimeRecorded",
    "lblSecsDroppedCaption",
    "lblSecsDropped",
    "lblSecondsDroppedCaption",
    "lblSecondsBehind",
    "lblBufPctFullCaption",
    "lblPctBufFull",
};

constexpr std::string_view ControlName(TControl c) {
  return ControlNames[static_cast<std::size_t>(c)];
}

constexpr std::size_t ControlIndex(TControl c) {
  return static_cast<std::size_t>(c);
}

// Whether a table with a row per control (each row's Id names it) lists them
// in the enum's order, so that it can be indexed by ControlIndex.
template <class TTable>
constexpr bool InControlOrder(const TTable& table) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (ControlIndex(table[i].Id) != i) {
      return false;
    }
  }
  return true;
}

// 24-bit RGB, written 0xRRGGBB.
using TColor = std::uint32_t;

// The part of the primary screen not covered by panels, in screen pixels.
struct TWorkArea {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  bool operator==(const TWorkArea&) const = default;
};

// The frame the desktop draws around the window's client area, in pixels.
struct TFrame {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
  bool operator==(const TFrame&) const = default;
};

class IDisplaySurface {
 public:
  virtual ~IDisplaySurface() = default;

  virtual void SetCaption(TControl control, const std::string& text) = 0;
  virtual void SetHint(TControl control, const std::string& text) = 0;
  virtual std::string Hint(TControl control) const = 0;
  virtual void SetVisible(TControl control, bool visible) = 0;

  // Control geometry, relative to the control's parent.
  virtual std::int32_t Left(TControl control) const = 0;
  virtual std::int32_t Top(TControl control) const = 0;
  virtual std::int32_t Height(TControl control) const = 0;
  virtual void SetLeft(TControl control, std::int32_t left) = 0;
  virtual void SetTop(TControl control, std::int32_t top) = 0;
  virtual void SetHeight(TControl control, std::int32_t height) = 0;

  virtual void SetWindowColor(TColor color) = 0;

  // Outer geometry of the window (frame included), in screen pixels.
  virtual std::int32_t WindowLeft() const = 0;
  virtual std::int32_t WindowTop() const = 0;
  virtual std::int32_t WindowWidth() const = 0;
  virtual std::int32_t WindowHeight() const = 0;
  virtual void SetWindowLeft(std::int32_t left) = 0;
  virtual void SetWindowTop(std::int32_t top) = 0;
  virtual void SetWindowHeight(std::int32_t height) = 0;

  virtual TWorkArea WorkArea() const = 0;

  // Asks the window to close, which ends the program.
  virtual void CloseWindow() = 0;
};

}  // namespace recmon
