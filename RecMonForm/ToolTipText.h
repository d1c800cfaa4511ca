#pragma once

// Tooltips that show their text literally.

#include <QString>

namespace recmon {

// Every tooltip's text, from the record or our own, as the tooltip markup
// that shows it literally: escaped, so that markup in a file name can neither
// render nor load anything; runs of spaces kept; and with a break
// opportunity after each "/" and inside long unbroken runs, so that a long
// path wraps inside the screen instead of running off it (a short text stays
// on one line). Empty stays empty
// (no tooltip).
QString LiteralToolTip(const QString& text);

// Where a line may break in a long run without spaces or slashes.
inline constexpr int ToolTipLongestRun = 40;
// Texts up to this long stay on one line.
inline constexpr int ToolTipLongestLine = 80;

}  // namespace recmon
