#include "FormFont.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QRawFont>

namespace recmon {

namespace {

// Tried in this order when there is no Tahoma: narrow before wide.
const QStringList FallbackFamilies{QStringLiteral("DejaVu Sans Condensed"),
                                   QStringLiteral("Liberation Sans Narrow"),
                                   QStringLiteral("DejaVu Sans")};

bool HasFamily(const QString& family) {
  return QFontDatabase::families().contains(family);
}

QString ChooseFamily() {
  if (HasFamily(FormFontFamily)) {
    return FormFontFamily;
  }
  for (const QString& file : BundledTahomaFiles) {
    if (QFileInfo::exists(file)) {
      QFontDatabase::addApplicationFont(file);
    }
  }
  if (HasFamily(FormFontFamily)) {
    return FormFontFamily;
  }
  for (const QString& family : FallbackFamilies) {
    if (HasFamily(family)) {
      return family;
    }
  }
  return {};
}

// A real bold face draws its stems about half as thick again as the regular
// one; one drawing no more than this much heavier is taken for regular.
constexpr double LeastBoldInkRatio = 1.15;

// The text the check draws: round and straight stems, as in the captions.
const QString InkSample = QStringLiteral("Recording");

QFont ChooseBoldFont() {
  QFont bold = FormFont();
  bold.setBold(true);
  if (InkOf(bold, InkSample) >= LeastBoldInkRatio * InkOf(FormFont(), InkSample) ||
      !HasFamily(SubstituteBoldFamily)) {
    return bold;
  }
  QFont substitute = bold;
  substitute.setFamily(SubstituteBoldFamily);
  return substitute;
}

}  // namespace

double InkOf(const QFont& font, const QString& text) {
  // Glyph by glyph as the font engine rasterises them for the screen; no
  // painter is needed, so the check costs a fraction of a millisecond.
  const QRawFont raw = QRawFont::fromFont(font);
  double ink = 0;
  for (const quint32 glyph : raw.glyphIndexesForString(text)) {
    const QImage coverage = raw.alphaMapForGlyph(glyph, QRawFont::PixelAntialiasing);
    for (int y = 0; y < coverage.height(); ++y) {
      const uchar* row = coverage.constScanLine(y);
      for (int x = 0; x < coverage.width(); ++x) {
        ink += row[x] / 255.0;
      }
    }
  }
  return ink;
}

QFont FormBoldFont() {
  static const QFont font = ChooseBoldFont();
  return font;
}

int BoldBaselineDrop() {
  return QFontMetrics(FormBoldFont()).ascent() - QFontMetrics(FormFont()).ascent();
}

QFont FormFont() {
  static const QString family = ChooseFamily();
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  font.setFamily(family.isEmpty() ? QStringLiteral("sans-serif") : family);
  font.setPixelSize(FormFontPixelSize);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  return font;
}

}  // namespace recmon
