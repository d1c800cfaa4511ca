#include "FigureFit.h"

#include <QFontMetrics>

namespace recmon {

namespace {

constexpr int StretchStep = 5;

}  // namespace

TFigureFit FitFigure(const QFont& font, const QString& text, int layoutLeft, int leftmost,
                     int rightEdge) {
  for (int stretch = 100; stretch >= MinFigureStretch; stretch -= StretchStep) {
    QFont condensed = font;
    if (stretch != 100) {
      condensed.setStretch(stretch);
    }
    const int width = QFontMetrics(condensed).horizontalAdvance(text);
    if (layoutLeft + width <= rightEdge) {
      return {layoutLeft, stretch};
    }
    if (leftmost + width <= rightEdge) {
      return {rightEdge - width, stretch};
    }
  }
  return {leftmost, MinFigureStretch};
}

}  // namespace recmon
