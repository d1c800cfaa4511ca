#pragma once

// The monitor window: builds its controls, owns the monitor and its refresh
// timer, reports errors, and offers the display surface to the monitor.

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>

#include "FormLayout.h"
#include "FormSurface.h"
#include "Platform.h"
#include "RecMonModel.h"
#include "StatusSource.h"
#include "SwayDock.h"

namespace recmon {

inline constexpr std::chrono::milliseconds RefreshInterval{200};
// How long window creation waits for the window manager to tell its frame.
inline constexpr std::chrono::milliseconds FrameRequestTimeout{200};

// Makes the status source the monitor reads; runs once, in FormCreate.
using TChannelFactory = std::function<std::unique_ptr<IStatusSource>()>;

// Shows an error text and returns once the user has dismissed it.
using TErrorPresenter = std::function<void(const QString& text)>;

class TRecMonForm_ final : public QWidget {
  Q_OBJECT

 public:
  // The presenter defaults to the modal error box.
  TRecMonForm_(std::unique_ptr<IRecMonPlatform> platform, TChannelFactory makeChannel,
               TErrorPresenter presentError = {});
  ~TRecMonForm_() override;

  TRecMonModel& Model() { return *Model_; }
  // Null when it could not be created.
  const QTimer* Timer() const { return Timer_.get(); }
  QWidget& ControlWidget(TControl control) const { return *Controls_[ControlIndex(control)]; }
  bool ErrorBoxOpen() const { return ErrorBoxOpen_; }

  void OnTimer();

  // Gives the labels their fonts and sizes them to their texts. The first
  // use of a font fills Qt's font database, which takes milliseconds, so
  // the window does this when it is first exposed, after the window manager
  // has mapped it and before its first paint; earlier when called. Later
  // calls do nothing.
  void PrepareTexts();

 signals:
  // The window was closed, by the user or by the monitor; the program ends.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormDestroy() noexcept;
  void ConnectClicks();
  void AcceptFocusOnceMapped();
  // The frame the desktop draws around the window, as best known now.
  QMargins ReadFrame();
  // Follows a change of that frame (a window manager that tells it only once
  // the window is mapped, a new theme); the monitor carries its placement
  // over.
  void FollowFrame();
  // Docks the window where the compositor places it on request (sway).
  void FollowCompositor();
  // Monitors changed: where the window goes from here (removed: the screen
  // going away, if any).
  void FollowScreens(QScreen* removed);
  // Shows an error unless a box is already open; true once one was shown
  // and dismissed.
  bool ReportError(std::string_view prefix, const std::exception_ptr& error);
  void PresentInBox(const QString& text);

  std::unique_ptr<IRecMonPlatform> Platform_;
  TChannelFactory MakeChannel_;
  TErrorPresenter PresentError_;
  TControlWidgets Controls_{};
  std::unique_ptr<TFormSurface> Surface_;
  std::unique_ptr<TRecMonModel> Model_;
  std::unique_ptr<QTimer> Timer_;
  // Set on sway, which is asked through its IPC to place the window.
  std::unique_ptr<TSwayDock> Sway_;
  bool ErrorBoxOpen_ = false;
  bool TextsPrepared_ = false;
};

}  // namespace recmon
