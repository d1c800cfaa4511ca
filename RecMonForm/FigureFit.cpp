#include "FigureFit.h"

#include <QFontMetrics>
#include <algorithm>

namespace recmon {

namespace {

constexpr int StretchStep = 5;

}  // namespace

TFigureFit FitFigure(const QFont& font, const QString& text, int layoutLeft, int leftmost,
                     int rightEdge) {
  QFont condensed = font;
  for (int stretch = 100; stretch >= MinFigureStretch; stretch -= StretchStep) {
    // Also at 100: the font handed in may be one condensed earlier.
    condensed.setStretch(stretch == 100 ? QFont::AnyStretch : stretch);
    const int width = QFontMetrics(condensed).horizontalAdvance(text);
    if (layoutLeft + width <= rightEdge) {
      return {layoutLeft, stretch, text, false};
    }
    if (leftmost + width <= rightEdge) {
      return {rightEdge - width, stretch, text, false};
    }
  }
  condensed.setStretch(MinFigureStretch);
  const QString shown =
      QFontMetrics(condensed).elidedText(text, Qt::ElideRight, std::max(rightEdge - leftmost, 0));
  return {leftmost, MinFigureStretch, shown, shown != text};
}

}  // namespace recmon
