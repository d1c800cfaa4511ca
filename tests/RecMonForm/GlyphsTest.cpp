// The program-drawn icons: size at each pixel ratio, key colour masked out,
// only black ink left.

#include <gtest/gtest.h>

#include <QImage>
#include <ostream>

#include "Glyphs.h"

namespace recmon {
namespace {

struct TGlyphCase {
  TGlyph Glyph;
  int Size;
  qreal Ratio;
  friend void PrintTo(const TGlyphCase& c, std::ostream* os) {
    *os << "glyph " << static_cast<int>(c.Glyph) << " at ratio " << c.Ratio;
  }
};

class GlyphDrawing : public ::testing::TestWithParam<TGlyphCase> {};

TEST_P(GlyphDrawing, IsBlackInkOnATransparentKeyAtTheRatiosResolution) {
  const auto [glyph, size, ratio] = GetParam();
  const QPixmap pixmap = DrawGlyph(glyph, ratio);
  EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), QSize(size, size));
  EXPECT_EQ(pixmap.size(), QSize(size, size) * ratio);
  const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
  int ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.alpha() == 0) {
        continue;
      }
      ++ink;
      EXPECT_EQ(c, QColor(0, 0, 0)) << x << "," << y;
    }
  }
  EXPECT_GT(ink, 8 * ratio * ratio);                   // a shape, not a speck
  EXPECT_LT(ink, image.width() * image.height() / 2);  // and not a filled square
  // Corners are background.
  EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
  EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1).alpha(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    AllGlyphs, GlyphDrawing,
    ::testing::Values(TGlyphCase{TGlyph::PinOut, 16, 1}, TGlyphCase{TGlyph::PinIn, 17, 1},
                      TGlyphCase{TGlyph::HideAdvanced, 16, 1}, TGlyphCase{TGlyph::Advanced, 16, 1},
                      TGlyphCase{TGlyph::PinOut, 16, 2}, TGlyphCase{TGlyph::PinIn, 17, 2},
                      TGlyphCase{TGlyph::HideAdvanced, 16, 2},
                      TGlyphCase{TGlyph::Advanced, 16, 2}));

TEST(GlyphDrawing, TheTrianglesPointTheirWay) {
  // Right-pointing: more ink in the left half; down-pointing: in the top half.
  const auto inkIn = [](const QImage& img, QRect r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) {
        n += img.pixelColor(x, y).alpha() != 0 ? 1 : 0;
      }
    }
    return n;
  };
  const QImage right = DrawGlyph(TGlyph::Advanced, 1).toImage();
  EXPECT_GT(inkIn(right, {0, 0, 8, 16}), inkIn(right, {8, 0, 8, 16}));
  const QImage down = DrawGlyph(TGlyph::HideAdvanced, 1).toImage();
  EXPECT_GT(inkIn(down, {0, 0, 16, 8}), inkIn(down, {0, 8, 16, 8}));
}

}  // namespace
}  // namespace recmon
