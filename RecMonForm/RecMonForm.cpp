#include "RecMonForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "DesktopColors.h"
#include "ErrorBox.h"
#include "ErrorText.h"
#include "FormAccess.h"
#include "MonitorStyle.h"
#include "Widgets.h"
#include "X11Window.h"

namespace recmon {

namespace {

// A tool window (small caption, utility type, no task-bar button of its own)
// with a close box only, kept above ordinary windows.
constexpr Qt::WindowFlags FormWindowFlags = Qt::Tool | Qt::WindowStaysOnTopHint |
                                            Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint;

// On X11 the window is mapped as one that does not take the keyboard:
// several window managers focus every window they map, whatever its user
// time asks. Once mapped it accepts focus again (AcceptFocusOnceMapped).
Qt::WindowFlags InitialWindowFlags() {
  return QGuiApplication::platformName() == QStringLiteral("xcb")
             ? FormWindowFlags | Qt::WindowDoesNotAcceptFocus
             : FormWindowFlags;
}

TFrame ToFrame(const QMargins& m) {
  return {m.left(), m.top(), m.right(), m.bottom()};
}

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Clicks change only the monitor's flags and the window; the only error they
// can meet is running out of memory, and there is nothing better to do with
// it than to let the next refresh go on.
template <class F>
void Guarded(F&& action) noexcept {
  try {
    action();
  } catch (...) {
  }
}

}  // namespace

TRecMonForm_::TRecMonForm_(std::unique_ptr<IRecMonPlatform> platform, TChannelFactory makeChannel,
                           TErrorPresenter presentError)
    : QWidget(nullptr, InitialWindowFlags()),
      Platform_(std::move(platform)),
      MakeChannel_(std::move(makeChannel)),
      PresentError_(std::move(presentError)) {
  InstallFormAccessibility();
  setWindowTitle(ToQString(FormCaption));
  // Appearing beside a call must not take the keyboard from it. On X11 the
  // window is mapped as one that takes no focus instead: a zero user time,
  // which this asks for there, leads KWin to mark the window as demanding
  // attention, and fluxbox and IceWM to ignore it.
  setAttribute(Qt::WA_ShowWithoutActivating, !windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
  // Qt shows tooltips only for the active window, and a window shown without
  // activation stays inactive until the user clicks it: without this the
  // file path and the health and meter hints would never show.
  setAttribute(Qt::WA_AlwaysShowToolTips);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(static_cast<QRgb>(FormInitialColor)));
  setPalette(palette);
  setFixedSize(FormClientWidth, FormClientHeight);
  move(0, 0);
  // The native window first: the window manager works out its frame while
  // the controls are built.
  SetSkipTaskbar(*this);
  const bool frameAsked = AskFrameExtents(*this);
  Controls_ = BuildControls(*this);
  SetUpAccess(*this, Controls_);
  ApplyDesktopColors(*this, Controls_);
  Surface_ = std::make_unique<TFormSurface>(*this, Controls_);
  Sway_ = TSwayDock::Connect();
  if (Sway_) {
    Surface_->LeavePositionsToCompositor();
    Sway_->NoteFocus();
  }
  Model_ = std::make_unique<TRecMonModel>(*Surface_, *Platform_);
  ConnectClicks();
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, &TRecMonForm_::FollowScreens);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
          [this](QScreen* /*primary*/) { FollowScreens(nullptr); });
  std::optional<QMargins> frame;
  if (frameAsked) {
    frame = AwaitFrameExtents(*this, FrameRequestTimeout);
  }
  Surface_->SetFrame(frame.value_or(ReadFrame()));
  FormCreate();
}

TRecMonForm_::~TRecMonForm_() {
  FormDestroy();
}

void TRecMonForm_::ConnectClicks() {
  const auto onClick = [this](TControl control, void (TRecMonModel::*handler)()) {
    new TClickFilter(&ControlWidget(control), [this, control, handler] {
      const bool hadFocus = ControlWidget(control).hasFocus();
      Guarded([&] {
        FollowFrame();
        (Model_.get()->*handler)();
        FollowCompositor();
      });
      PassFocusToTwin(Controls_, control, hadFocus);
    });
  };
  onClick(TControl::imgAdvanced, &TRecMonModel::imgAdvancedClick);
  onClick(TControl::imgHideAdvanced, &TRecMonModel::imgHideAdvancedClick);
  onClick(TControl::imgPinOut, &TRecMonModel::imgPinOutClick);
  onClick(TControl::imgPinIn, &TRecMonModel::imgPinInClick);
  onClick(TControl::lblFile, &TRecMonModel::lblFileClick);
}

void TRecMonForm_::FormCreate() {
  Model_->Start();
  try {
    for (const TControlDef& def : FormControls) {
      if (def.Tooltip) {
        ControlWidget(def.Id).setToolTipDuration(static_cast<int>(TooltipDuration.count()));
      }
    }
    Model_->Channel = MakeChannel_();
    Timer_ = std::make_unique<QTimer>();
    Timer_->setInterval(RefreshInterval);
    connect(Timer_.get(), &QTimer::timeout, this, &TRecMonForm_::OnTimer);
    Timer_->start();
    OnTimer();
  } catch (...) {
    ReportError(FormCreateErrorPrefix, std::current_exception());
  }
}

void TRecMonForm_::OnTimer() {
  try {
    FollowFrame();
    Model_->RefreshDisplay();
    FollowCompositor();
  } catch (...) {
    // A tick that fails while the box of an earlier failure is open reports
    // nothing more; the timer stops once that box is dismissed.
    if (ReportError(OnTimerErrorPrefix, std::current_exception()) && Timer_) {
      Timer_->stop();
    }
  }
}

