// A stand-in for the desktop's notification service, on the session bus that
// DBUS_SESSION_BUS_ADDRESS names: it takes the well-known name, answers as
// the freedesktop service does, and prints each notification it is given as
// one line on stdout:
//   NOTIFY <id>|<app>|<icon>|<summary>|<body, newlines as \n>|<actions, comma-separated>
// SIGUSR1 makes it report that the user picked the newest notification's
// "open-folder" action, as a user's click does. Its capabilities are the
// arguments (e.g. body actions body-markup).

#include <signal.h>
#include <sys/signalfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <poll.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Capabilities;
std::uint32_t LastId = 0;

std::string OneLine(const char* text) {
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\n') {
      out += "\\n";
    } else {
      out += *c;
    }
  }
  return out;
}

int GetCapabilities(sd_bus_message* call, void*, sd_bus_error*) {
  sd_bus_message* reply = nullptr;
  sd_bus_message_new_method_return(call, &reply);
  sd_bus_message_open_container(reply, 'a', "s");
  for (const std::string& capability : Capabilities) {
    sd_bus_message_append(reply, "s", capability.c_str());
  }
  sd_bus_message_close_container(reply);
  const int r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r;
}

int Notify(sd_bus_message* call, void*, sd_bus_error*) {
  const char* app = nullptr;
  std::uint32_t replaces = 0;
  const char* icon = nullptr;
  const char* summary = nullptr;
  const char* body = nullptr;
  if (sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body) < 0) {
    return -EINVAL;
  }
  std::string actions;
  sd_bus_message_enter_container(call, 'a', "s");
  const char* action = nullptr;
  while (sd_bus_message_read(call, "s", &action) > 0) {
    if (!actions.empty()) {
      actions += ',';
    }
    actions += action;
  }
  sd_bus_message_exit_container(call);
  LastId += 1;
  std::printf("NOTIFY %u|%s|%s|%s|%s|%s\n", LastId, app, icon, summary, OneLine(body).c_str(),
              actions.c_str());
  std::fflush(stdout);
  return sd_bus_reply_method_return(call, "u", LastId);
}

int GetServerInformation(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "ssss", "stand-in", "kestrum-tests", "1", "1.2");
}

int CloseNotification(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "");
}

const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("GetCapabilities", "", "as", GetCapabilities, 0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", Notify, 0),
    SD_BUS_METHOD("GetServerInformation", "", "ssss", GetServerInformation, 0),
    SD_BUS_METHOD("CloseNotification", "u", "", CloseNotification, 0),
    SD_BUS_SIGNAL("ActionInvoked", "us", 0),
    SD_BUS_SIGNAL("NotificationClosed", "uu", 0),
    SD_BUS_VTABLE_END};

}  // namespace

int main(int argc, char** argv) {
  Capabilities.assign(argv + 1, argv + argc);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGUSR1);
  sigaddset(&signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);

  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/Notifications",
                               "org.freedesktop.Notifications", kVtable, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0) {
    std::fprintf(stderr, "stand-in notification service: cannot take the bus name\n");
    return 1;
  }
  std::printf("READY\n");
  std::fflush(stdout);
  for (;;) {
    while (sd_bus_process(bus, nullptr) > 0) {
    }
    pollfd fds[] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0},
                    {signalFd, POLLIN, 0}};
    poll(fds, 2, -1);
    signalfd_siginfo info{};
    while (read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      if (info.ssi_signo == SIGTERM) {
        sd_bus_flush_close_unref(bus);
        return 0;
      }
      sd_bus_emit_signal(bus, "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                         "ActionInvoked", "us", LastId, "open-folder");
      sd_bus_flush(bus);
    }
  }
}
