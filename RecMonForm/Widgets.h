#pragma once

// The few kinds of control the window needs beyond a plain label.

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QWidget>
#include <functional>

#include "Glyphs.h"

namespace recmon {

// An icon control showing one of the program's glyphs, redrawn whenever the
// screen's pixel ratio changes.
class TGlyphImage final : public QWidget {
 public:
  TGlyphImage(TGlyph glyph, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TGlyph Glyph_;
  QPixmap Cache_;
};

// A filled rectangle with a black 1-pixel border; a height of 0 shows nothing.
class TShapeRect final : public QWidget {
 public:
  TShapeRect(QColor fill, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor Fill_;
};

// Calls back on a left click on the watched widget: press and release both
// inside it, as a button does.
class TClickFilter final : public QObject {
 public:
  TClickFilter(QWidget* watched, std::function<void()> onClick);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> OnClick_;
  bool Pressed_ = false;
};

}  // namespace recmon
