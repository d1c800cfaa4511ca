#include "FormAccess.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QLabel>
#include <QList>
#include <QString>
#include <QVariant>

#include "RecMonForm.h"
#include "Widgets.h"

namespace recmon {

namespace {

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<TControl> ControlOf(const QObject* object) {
  return object == nullptr ? std::nullopt : ControlNamed(object->objectName().toStdString());
}

// A control's sibling by name: captions, bars and meters share a parent.
QWidget* Sibling(const QWidget& widget, TControl control) {
  const QWidget* parent = widget.parentWidget();
  if (parent == nullptr) {
    return nullptr;
  }
  const std::string_view name = ControlName(control);
  return parent->findChild<QWidget*>(QString::fromLatin1(name.data(), std::ssize(name)),
                                     Qt::FindDirectChildrenOnly);
}

// One of the monitor's own controls: an icon, a meter or its bar, the link,
// the panel. It learns which one from its objectName when asked, because Qt
// may make the interface while the widget is still being built.
class TControlAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TControlAccessible(QWidget* widget) : QAccessibleWidget(widget) {}

  QAccessible::Role role() const override {
    switch (Access().Kind) {
      case TAccessKind::Button:
        return QAccessible::Button;
      case TAccessKind::Link:
        return QAccessible::Link;
      case TAccessKind::Meter:
        return QAccessible::ProgressBar;
      case TAccessKind::Group:
        return QAccessible::Grouping;
      case TAccessKind::Decoration:
        return QAccessible::Graphic;
      case TAccessKind::Text:
      case TAccessKind::Figure:
        break;
    }
    return QAccessibleWidget::role();
  }

  QString text(QAccessible::Text t) const override {
    const TControlAccess& access = Access();
    if (t == QAccessible::Name && !access.Name.empty()) {
      return FromView(access.Name);
    }
    if (t == QAccessible::Description) {
      if (access.Kind == TAccessKind::Button) {
        return FromView(access.Description);
      }
      // Set from the plain hint; Qt would fall back to the tooltip's markup.
      return widget()->accessibleDescription();
    }
    return QAccessibleWidget::text(t);
  }

  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (Worked()) {
      names.prepend(pressAction());
    }
    return names;
  }

  void doAction(const QString& action) override {
    if (action == pressAction() && Worked()) {
      // Exactly what a click does, through the same handler.
      if (const TClickFilter* filter = TClickFilter::Of(*widget())) {
        filter->Click();
      }
      return;
    }
    QAccessibleWidget::doAction(action);
  }

  QStringList keyBindingsForAction(const QString& action) const override {
    if (action == pressAction() && Worked()) {
      return {QStringLiteral("Space"), QStringLiteral("Return")};
    }
    return QAccessibleWidget::keyBindingsForAction(action);
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface && Access().Kind == TAccessKind::Meter) {
      return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  // A meter's value is the height of its bar in pixels, out of the height of
  // the meter's background: what the eye compares.
  QVariant currentValue() const override {
    const QWidget* bar = Bar();
    return bar == nullptr ? 0 : bar->height();
  }
  void setCurrentValue(const QVariant&) override {}  // the level is the recorder's to set
  QVariant maximumValue() const override { return widget()->height(); }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  const TControlAccess& Access() const {
    static constexpr TControlAccess Unknown{};
    const auto control = ControlOf(object());
    return control ? AccessOf(*control) : Unknown;
  }
  bool Worked() const {
    const TAccessKind kind = Access().Kind;
    return kind == TAccessKind::Button || kind == TAccessKind::Link;
  }
  const QWidget* Bar() const {
    const auto bar = Access().Bar;
    return bar ? Sibling(*widget(), *bar) : nullptr;
  }
};

// The window: a frame named by its caption, whose children are its controls
// less the ones drawn only for the eye.
class TWindowAccessible final : public QAccessibleWidget {
 public:
  explicit TWindowAccessible(QWidget* form) : QAccessibleWidget(form, QAccessible::Window) {}

