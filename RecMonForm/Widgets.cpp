#include "Widgets.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

namespace recmon {

namespace {

const QColor BorderColor{0, 0, 0};

}  // namespace

TGlyphImage::TGlyphImage(TGlyph glyph, QWidget* parent) : QWidget(parent), Glyph_(glyph) {}

void TGlyphImage::paintEvent(QPaintEvent*) {
  const qreal ratio = devicePixelRatioF();
  if (Cache_.isNull() || Cache_.devicePixelRatio() != ratio) {
    Cache_ = DrawGlyph(Glyph_, ratio);
  }
  QPainter p(this);
  p.drawPixmap(0, 0, Cache_);
}

TShapeRect::TShapeRect(QColor fill, QWidget* parent) : QWidget(parent), Fill_(fill) {}

void TShapeRect::paintEvent(QPaintEvent*) {
  const int w = width();
  const int h = height();
  if (w <= 0 || h <= 0) {
    return;
  }
  QPainter p(this);
  p.fillRect(0, 0, w, h, BorderColor);
  if (w > 2 && h > 2) {
    p.fillRect(1, 1, w - 2, h - 2, Fill_);
  }
}

TClickFilter::TClickFilter(QWidget* watched, std::function<void()> onClick)
    : QObject(watched), OnClick_(std::move(onClick)) {
  watched->installEventFilter(this);
}

bool TClickFilter::eventFilter(QObject* watched, QEvent* event) {
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr) {
    return false;
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
