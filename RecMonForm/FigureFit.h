#pragma once

// A figure in the detail panel must stay whole inside the window. Ordinary
// figures sit where the layout puts them; one that would run past the
// window's right edge starts further left, as far as its row's caption
// allows, then is drawn condensed, as little as it takes, and only when even
// the most condensed text is too wide, cut short with an ellipsis (the
// window then offers the whole text as the figure's tooltip and accessible
// name). The record's counts reach ten digits and a minus sign, which no
// condensing fits into the space beside a caption.

#include <QFont>
#include <QString>

namespace recmon {

// The least stretch (percent of the normal width) a figure is condensed to;
// below it digits run together.
inline constexpr int MinFigureStretch = 60;
// Clear pixels kept between a caption and a figure moved towards it.
inline constexpr int FigureGap = 3;
// Pixels kept clear at the window's right edge.
inline constexpr int FigureEdgeMargin = 1;

struct TFigureFit {
  int Left = 0;
  int Stretch = 100;  // QFont stretch, 100 for the normal width
  QString Shown;      // the text as drawn: the whole text unless Elided
  bool Elided = false;
  bool operator==(const TFigureFit&) const = default;
};

// Where the text starts and how condensed it is drawn so that it ends by
// rightEdge (exclusive): at layoutLeft when it fits there, else right-aligned
// but not left of leftmost; condensed only when even that is not enough.
// Should nothing fit, the most condensed text starts at leftmost, elided to
// end by rightEdge.
TFigureFit FitFigure(const QFont& font, const QString& text, int layoutLeft, int leftmost,
                     int rightEdge);

}  // namespace recmon
