#include "Glyphs.h"

#include <QBitmap>
#include <QPainter>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <cmath>
#include <initializer_list>

namespace recmon {

namespace {

const QColor GlyphInk{0, 0, 0};

void FillRects(QPainter& p, std::initializer_list<QRectF> rects) {
  for (const QRectF& r : rects) {
    p.fillRect(r, GlyphInk);
  }
}

void FillPolygon(QPainter& p, std::initializer_list<QPointF> points) {
  p.setPen(Qt::NoPen);
  p.setBrush(GlyphInk);
  p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

// Pin lying on its side: needle to the left, head plate, hollow barrel, cap.
void DrawPinOut(QPainter& p) {
  FillRects(p, {
                   QRectF(1, 7, 5, 1),   // needle
                   QRectF(6, 3, 1, 9),   // head plate
                   QRectF(7, 5, 6, 1),   // barrel, top edge
                   QRectF(7, 9, 6, 1),   // barrel, bottom edge
                   QRectF(7, 8, 6, 1),   // barrel shade
                   QRectF(12, 5, 1, 5),  // barrel end
                   QRectF(13, 4, 2, 7),  // cap
               });
}

// Upright pin: cap on top, hollow barrel, head plate, needle down.
void DrawPinIn(QPainter& p) {
  FillRects(p, {
                   QRectF(5, 1, 7, 2),   // cap
                   QRectF(6, 3, 1, 7),   // barrel, left edge
                   QRectF(10, 3, 1, 7),  // barrel, right edge
                   QRectF(9, 3, 1, 7),   // barrel shade
                   QRectF(4, 10, 9, 1),  // head plate
                   QRectF(8, 11, 1, 5),  // needle
               });
}

void DrawTriangleDown(QPainter& p) {
  FillPolygon(p, {{3, 5}, {14, 5}, {8.5, 10.5}});
}

void DrawTriangleRight(QPainter& p) {
  FillPolygon(p, {{5, 2}, {5, 13}, {10.5, 7.5}});
}

}  // namespace

QSize GlyphSize(TGlyph glyph) {
  return glyph == TGlyph::PinIn ? QSize(17, 17) : QSize(16, 16);
}

QPixmap DrawGlyph(TGlyph glyph, qreal devicePixelRatio) {
  const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
  const QSize logical = GlyphSize(glyph);
  QPixmap pixmap(static_cast<int>(std::ceil(logical.width() * ratio)),
                 static_cast<int>(std::ceil(logical.height() * ratio)));
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(GlyphKeyColor);
  {
    QPainter p(&pixmap);
    // Without antialiasing every pixel is either ink or key, so the mask
    // leaves no pink fringe.
    p.setRenderHint(QPainter::Antialiasing, false);
    switch (glyph) {
      case TGlyph::PinOut:
        DrawPinOut(p);
        break;
      case TGlyph::PinIn:
        DrawPinIn(p);
        break;
      case TGlyph::HideAdvanced:
        DrawTriangleDown(p);
        break;
      case TGlyph::Advanced:
        DrawTriangleRight(p);
        break;
    }
  }
  pixmap.setMask(pixmap.createMaskFromColor(GlyphKeyColor, Qt::MaskInColor));
  return pixmap;
}

}  // namespace recmon
