#pragma once

// The four icons, drawn by the program: black shapes on a magenta key colour
// that is masked out, so only the glyph shows over the window colour.

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <cstdint>

#include "WindowLayout.h"

namespace recmon {

inline const QColor GlyphKeyColor{0xFF, 0x00, 0xFF};

// Size of the glyph in layout pixels.
QSize GlyphSize(TGlyph glyph);

// The glyph at the given device pixel ratio: a pixmap of GlyphSize × ratio
// device pixels, shapes drawn at that resolution so a scaled desktop stays
// crisp, the key colour transparent.
QPixmap DrawGlyph(TGlyph glyph, qreal devicePixelRatio);

}  // namespace recmon
