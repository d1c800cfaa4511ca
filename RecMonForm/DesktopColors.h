#pragma once

// The labels that take the desktop's colours (window text, and the highlight
// of the "File" link) stay readable on the three health colours under any
// theme: the desktop's colour where it is dark enough, otherwise the same
// colour darkened. Colours the layout fixes are left alone.

#include <QPalette>
#include <QWidget>

#include "FormLayout.h"

namespace recmon {

// Applies the desktop's current palette to the window's text and its link.
void ApplyDesktopColors(QWidget& window, const TControlWidgets& controls);

}  // namespace recmon
