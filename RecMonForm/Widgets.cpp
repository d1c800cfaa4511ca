#include "Widgets.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <utility>

namespace recmon {

namespace {

const QColor BorderColor{0, 0, 0};

// Marks the control that has the keyboard focus: every other pixel of a
// 1-pixel frame along the inside of its box, so nothing moves and what it
// frames stays readable.
void DrawFocusFrame(QPainter& p, const QRect& box, const QColor& color) {
  if (box.width() < 2 || box.height() < 2) {
    return;
  }
  const auto dot = [&](int x, int y) {
    if ((x + y) % 2 == 0) {
      p.fillRect(x, y, 1, 1, color);
    }
  };
  for (int x = box.left(); x <= box.right(); ++x) {
    dot(x, box.top());
    dot(x, box.bottom());
  }
  for (int y = box.top() + 1; y < box.bottom(); ++y) {
    dot(box.left(), y);
    dot(box.right(), y);
  }
}

// Space and Enter work the focused control once per press; held down they
// do not repeat, and with a modifier they are some other command.
bool ActivatesFocused(const QKeyEvent& key) {
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  if (key.isAutoRepeat() || modifiers != Qt::NoModifier) {
    return false;
  }
  return key.key() == Qt::Key_Space || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

}  // namespace

TGlyphImage::TGlyphImage(TGlyph glyph, QWidget* parent) : QWidget(parent), Glyph_(glyph) {}

void TGlyphImage::paintEvent(QPaintEvent*) {
  const qreal ratio = devicePixelRatioF();
  if (Cache_.isNull() || Cache_.devicePixelRatio() != ratio) {
    Cache_ = DrawGlyph(Glyph_, ratio);
  }
  QPainter p(this);
  p.drawPixmap(0, 0, Cache_);
  if (hasFocus()) {
    // The glyphs are drawn in black whatever the window's colour.
    DrawFocusFrame(p, rect(), BorderColor);
  }
}

void TLinkLabel::paintEvent(QPaintEvent* event) {
  if (!hasFocus()) {
    QLabel::paintEvent(event);
    return;
  }
  // Its text fills its box, so a frame would cut into the letters: with the
  // focus the link is drawn as selected instead, the same text in the same
  // place.
  QPainter p(this);
  const QRect box = contentsRect();
  p.fillRect(box, palette().color(QPalette::Highlight));
  QPalette selected = palette();
  selected.setColor(foregroundRole(), palette().color(QPalette::HighlightedText));
  style()->drawItemText(&p, box, QStyle::visualAlignment(layoutDirection(), alignment()), selected,
                        isEnabled(), text(), foregroundRole());
}

TShapeRect::TShapeRect(QColor fill, QWidget* parent) : QWidget(parent), Fill_(fill) {}

void TShapeRect::paintEvent(QPaintEvent*) {
  if (width() <= 0 || height() <= 0) {
    return;
  }
  QPainter p(this);
  // Drawn in whole device pixels: on a scaled desktop a logical pixel is
  // 1.25 or 1.5 device pixels, and rounding each fill on its own would give
  // a border of 2 pixels on one side and 1 on the other. Edges are rounded
  // where the widget's own edges fall, so neighbours still meet.
  const QTransform toDevice = p.deviceTransform();
  const QRectF exact = toDevice.mapRect(QRectF(rect()));
  const int left = qRound(exact.left());
  const int top = qRound(exact.top());
  const QRect outer(left, top, qRound(exact.right()) - left, qRound(exact.bottom()) - top);
  const int border = std::max(1, static_cast<int>(std::floor(toDevice.m11())));
  p.setWorldTransform(toDevice.inverted());
  p.fillRect(outer, BorderColor);
  const QRect inner = outer.adjusted(border, border, -border, -border);
  if (inner.isValid()) {
    p.fillRect(inner, Fill_);
  }
}

TClickFilter::TClickFilter(QWidget* watched, std::function<void()> onClick)
    : QObject(watched), OnClick_(std::move(onClick)) {
  watched->installEventFilter(this);
}

const TClickFilter* TClickFilter::Of(const QWidget& widget) {
  for (const QObject* child : widget.children()) {
    if (const auto* filter = dynamic_cast<const TClickFilter*>(child)) {
      return filter;
    }
  }
  return nullptr;
}

bool TClickFilter::eventFilter(QObject* watched, QEvent* event) {
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr) {
    return false;
  }
  if (event->type() == QEvent::KeyPress && ActivatesFocused(*static_cast<QKeyEvent*>(event))) {
    OnClick_();
    return true;
  }
  if (event->type() == QEvent::MouseButtonPress) {
    Pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
  } else if (event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const bool click = Pressed_ && mouse->button() == Qt::LeftButton &&
                       widget->rect().contains(mouse->position().toPoint());
    Pressed_ = false;
    if (click) {
      OnClick_();
      return true;
    }
  }
  return false;
}

}  // namespace recmon
