// recmon-layout-boxes: prints the box that each label's text must fit in,
// read from the layout table, for packaging/check-deb to compare with a
// screenshot of the window with its detail panel shown. One line a label,
// in window coordinates:
//   NAME LEFT TOP WIDTH HEIGHT fixed|sized centre|left bold|regular TEXT
// A fixed box ends where an icon or a shape on the same row begins; a label
// that takes the size of its text ("sized") may reach the next control on its
// row, or the window's edge. TEXT is the widest the table gives the label.

#include <algorithm>
#include <cstdint>
#include <iostream>

#include "WindowLayout.h"

namespace {

using recmon::TControlDef;
using recmon::TControlKind;

// One line of the 11-pixel font: the height of the fixed labels.
constexpr std::int32_t LineHeight = 13;

struct TBox {
  std::int32_t Left, Top, Right, Bottom;  // right and bottom exclusive
};

TBox Place(const TControlDef& def) {
  const TControlDef& panel = recmon::ControlDef(recmon::TControl::pnlAdvanced);
  const std::int32_t left = def.Left + (def.InPanel ? panel.Left : 0);
  const std::int32_t top = def.Top + (def.InPanel ? panel.Top : 0);
  const bool sized = def.TakesSizeOfText();
  return {left, top, left + (sized ? 0 : def.Width), top + (sized ? LineHeight : def.Height)};
}

bool SameRow(const TBox& a, const TBox& b) {
  return a.Top < b.Bottom && b.Top < a.Bottom;
}

TBox TextBox(const TControlDef& label) {
  TBox box = Place(label);
  if (label.TakesSizeOfText()) {
    box.Right = recmon::FormClientWidth;
    for (const TControlDef& other : recmon::FormControls) {
      const TBox place = Place(other);
      if (&other != &label && other.Kind != TControlKind::Panel && SameRow(box, place) &&
          place.Left > box.Left) {
        box.Right = std::min(box.Right, place.Left);
      }
    }
    return box;
  }
  box.Left = std::max(box.Left, 0);
  box.Right = std::min(box.Right, recmon::FormClientWidth);
  const std::int32_t middle = (box.Left + box.Right) / 2;
  for (const TControlDef& other : recmon::FormControls) {
    if (other.Kind != TControlKind::Image && other.Kind != TControlKind::Shape) {
      continue;
    }
    const TBox place = Place(other);
    if (!SameRow(box, place) || place.Right <= box.Left || place.Left >= box.Right) {
      continue;
    }
    if ((place.Left + place.Right) / 2 < middle) {
      box.Left = place.Right;
    } else {
      box.Right = place.Left;
    }
  }
  return box;
}

}  // namespace

int main() {
  for (const TControlDef& def : recmon::FormControls) {
    if (def.Kind != TControlKind::Label) {
      continue;
    }
    const TBox box = TextBox(def);
    std::cout << recmon::ControlName(def.Id) << ' ' << box.Left << ' ' << box.Top << ' '
              << box.Right - box.Left << ' ' << box.Bottom - box.Top << ' '
              << (def.TakesSizeOfText() ? "sized" : "fixed") << ' '
              << (def.Centred ? "centre" : "left") << ' ' << (def.Bold ? "bold" : "regular") << ' '
              << def.Text << '\n';
  }
  return 0;
}
