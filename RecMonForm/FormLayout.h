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
// objectName; the form's Qt ownership keeps them.
TControlWidgets BuildControls(QWidget& form);

}  // namespace recmon
