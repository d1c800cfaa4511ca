#include "RecMonApp.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "DesktopPlatform.h"
#include "FormAccess.h"
#include "MonitorStyle.h"
#include "PlatformChoice.h"
#include "QuitOnSignals.h"
#include "RecMonChannel.h"
#include "RecMonForm.h"
#include "X11Window.h"

namespace recmon {

namespace {

std::unique_ptr<IStatusSource> AttachChannel() {
  auto channel = std::make_unique<TRecMonChannel>();
  // Qt ends the program with exit() when the X server goes away.
  channel->DetachAlsoOnExit();
  channel->Create();
  return channel;
}

// Qt hands the window manager the icon's sizes up to 128 pixels only; a
// larger picture would be decoded at start-up for nothing (the 256-pixel one
// cost about 3 ms of the first window).
constexpr int LargestWindowIcon = 128;

// The size of a built-in icon from its folder, ":/icons/48x48/apps/...".
int IconSizeOf(const QString& file) {
  return file.section(QLatin1Char('/'), 2, 2).section(QLatin1Char('x'), 0, 0).toInt();
}

// The window's icon, in every size built in from the package's icons that
// the window manager is handed.
void SetWindowIcon() {
  QIcon icon;
  for (QDirIterator it(QStringLiteral(":/icons"), QDir::Files, QDirIterator::Subdirectories);
       it.hasNext();) {
    const QString file = it.next();
    if (IconSizeOf(file) <= LargestWindowIcon) {
      icon.addFile(file);
    }
  }
  QApplication::setWindowIcon(icon);
}

// The icon shows only in the frame the window manager draws, and reading its
// pictures takes milliseconds: it is handed over once the first window (the
// monitor's, or an error box before it) has painted, rather than delaying
// the window's mapping.
class TIconAfterFirstPaint final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      QCoreApplication::instance()->removeEventFilter(this);
      // Queued: after the paint has reached the screen.
      QMetaObject::invokeMethod(
          this,
          [this] {
            SetWindowIcon();
            deleteLater();
          },
          Qt::QueuedConnection);
    }
    return false;
  }
};

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Qt's Wayland platform plugin, where Qt looks for plugins.
bool WaylandPluginInstalled() {
  QStringList folders = QString::fromLocal8Bit(qgetenv("QT_PLUGIN_PATH"))
                            .split(QDir::listSeparator(), Qt::SkipEmptyParts);
  folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath));
  for (const QString& folder : folders) {
    if (!QDir(folder + QStringLiteral("/platforms"))
             .entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files)
             .isEmpty()) {
      return true;
    }
  }
  return false;
}

TDisplayFacts GatherDisplayFacts() {
  TDisplayFacts facts;
  facts.QtPlatform = Env("QT_QPA_PLATFORM");
  facts.SwayAnswers = UnixSocketAnswers(Env("SWAYSOCK"));
  if (!facts.QtPlatform.empty()) {
    return facts;  // the user's choice is followed without asking further
  }
  facts.XDisplay = Env("DISPLAY");
  // Only a full connection shows that the server accepts us: Qt aborts on a
  // server that refuses it. A local socket that answers tells a refusal
  // from a server that is not there.
  facts.XServerAnswers = !facts.XDisplay.empty() && XServerAnswers();
  facts.XServerRefuses = !facts.XDisplay.empty() && !facts.XServerAnswers &&
                         UnixSocketAnswers(XDisplaySocketPath(facts.XDisplay));
  if (facts.XServerAnswers) {
    return facts;
  }
  facts.WaylandSocket =
      WaylandSocketPath(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_RUNTIME_DIR"));
  facts.CompositorAnswers = UnixSocketAnswers(facts.WaylandSocket);
  facts.WaylandPluginInstalled = WaylandPluginInstalled();
  return facts;
}

}  // namespace

int RunRecMon(int argc, char** argv) {
  const TPlatformChoice platform = ChoosePlatform(GatherDisplayFacts());
  if (!platform.Missing.empty()) {
    std::fprintf(stderr, "%s\n", platform.Missing.c_str());
    return 1;
  }
  if (!platform.QtPlatform.empty()) {
    ::setenv("QT_QPA_PLATFORM", platform.QtPlatform.c_str(), 1);
  }
  if (!platform.Notice.empty()) {
    std::fprintf(stderr, "%s\n", platform.Notice.c_str());
  }
  QApplication app(argc, argv);
  // The name desktops list the running program under (X11 WM_CLASS). The
  // display name is left unset: Qt would append it to the window caption.
  QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
  // Ties the window to the installed desktop entry (its name and icon).
  QGuiApplication::setDesktopFileName(QStringLiteral("kestrum-call-monitor"));
  app.installEventFilter(new TIconAfterFirstPaint(&app));
  // The application takes ownership of the style.
  QApplication::setStyle(new TMonitorStyle);
  // The window is a tool window, which Qt does not count when deciding that
  // the last window closed; the program ends on its Closed signal instead.
  QApplication::setQuitOnLastWindowClosed(false);
  QuitOnStopSignals(app);
  // Before the window exists: a screen reader may ask about it as it is built.
  InstallFormAccessibility();

  auto form = std::make_unique<TRecMonForm_>(std::make_unique<TDesktopPlatform>(), AttachChannel);
  QObject::connect(form.get(), &TRecMonForm_::Closed, &app, [] { QCoreApplication::exit(0); });
  if (!StopRequested()) {
    form->show();
    QApplication::exec();
  }
  // Destroying the window frees the timer, then the monitor and its channel.
  form.reset();
  return 0;
}

}  // namespace recmon
