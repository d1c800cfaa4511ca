#include "FormFont.h"

#include <QFileInfo>
#include <QFontDatabase>

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

}  // namespace

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