  int childCount() const override { return static_cast<int>(Shown().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QAccessibleInterface*> shown = Shown();
    return index >= 0 && index < shown.size() ? shown[index] : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return static_cast<int>(Shown().indexOf(const_cast<QAccessibleInterface*>(child)));
  }

 private:
  QList<QAccessibleInterface*> Shown() const {
    QList<QAccessibleInterface*> shown;
    const int all = QAccessibleWidget::childCount();
    for (int i = 0; i < all; ++i) {
      QAccessibleInterface* child = QAccessibleWidget::child(i);
      const auto control = child == nullptr ? std::nullopt : ControlOf(child->object());
      if (child != nullptr && !(control && AccessOf(*control).Kind == TAccessKind::Decoration)) {
        shown.push_back(child);
      }
    }
    return shown;
  }
};

QAccessibleInterface* MonitorAccessibleFactory(const QString&, QObject* object) {
  // By class, not by objectName: Qt makes one interface per object and keeps
  // it, and it may ask before BuildControls has named the widget.
  if (auto* form = dynamic_cast<TRecMonForm_*>(object)) {
    return new TWindowAccessible(form);
  }
  if (dynamic_cast<TGlyphImage*>(object) != nullptr ||
      dynamic_cast<TShapeRect*>(object) != nullptr ||
      dynamic_cast<TLinkLabel*>(object) != nullptr || dynamic_cast<TPanel*>(object) != nullptr) {
    return new TControlAccessible(static_cast<QWidget*>(object));
  }
  return nullptr;
}

// Tells a screen reader when a meter's level changes. Names and descriptions
// are set through FollowCaption and FollowHint, which tell it themselves.
class TLevelNotifier final : public QObject {
 public:
  TLevelNotifier(QWidget& form, const TControlWidgets& controls)
      : QObject(&form), Controls_(controls) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Resize) {
      return false;
    }
    for (const TControlAccess& access : ControlAccess) {
      if (access.Bar && Controls_[ControlIndex(*access.Bar)] == watched) {
        QAccessibleValueChangeEvent changed(Controls_[ControlIndex(access.Id)],
                                            static_cast<QWidget*>(watched)->height());
        QAccessible::updateAccessibility(&changed);
      }
    }
    return false;
  }

 private:
  TControlWidgets Controls_;
};

}  // namespace

void InstallFormAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&MonitorAccessibleFactory);
    return true;
  }();
  (void)installed;
}

void SetUpAccess(QWidget& form, const TControlWidgets& controls) {
  const auto widget = [&](TControl c) { return controls[ControlIndex(c)]; };
  for (const TControl c : KeyboardOrder) {
    widget(c)->setFocusPolicy(Qt::TabFocus);
  }
  // Held by the window, not by a control: on activation Qt gives the focus
  // back to the window's focus widget, and otherwise to the first control.
  form.setFocus(Qt::OtherFocusReason);

  auto* notifier = new TLevelNotifier(form, controls);
  for (const TControlAccess& access : ControlAccess) {
    if (access.Kind == TAccessKind::Figure) {
      if (auto* caption = qobject_cast<QLabel*>(widget(*access.Caption))) {
        caption->setBuddy(widget(access.Id));
      }
      FollowCaption(controls, access.Id);
    }
    if (access.Bar) {
      widget(*access.Bar)->installEventFilter(notifier);
    }
  }
}

void FollowCaption(const TControlWidgets& controls, TControl changed) {
  for (const TControlAccess& access : ControlAccess) {
    if (access.Kind != TAccessKind::Figure || (access.Id != changed && access.Caption != changed)) {
      continue;
    }
    const auto* caption = qobject_cast<const QLabel*>(controls[ControlIndex(*access.Caption)]);
    auto* figure = qobject_cast<QLabel*>(controls[ControlIndex(access.Id)]);
    if (caption != nullptr && figure != nullptr) {
      figure->setAccessibleName(
          FromView(FigureName(caption->text().toStdString(), figure->text().toStdString())));
    }
  }
}

void FollowHint(const TControlWidgets& controls, TControl changed, const QString& hint) {
  const TAccessKind kind = AccessOf(changed).Kind;
  if (kind == TAccessKind::Decoration) {
    return;  // a bar's hint is its meter's
  }
  const QString description =
      kind == TAccessKind::Meter ? FromView(MeterNote(hint.toStdString())) : hint;
  QWidget& widget = *controls[ControlIndex(changed)];
  if (widget.accessibleDescription() != description) {
    widget.setAccessibleDescription(description);
  }
}

QWidget* NextInKeyboardOrder(const TControlWidgets& controls, const QWidget* from, bool forward) {
  const auto count = static_cast<std::ptrdiff_t>(KeyboardOrder.size());
  std::ptrdiff_t at = forward ? -1 : count;  // from a widget outside the order: its first or last
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    if (controls[ControlIndex(KeyboardOrder[static_cast<std::size_t>(i)])] == from) {
      at = i;
    }
  }
  for (std::ptrdiff_t step = 1; step <= count; ++step) {
    const std::ptrdiff_t i = ((forward ? at + step : at - step) % count + count) % count;
    QWidget* candidate = controls[ControlIndex(KeyboardOrder[static_cast<std::size_t>(i)])];
    if (candidate != from && candidate->isVisibleTo(candidate->window()) &&
        candidate->isEnabled()) {
      return candidate;
    }
  }
  return nullptr;
}

void PassFocusToTwin(const TControlWidgets& controls, TControl worked, bool hadFocus) {
  const auto twin = AccessOf(worked).Twin;
  QWidget& widget = *controls[ControlIndex(worked)];
  if (hadFocus && twin && widget.isHidden()) {
    controls[ControlIndex(*twin)]->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace recmon
