#include "ReadableColor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace recmon {

namespace {

double Linear(std::uint32_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::uint32_t Channel(TColor color, int shift) {
  return (color >> shift) & 0xFFu;
}

TColor Scaled(TColor color, int numerator, int denominator) {
  TColor out = 0;
  for (const int shift : {16, 8, 0}) {
    out |= (Channel(color, shift) * static_cast<std::uint32_t>(numerator) /
            static_cast<std::uint32_t>(denominator))
           << shift;
  }
  return out;
}

bool ReadableOnAll(TColor text, std::span<const TColor> backgrounds) {
  return std::all_of(backgrounds.begin(), backgrounds.end(),
                     [text](TColor bg) { return ContrastRatio(text, bg) >= MinTextContrast; });
}

}  // namespace

double RelativeLuminance(TColor color) {
  return 0.2126 * Linear(Channel(color, 16)) + 0.7152 * Linear(Channel(color, 8)) +
         0.0722 * Linear(Channel(color, 0));
}

double ContrastRatio(TColor a, TColor b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor ReadableOn(TColor wanted, std::span<const TColor> backgrounds) {
  wanted &= 0xFFFFFF;
  if (ReadableOnAll(wanted, backgrounds)) {
    return wanted;
  }
  // Luminance falls as the scale does, so the largest scale that passes is
  // found by halving; black (scale 0) passes on any pale background.
  constexpr int Steps = 256;
  int passing = 0;
  int failing = Steps;
  while (failing - passing > 1) {
    const int middle = (passing + failing) / 2;
    (ReadableOnAll(Scaled(wanted, middle, Steps), backgrounds) ? passing : failing) = middle;
  }
  return Scaled(wanted, passing, Steps);
}

}  // namespace recmon
