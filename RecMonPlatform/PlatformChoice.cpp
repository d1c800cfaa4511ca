#include "PlatformChoice.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace recmon {

namespace {

std::string WhyNoX(const TDisplayFacts& facts) {
  if (facts.XDisplay.empty()) {
    return "no X server (DISPLAY is not set)";
  }
  return facts.XServerRefuses ? "the X server on DISPLAY=" + facts.XDisplay +
                                    " refuses the connection (not authorised; see XAUTHORITY)"
                              : "no X server answers on DISPLAY=" + facts.XDisplay;
}

std::string WhyNoWayland(const TDisplayFacts& facts) {
  return facts.WaylandSocket.empty()
             ? "no Wayland compositor (WAYLAND_DISPLAY and XDG_RUNTIME_DIR are not set)"
             : "no Wayland compositor answers at " + facts.WaylandSocket;
}

}  // namespace

TPlatformChoice ChoosePlatform(const TDisplayFacts& facts) {
  if (!facts.QtPlatform.empty()) {
    const bool placedByCompositor = facts.QtPlatform.starts_with("wayland") && !facts.SwayAnswers;
    return {{}, placedByCompositor ? WaylandNotice : "", {}};
  }
  if (facts.XServerAnswers) {
    return {"xcb", {}, {}};
  }
  if (!facts.CompositorAnswers) {
    return {
        {},
        {},
        "recmon: nothing to show the window on: " + WhyNoX(facts) + ", and " + WhyNoWayland(facts)};
  }
  if (!facts.WaylandPluginInstalled) {
    return {{},
            {},
            "recmon: nothing to show the window on: " + WhyNoX(facts) +
                ", and Qt's Wayland platform is not installed (Debian package qt6-wayland)"};
  }
  return {"wayland", facts.SwayAnswers ? "" : WaylandNotice, {}};
}

std::string WaylandSocketPath(const char* waylandDisplay, const char* runtimeDir) {
  const std::string name =
      waylandDisplay == nullptr || *waylandDisplay == '\0' ? "wayland-0" : waylandDisplay;
  if (name.front() == '/') {
    return name;
  }
  if (runtimeDir == nullptr || *runtimeDir == '\0') {
    return {};
  }
  return std::string(runtimeDir) + "/" + name;
}

std::string XDisplaySocketPath(const std::string& display) {
  std::string_view rest(display);
  if (rest.starts_with("unix:")) {
    rest.remove_prefix(4);
  }
  if (!rest.starts_with(':')) {
    return {};
  }
  rest.remove_prefix(1);
  const std::string_view number = rest.substr(0, rest.find('.'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos) {
    return {};
  }
  return "/tmp/.X11-unix/X" + std::string(number);
}

bool UnixSocketAnswers(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    return false;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return false;
  }
  const bool answers =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return answers;
}

}  // namespace recmon
