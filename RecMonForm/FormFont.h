#pragma once

// The window's font: Tahoma at 11 pixels (8 point), the size the layout's
// boxes were made for.

#include <QFont>
#include <QString>
#include <QStringList>

namespace recmon {

inline constexpr int FormFontPixelSize = 11;
inline const QString FormFontFamily = QStringLiteral("Tahoma");

// Where Debian's fonts-wine package puts its metric-compatible Tahoma. It is
// not registered with fontconfig, so the monitor loads it itself.
inline const QStringList BundledTahomaFiles{QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
                                            QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf")};

// Tahoma when the system has it or the files above exist; otherwise a narrow
// sans-serif family, so the texts still fit their fixed boxes. Needs the
// application object.
QFont FormFont();

}  // namespace recmon