QMargins TRecMonForm_::ReadFrame() {
  if (const auto extents = FrameExtents(*this)) {
    return *extents;
  }
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

void TRecMonForm_::FollowScreens(QScreen* removed) {
  // Called as the change arrives, before any move by which the window
  // manager answers it: an unmoved window is docked again on the primary
  // monitor even if the window manager shifts it first (which would look
  // like a move by the user), and a window the user left on a monitor that
  // is gone comes back to the primary one.
  const bool unmoved = Model_->PlacementPending || (Surface_->WindowLeft() == Model_->PlacedLeft &&
                                                    Surface_->WindowTop() == Model_->PlacedTop);
  const QRect frame = frameGeometry();
  const QList<QScreen*> screens = QGuiApplication::screens();
  const bool onScreen = std::any_of(screens.begin(), screens.end(), [&](const QScreen* screen) {
    return screen != removed && screen->geometry().intersects(frame);
  });
  if (unmoved || !onScreen) {
    Model_->PlacementPending = true;
  }
}

void TRecMonForm_::FollowCompositor() {
  if (Sway_ && isVisible()) {
    Sway_->Follow(*this);
  }
}

void TRecMonForm_::FollowFrame() {
  const QMargins frame = ReadFrame();
  const QMargins known = Surface_->Frame();
  if (frame == known) {
    return;
  }
  Surface_->SetFrame(frame);
  Model_->FrameChanged(ToFrame(known), ToFrame(frame));
}

bool TRecMonForm_::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Expose && watched == windowHandle()) {
    windowHandle()->removeEventFilter(this);
    Guarded([&] {
      AcceptFocusOnceMapped();
      PrepareTexts();
    });
  }
  return QWidget::eventFilter(watched, event);
}

void TRecMonForm_::AcceptFocusOnceMapped() {
  if (!windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus) || windowHandle() == nullptr) {
    return;
  }
  // The window manager has mapped the window and decided about focus; a
  // click or a switch to the window gives it the keyboard from now on. The
  // native window's flags change without re-creating it, which would hide
  // it and map it anew.
  const Qt::WindowFlags flags = windowFlags() & ~Qt::WindowDoesNotAcceptFocus;
  overrideWindowFlags(flags);
  windowHandle()->setFlags(flags);
}

void TRecMonForm_::PrepareTexts() {
  if (TextsPrepared_) {
    return;
  }
  TextsPrepared_ = true;
  ApplyFonts(*this, Controls_);
  Surface_->MeasureTexts();
}

void TRecMonForm_::FormShow() {
  FollowFrame();
  Model_->PlaceWindow();
  Model_->InitMeters();
}

void TRecMonForm_::FormDestroy() noexcept {
  Guarded([&] { Timer_.reset(); });
  Guarded([&] { Model_.reset(); });
}

bool TRecMonForm_::ReportError(std::string_view prefix, const std::exception_ptr& error) {
  if (ErrorBoxOpen_) {
    return false;
  }
  ErrorBoxOpen_ = true;
  // The box must not end up behind the window it reports for.
  const bool gaveUpOnTop = SetStaysOnTop(*this, false);
  Guarded([&] {
    const QString text = ToQString(ErrorBoxText(prefix, error));
    if (PresentError_) {
      PresentError_(text);
    } else {
      PresentInBox(text);
    }
  });
  if (gaveUpOnTop) {
    SetStaysOnTop(*this, true);
  }
  ErrorBoxOpen_ = false;
  return true;
}

void TRecMonForm_::PresentInBox(const QString& text) {
  TErrorBox box(text);
  box.exec();
}

void TRecMonForm_::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) {
    Guarded([&] { FormShow(); });
  }
  // The texts are measured once the window manager has mapped the window,
  // just before its first paint, so the font work does not hold up the
  // mapping (PrepareTexts).
  if ((!TextsPrepared_ || windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus)) &&
      windowHandle() != nullptr) {
    windowHandle()->installEventFilter(this);
  }
}

void TRecMonForm_::closeEvent(QCloseEvent* event) {
  event->accept();
  emit Closed();
}

void TRecMonForm_::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (Surface_) {
    Surface_->WindowMoved(geometry().topLeft());
  }
}

void TRecMonForm_::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // The desktop switched themes: its new text colours replace those set.
  if (event->type() == QEvent::ApplicationPaletteChange) {
    ApplyDesktopColors(*this, Controls_);
  }
  // A window manager that minimises the window anyway (openbox and KWin offer
  // it) would leave nothing to bring it back by: it is listed in task bars
  // and pagers for as long as it is minimised.
  if (event->type() == QEvent::WindowStateChange) {
    SetSkipTaskbar(*this, !isMinimized());
  }
}

void TRecMonForm_::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The detail panel is docked to the bottom edge: while the window is
  // collapsed it sits below the visible client area.
  QWidget& panel = ControlWidget(TControl::pnlAdvanced);
  const QRect docked(0, height() - PanelHeight, width(), PanelHeight);
  if (panel.geometry() != docked) {
    panel.setGeometry(docked);
  }
}

bool TRecMonForm_::focusNextPrevChild(bool next) {
  // Tab follows the access table rather than the order the controls were
  // built in, which is their painting order.
  QWidget* target = NextInKeyboardOrder(Controls_, focusWidget(), next);
  if (target == nullptr) {
    return false;
  }
  target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}

}  // namespace recmon
