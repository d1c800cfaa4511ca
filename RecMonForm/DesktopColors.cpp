#include "DesktopColors.h"

#include <QGuiApplication>

#include "QtColor.h"
#include "ReadableColor.h"

namespace recmon {

namespace {

// The application palette's colour of the source role, made readable, in
// each colour group (a window shown without activation paints as inactive).
void SetReadableRole(QPalette& palette, QPalette::ColorRole target, QPalette::ColorRole source) {
  const QPalette desktop = QGuiApplication::palette();
  for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const QRgb wanted = desktop.color(group, source).rgb();
    palette.setColor(group, target, ToQColor(ReadableOn(wanted & 0xFFFFFF, HealthColors)));
  }
}

}  // namespace

void ApplyDesktopColors(QWidget& window, const TControlWidgets& controls) {
  QPalette palette = window.palette();
  SetReadableRole(palette, QPalette::WindowText, QPalette::WindowText);
  window.setPalette(palette);
  for (const TControlDef& def : FormControls) {
    if (def.Link) {
      QWidget& link = *controls[ControlIndex(def.Id)];
      QPalette linkPalette = link.palette();
      SetReadableRole(linkPalette, QPalette::WindowText, QPalette::Highlight);
      link.setPalette(linkPalette);
    }
  }
}

}  // namespace recmon
