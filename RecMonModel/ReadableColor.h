#pragma once

// Text that stays readable on the window whatever colours the desktop's
// theme brings: the labels that take the theme's colours (window text, the
// link's highlight) are drawn on one of the three pale health colours, so a
// dark theme's light text would all but vanish on them.

#include <array>
#include <span>

#include "BufferHealth.h"
#include "DisplaySurface.h"

namespace recmon {

// Every colour the window's background can take.
inline constexpr std::array<TColor, 3> HealthColors{GoodColor, FairColor, PoorColor};

// The least contrast for body text (WCAG 2, level AA).
inline constexpr double MinTextContrast = 4.5;

// WCAG 2 relative luminance of an sRGB colour, 0 (black) to 1 (white).
double RelativeLuminance(TColor color);

// WCAG 2 contrast ratio of two colours, 1 to 21; symmetric.
double ContrastRatio(TColor a, TColor b);

// The wanted colour when it reaches MinTextContrast on every background;
// otherwise the same hue darkened (all three channels scaled down alike) just
// as far as needed, so a light blue link stays a blue link and white text
// turns dark grey.
TColor ReadableOn(TColor wanted, std::span<const TColor> backgrounds);

}  // namespace recmon
