#pragma once

// Builds the window's controls from the layout table.

#include <QWidget>
#include <array>

#include "WindowLayout.h"

namespace recmon {

using TControlWidgets = std::array<QWidget*, ControlCount>;

// The bold caption label on the same row as a regular label, if any.
const TControlDef* RowCaption(const TControlDef& label);

// Creates every control on the form, in painting order, each named by its
// objectName; the form's Qt ownership keeps them. Labels get their texts but
// not yet their fonts, and those that take the size of their text are left
// empty boxes: nothing here needs Qt's font database.
TControlWidgets BuildControls(QWidget& form);

// Gives the form and its labels their fonts. The first use of a font fills
// Qt's font database, which takes milliseconds; the window does it when it
// is first exposed, once the window manager has mapped it, before it first
// paints (TRecMonForm_::PrepareTexts).
void ApplyFonts(QWidget& form, const TControlWidgets& controls);

}  // namespace recmon
