#pragma once

// The window's layout as data: every control with its place, size, text and
// look, in painting order (later controls lie over earlier ones). The Qt form
// builds itself from this table; the in-memory surface, the tests and the
// fuzzer read their geometry from it, so a layout fact lives only here.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "BufferHealth.h"
#include "DisplaySurface.h"

namespace recmon {

inline constexpr std::string_view FormCaption = "Kestrum Call Monitor";
inline constexpr std::int32_t FormClientWidth = 164;
inline constexpr std::int32_t FormClientHeight = 169;  // with the detail panel shown
// A freshly opened window looks like a healthy recording.
inline constexpr TColor FormInitialColor = GoodColor;
inline constexpr std::int32_t PanelHeight = 104;

enum class TControlKind : std::uint8_t { Label, Image, Shape, Panel };

// The four icons, drawn by the program.
enum class TGlyph : std::uint8_t {
  PinOut,        // a push-pin lying on its side (window not pinned)
  PinIn,         // an upright push-pin (window pinned)
  HideAdvanced,  // a triangle pointing down (detail panel shown)
  Advanced,      // a triangle pointing right (detail panel hidden)
};

struct TControlDef {
  TControl Id = TControl::lblRecording;
  TControlKind Kind = TControlKind::Label;
  std::int32_t Left = 0;  // relative to the parent: the window, or the panel
  std::int32_t Top = 0;
  std::int32_t Width = 0;  // 0 with Height 0: a label that takes the size of its text
  std::int32_t Height = 0;
  std::string_view Text;
  bool Bold = false;
  bool Centred = false;  // text centred in a box that keeps its size
  bool Link = false;     // highlight colour, underlined
  std::optional<TColor> TextColor;
  std::optional<TColor> Fill;   // shapes
  std::optional<TGlyph> Glyph;  // images
  bool Tooltip = false;
  bool HandCursor = false;
  bool InPanel = false;  // placed on pnlAdvanced, relative to it
  bool Visible = true;

  constexpr bool TakesSizeOfText() const { return Width == 0 && Height == 0; }
};

namespace layout {

inline constexpr TColor Red = 0xFF0000;
inline constexpr TColor White = 0xFFFFFF;
inline constexpr TColor Lime = 0x00FF00;

// Rows of the detail panel: bold caption at the left, value beside it.
inline constexpr std::int32_t RowCaptionLeft = 3;
inline constexpr std::int32_t RowValueLeft = 116;

constexpr TControlDef Row(TControl id, std::int32_t top, std::string_view text, bool caption) {
  TControlDef def;
  def.Id = id;
  def.Left = caption ? RowCaptionLeft : RowValueLeft;
  def.Top = top;
  def.Text = text;
  def.Bold = caption;
  def.InPanel = true;
  return def;
}

}  // namespace layout

// g++ warns about every member that a designated initializer leaves to its
// default, which is the point of writing the table this way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

inline constexpr std::array<TControlDef, ControlCount> FormControls{{
    {.Id = TControl::lblRecording,
     .Left = -1,
     .Top = 10,
     .Width = 165,
     .Height = 13,
     .Text = "Recording",
     .Bold = true,
     .Centred = true,
     .TextColor = layout::Red},
    {.Id = TControl::lblFile,
     .Left = 12,
     .Top = 32,
     .Width = 16,
     .Height = 13,
     .Text = "File",
     .Link = true,
     .Tooltip = true,
     .HandCursor = true},
    {.Id = TControl::lblSizeCaption,
     .Left = 31,
     .Top = 32,
     .Width = 23,
     .Height = 13,
     .Text = "Size:"},
    {.Id = TControl::lblSize, .Left = 12, .Top = 50, .Text = "0 MB"},
    {.Id = TControl::lblHealthCaption,
     .Left = 119,
     .Top = 32,
     .Width = 31,
     .Height = 13,
     .Text = "Health"},
    {.Id = TControl::lblHealth,
     .Left = 110,
     .Top = 50,
     .Width = 47,
     .Height = 13,
     .Text = "Good",
     .Bold = true,
     .Centred = true,
     .Tooltip = true},
    {.Id = TControl::imgPinOut,
     .Kind = TControlKind::Image,
     .Left = 138,
     .Top = 9,
     .Width = 16,
     .Height = 16,
     .Glyph = TGlyph::PinOut,
     .HandCursor = true,
     .Visible = false},
    {.Id = TControl::imgPinIn,
     .Kind = TControlKind::Image,
     .Left = 138,
     .Top = 9,
     .Width = 17,
     .Height = 17,
     .Glyph = TGlyph::PinIn,
     .HandCursor = true},
    {.Id = TControl::imgHideAdvanced,
     .Kind = TControlKind::Image,
     .Left = 9,
     .Top = 9,
     .Width = 16,
     .Height = 16,
     .Glyph = TGlyph::HideAdvanced,
     .HandCursor = true,
     .Visible = false},
    {.Id = TControl::imgAdvanced,
     .Kind = TControlKind::Image,
     .Left = 9,
     .Top = 9,
     .Width = 16,
     .Height = 16,
     .Glyph = TGlyph::Advanced,
     .HandCursor = true},
    {.Id = TControl::rectMeterMeBackground,
     .Kind = TControlKind::Shape,
     .Left = 76,
     .Top = 35,
     .Width = 10,
     .Height = 15,
     .Fill = layout::White,
     .Tooltip = true},
    {.Id = TControl::rectMeterThemBackground,
     .Kind = TControlKind::Shape,
     .Left = 76,
     .Top = 49,
     .Width = 10,
     .Height = 15,
     .Fill = layout::White,
     .Tooltip = true},
    {.Id = TControl::rectMeterThem,
     .Kind = TControlKind::Shape,
     .Left = 88,
     .Top = 49,
     .Width = 10,
     .Height = 15,
     .Fill = layout::Lime,
     .Tooltip = true},
    {.Id = TControl::rectMeterMe,
     .Kind = TControlKind::Shape,
     .Left = 88,
     .Top = 35,
     .Width = 10,
     .Height = 15,
     .Fill = layout::Lime,
     .Tooltip = true},
    {.Id = TControl::pnlAdvanced,
     .Kind = TControlKind::Panel,
     .Left = 0,
     .Top = FormClientHeight - PanelHeight,  // docked to the bottom edge
     .Width = FormClientWidth,
     .Height = PanelHeight},
    layout::Row(TControl::lblTimeElapsedCaption, 6, "Time Elapsed:", true),
    layout::Row(TControl::lblTimeElapsed, 6, "23:59:59", false),
    layout::Row(TControl::lblTimeRecordedCaption, 26, "Time Recorded:", true),
    layout::Row(TControl::lblTimeRecorded, 26, "23:59:59", false),
    layout::Row(TControl::lblSecsDroppedCaption, 46, "Seconds dropped:", true),
    layout::Row(TControl::lblSecsDropped, 46, "0", false),
    layout::Row(TControl::lblSecondsDroppedCaption, 66, "Seconds behind:", true),
    layout::Row(TControl::lblSecondsBehind, 66, "0", false),
    layout::Row(TControl::lblBufPctFullCaption, 86, "Buffer % Full:", true),
    layout::Row(TControl::lblPctBufFull, 86, "70%", false),
}};

#pragma GCC diagnostic pop

// The table is indexed by control: its painting order is the enum's order.
static_assert(InControlOrder(FormControls));

constexpr const TControlDef& ControlDef(TControl control) {
  return FormControls[ControlIndex(control)];
}

}  // namespace recmon
