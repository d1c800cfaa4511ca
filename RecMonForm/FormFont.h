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

// A bold face whose advances are within a few per cent of Tahoma Bold's, for
// when the window font's own bold face renders no heavier than its regular.
inline const QString SubstituteBoldFamily = QStringLiteral("DejaVu Sans Condensed");

// The window font in bold. The bold Tahoma of fonts-wine carries the regular
// outlines (only its advances and embedded bitmaps are bold), so it renders
// regular at every size; then the substitute above is taken, when installed.
QFont FormBoldFont();

// How many pixels lower the bold face's baseline lies than the regular's at
// the same top (a substitute's taller ascent); 0 with Tahoma's own bold.
int BoldBaselineDrop();

// Ink of the text's glyphs as the font renders them on screen (the sum of
// their coverage, in pixels): how heavy a face really is, whatever its style
// says.
double InkOf(const QFont& font, const QString& text);

}  // namespace recmon
