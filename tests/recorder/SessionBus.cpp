#include "SessionBus.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace recmon::test {

TSessionBus::TSessionBus(const std::string& folder) {
  const std::string socket = folder + "/session-bus";
  Address_ = "unix:path=" + socket;
  Daemon_ = std::make_unique<TChildProcess>(
      "/usr/bin/dbus-daemon",
      std::vector<std::string>{"--session", "--address=" + Address_, "--nofork", "--nopidfile"});
  // Ready once the socket accepts.
  for (int i = 0; i < 200; ++i) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool answers =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (answers) {
      ::setenv("DBUS_SESSION_BUS_ADDRESS", Address_.c_str(), 1);
      return;
    }
    if (Daemon_->Wait(0ms)) {
      break;
    }
    std::this_thread::sleep_for(10ms);
  }
  throw std::runtime_error("the test's session bus did not start (is dbus-daemon installed?): " +
                           Daemon_->Errors());
}

TSessionBus::~TSessionBus() {
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  Daemon_->Signal(SIGTERM);
  Daemon_->Wait(3s);
}

}  // namespace recmon::test
