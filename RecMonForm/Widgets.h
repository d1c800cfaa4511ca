#pragma once

// The few kinds of control the window needs beyond a plain label.

#include <QColor>
#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QWidget>
#include <functional>

#include "Glyphs.h"

namespace recmon {

// An icon control showing one of the program's glyphs, redrawn whenever the
// screen's pixel ratio changes. With the keyboard focus it shows a dotted
// frame inside its box.
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

// A label that reads as a link; with the keyboard focus it is drawn as
// selected. Qt looks up accessibility by class name and answers for QLabel
// itself, so the link needs a class name of its own to be presented as one.
class TLinkLabel final : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The detail panel: a plain container, a class of its own so that Qt's
// accessibility can tell it apart before it is named.
class TPanel final : public QWidget {
 public:
  using QWidget::QWidget;
};

// Calls back on a left click on the watched widget (press and release both
// inside it, as a button does), on Space or Enter while it has the keyboard
// focus, and when Click() is called for it.
class TClickFilter final : public QObject {
 public:
  TClickFilter(QWidget* watched, std::function<void()> onClick);

  // Does what a click does.
  void Click() const { OnClick_(); }
  // The filter watching `widget`, if any.
  static const TClickFilter* Of(const QWidget& widget);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> OnClick_;
  bool Pressed_ = false;
};

}  // namespace recmon
