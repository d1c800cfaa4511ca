#include "FormFont.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

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
  const QFontMetrics metrics(font);
  QImage image(metrics.horizontalAdvance(text) + 4, metrics.height() + 4,
               QImage::Format_Grayscale8);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(2, 2 + metrics.ascent(), text);
  }
  double ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      ink += (255 - row[x]) / 255.0;
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
