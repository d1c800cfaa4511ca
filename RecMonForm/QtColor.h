#pragma once

// The monitor's 24-bit colours as Qt colours.

#include <QColor>

#include "DisplaySurface.h"

namespace recmon {

inline QColor ToQColor(TColor c) {
  return QColor(static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>(c & 0xFF));
}

}  // namespace recmon
