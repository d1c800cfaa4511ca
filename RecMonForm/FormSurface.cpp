#include "FormSurface.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <cstdlib>

#include "DevicePlacement.h"
#include "FigureFit.h"
#include "FormAccess.h"
#include "MonitorStyle.h"
#include "QtColor.h"
#include "ToolTipText.h"
#include "X11Window.h"

namespace recmon {

namespace {

QString FromBytes(const std::string& text) {
  // Paths come from the recorder as bytes in the machine's encoding.
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TFormSurface::TFormSurface(QWidget& window, const TControlWidgets& controls)
    : Window_(window), Controls_(controls) {
  for (const TControlDef& def : FormControls) {
    Captions_[ControlIndex(def.Id)] = std::string(def.Text);
  }
}

QWidget& TFormSurface::Control(TControl control) const {
  return *Controls_[ControlIndex(control)];
}

void TFormSurface::SetCaption(TControl control, const std::string& text) {
  std::string& current = Captions_[ControlIndex(control)];
  if (current == text) {
    return;
  }
  current = text;
  if (auto* label = qobject_cast<QLabel*>(&Control(control))) {
    label->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    FollowCaption(Controls_, control);
    if (Measuring_) {
      Measure(control, *label);
    }
  }
}

void TFormSurface::MeasureTexts() {
  Measuring_ = true;
  for (const TControlDef& def : FormControls) {
    if (auto* label = qobject_cast<QLabel*>(&Control(def.Id))) {
      Measure(def.Id, *label);
    }
  }
}

void TFormSurface::Measure(TControl control, QLabel& label) {
  if (ControlDef(control).TakesSizeOfText()) {
    label.adjustSize();
  }
  if (ControlDef(control).InPanel) {
    FitFigureInWindow(control, label);
  }
}

void TFormSurface::FitFigureInWindow(TControl control, QLabel& label) {
  const TControlDef* caption = RowCaption(ControlDef(control));
  if (caption == nullptr) {
    return;
  }
  const QWidget& captionWidget = Control(caption->Id);
  // The whole text: the label may be showing an elided one.
  const std::string& whole = Captions_[ControlIndex(control)];
  const QString text = QString::fromUtf8(whole.data(), static_cast<qsizetype>(whole.size()));
  QFont font = label.font();
  const TFigureFit fit = FitFigure(font, text, ControlDef(control).Left,
                                   captionWidget.x() + captionWidget.width() + FigureGap,
                                   label.parentWidget()->width() - FigureEdgeMargin);
  // The layout's own font leaves the stretch unset.
  const int stretch = font.stretch() == QFont::AnyStretch ? 100 : font.stretch();
  bool resized = false;
  if (stretch != fit.Stretch) {
    font.setStretch(fit.Stretch == 100 ? QFont::AnyStretch : fit.Stretch);
    label.setFont(font);
    resized = true;
  }
  if (label.text() != fit.Shown) {
    label.setText(fit.Shown);
    resized = true;
  }
  // A figure cut short offers its whole text to the pointer; its
  // accessible name already has it (FollowCaption). The description is set
  // as plain text: without one, a screen reader would be handed the
  // tooltip's markup.
  const QString tip = fit.Elided ? LiteralToolTip(text) : QString();
  if (label.toolTip() != tip) {
    label.setToolTip(tip);
    label.setToolTipDuration(static_cast<int>(TooltipDuration.count()));
    label.setAccessibleDescription(fit.Elided ? text : QString());
  }
  if (resized) {
    label.adjustSize();
  }
  if (label.x() != fit.Left) {
    label.move(fit.Left, label.y());
  }
}

void TFormSurface::SetHint(TControl control, const std::string& text) {
  std::string& current = Hints_[ControlIndex(control)];
  if (current == text) {
    return;
  }
  current = text;
  QWidget& widget = Control(control);
  const QString hint = LiteralToolTip(FromBytes(text));
  widget.setToolTip(hint);
  FollowHint(Controls_, control, FromBytes(text));
  // A tooltip on screen for this control follows the new text (or goes away
  // when the hint becomes empty) instead of showing a stale figure.
  if (QToolTip::isVisible() && widget.underMouse()) {
    if (hint.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(QCursor::pos(), hint, &widget, {},
                         static_cast<int>(TooltipDuration.count()));
    }
  }
}

std::string TFormSurface::Hint(TControl control) const {
  return Hints_[ControlIndex(control)];
}

void TFormSurface::SetVisible(TControl control, bool visible) {
  QWidget& widget = Control(control);
  if (widget.isHidden() == visible) {
    widget.setVisible(visible);
  }
}

std::int32_t TFormSurface::Left(TControl control) const {
  return Control(control).x();
}
std::int32_t TFormSurface::Top(TControl control) const {
  return Control(control).y();
}
std::int32_t TFormSurface::Height(TControl control) const {
  return Control(control).height();
}

void TFormSurface::SetLeft(TControl control, std::int32_t left) {
  QWidget& widget = Control(control);
  if (widget.x() != left) {
    widget.move(left, widget.y());
  }
}

void TFormSurface::SetTop(TControl control, std::int32_t top) {
  QWidget& widget = Control(control);
  if (widget.y() != top) {
    widget.move(widget.x(), top);
  }
}

void TFormSurface::SetHeight(TControl control, std::int32_t height) {
  QWidget& widget = Control(control);
  const int h = std::max(height, 0);
  if (widget.height() != h) {
    widget.resize(widget.width(), h);
  }
}

void TFormSurface::SetWindowColor(TColor color) {
  if (Color_ == color) {
    return;
  }
  Color_ = color;
  QPalette palette = Window_.palette();
  palette.setColor(QPalette::Window, ToQColor(color));
  Window_.setPalette(palette);
}

// Outer geometry is the client area grown by the frame; the client area is
// what Qt places on every platform.
TPoint TFormSurface::ClientPos() const {
  if (CompositorPlaces_ && PositionSet_) {
    return *PositionSet_;
  }
  const QPoint pos = Window_.geometry().topLeft();
  // A window aligned in device pixels reads back, in logical pixels, up to
  // one off the position asked for; it is still where the monitor put it.
  if (DeviceAligned_ && std::abs(pos.x() - DeviceAligned_->X) <= 1 &&
      std::abs(pos.y() - DeviceAligned_->Y) <= 1) {
    return *DeviceAligned_;
  }
  return Placement_.Seen({pos.x(), pos.y()});
}

void TFormSurface::MoveClient(TPoint client) {
  if (CompositorPlaces_) {
    PositionSet_ = client;
    return;
  }
  if (ClientPos() != client) {
    Window_.setGeometry(QRect(QPoint(client.X, client.Y), Window_.size()));
    Placement_.Requested(client, TPlacementTracker::TClock::now());
  }
  // On a scaled desktop the outer corner goes exactly where the logical one
  // maps to: flush with the work area's edges, not a device pixel short.
  const QPoint outerCorner(client.X + Window_.width() + Frame_.right(),
                           client.Y + Window_.height() + Frame_.bottom());
  const TAreas areas = Areas();
  if (AlignOuterCorner(Window_, outerCorner, areas.Logical, areas.Device)) {
    DeviceAligned_ = client;
  } else {
    DeviceAligned_.reset();
  }
}

void TFormSurface::WindowMoved(QPoint client) {
  Placement_.Moved({client.x(), client.y()}, TPlacementTracker::TClock::now());
}

std::int32_t TFormSurface::WindowLeft() const {
  return ClientPos().X - Frame_.left();
}
std::int32_t TFormSurface::WindowTop() const {
  return ClientPos().Y - Frame_.top();
}
std::int32_t TFormSurface::WindowWidth() const {
  return Window_.width() + Frame_.left() + Frame_.right();
}
std::int32_t TFormSurface::WindowHeight() const {
  return Window_.height() + Frame_.top() + Frame_.bottom();
}

void TFormSurface::SetWindowLeft(std::int32_t left) {
  MoveClient({left + Frame_.left(), ClientPos().Y});
}

void TFormSurface::SetWindowTop(std::int32_t top) {
  MoveClient({ClientPos().X, top + Frame_.top()});
}

void TFormSurface::SetWindowHeight(std::int32_t height) {
  const int client = std::max(height - Frame_.top() - Frame_.bottom(), 1);
  if (Window_.height() != client) {
    // A fixed size keeps the user from resizing the window.
    Window_.setFixedHeight(client);
  }
}

TFormSurface::TAreas TFormSurface::Areas() const {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return {};
  }
  // On X11 the primary monitor less the panels on it: Qt takes the whole
  // desktop's work area for it only while there is one monitor, and the
  // monitor's plain size with more.
  const auto device = DeviceUsableArea(Window_, *screen);
  if (!device) {
    return {screen->availableGeometry(), {}};
  }
  const QPoint origin = screen->geometry().topLeft();
  const qreal ratio = screen->devicePixelRatio();
  const int left = LogicalEdge(device->left(), origin.x(), ratio);
  const int top = LogicalEdge(device->top(), origin.y(), ratio);
  const int right = LogicalEdge(device->left() + device->width(), origin.x(), ratio);
  const int bottom = LogicalEdge(device->top() + device->height(), origin.y(), ratio);
  return {QRect(left, top, right - left, bottom - top), *device};
}

TWorkArea TFormSurface::WorkArea() const {
  const QRect area = Areas().Logical;
  return {area.left(), area.top(), area.width(), area.height()};
}

void TFormSurface::CloseWindow() {
  Window_.close();
}

}  // namespace recmon
