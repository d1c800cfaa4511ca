#include "QuitOnSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace recmon {

namespace {

// A signal handler may only write to a descriptor; the event loop reads the
// other end and quits there.
int SignalPipe[2] = {-1, -1};
bool Stopping = false;

void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(SignalPipe[0], &byte, 1);
}

}  // namespace

void QuitOnStopSignals(QCoreApplication& app) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, SignalPipe) != 0) {
    return;  // the default action (ending at once) stays
  }
  auto* notifier = new QSocketNotifier(SignalPipe[1], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
    char byte = 0;
    while (::read(SignalPipe[1], &byte, 1) > 0) {
    }
    Stopping = true;
    QCoreApplication::exit(0);
  });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    ::sigaction(signal, &action, nullptr);
  }
}

bool StopRequested() {
  return Stopping;
}

}  // namespace recmon
