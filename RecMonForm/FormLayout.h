#pragma once

// The window's layout: every control with its place, size, text and look,
// in painting order (later controls lie over earlier ones).

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "DisplaySurface.h"
#include "Glyphs.h"

namespace recmon {

inline constexpr std::string_view FormCaption = "Kestrum Call Monitor";
inline constexpr int FormClientWidth = 164;
inline constexpr int FormClientHeight = 169;  // with the detail panel shown
inline constexpr TColor FormInitialColor = 0xCCFFCC;
inline constexpr int PanelHeight = 104;

enum class TControlKind : std::uint8_t { Label, Image, Shape, Panel };

struct TControlDef {
  TControl Id = TControl::lblRecording;
  TControlKind Kind = TControlKind::Label;
  int Left = 0;
  int Top = 0;
  int Width = 0;  // 0 with Height 0: a label that takes the size of its text
  int Height = 0;
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
};

extern const std::array<TControlDef, ControlCount> FormControls;

using TControlWidgets = std::array<QWidget*, ControlCount>;

// Creates every control on the form, in painting order, each named by its
// objectName; the form's Qt ownership keeps them.
TControlWidgets BuildControls(QWidget& form);

}  // namespace recmon
