#include "ProgramLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "PlatformChoice.h"

extern char** environ;

namespace recmon {

namespace {

std::string NameOf(const std::string& variable) {
  return variable.substr(0, variable.find('='));
}

const char* const kDisplayNames[] = {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"};

std::string Get(const std::vector<std::string>& environment, const std::string& name) {
  for (const std::string& variable : environment) {
    if (NameOf(variable) == name && variable.size() > name.size()) {
      return variable.substr(name.size() + 1);
    }
  }
  return "";
}

std::vector<std::string> OwnEnvironment() {
  std::vector<std::string> own;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    own.emplace_back(*e);
  }
  return own;
}

}  // namespace

std::optional<pid_t> StartProgram(const std::vector<std::string>& argv,
                                  const std::vector<std::string>& env) {
  std::vector<std::string> environment;
  for (std::string& variable : OwnEnvironment()) {
    bool replaced = false;
    for (const std::string& extra : env) {
      replaced = replaced || NameOf(extra) == NameOf(variable);
    }
    if (!replaced) {
      environment.push_back(std::move(variable));
    }
  }
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<char*> args;
  for (const std::string& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& variable : environment) {
    envp.push_back(const_cast<char*>(variable.c_str()));
  }
  envp.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_init(&actions);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int sig : {SIGPIPE, SIGXFSZ, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) {
    sigaddset(&defaults, sig);
  }
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, static_cast<short>(POSIX_SPAWN_SETSIGMASK |
                                                     POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID));
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int failed = ::posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return failed == 0 ? std::optional(pid) : std::nullopt;
}

std::string MonitorProgram() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const auto beside = self.parent_path() / "recmon";
    if (::access(beside.c_str(), X_OK) == 0) {
      return beside.string();
    }
  }
  return "recmon";
}

bool DisplayAvailable(const std::string& display, const std::string& waylandDisplay,
                      const std::string& runtimeDir) {
  if (!display.empty()) {
    const std::string socket = XDisplaySocketPath(display);
    if (socket.empty() || UnixSocketAnswers(socket)) {
      return true;
    }
  }
  if (!waylandDisplay.empty()) {
    const std::string socket = WaylandSocketPath(waylandDisplay.c_str(),
                                                 runtimeDir.empty() ? nullptr : runtimeDir.c_str());
    return !socket.empty() && UnixSocketAnswers(socket);
  }
  return false;
}

std::vector<std::string> DisplayVariables(const std::vector<std::string>& environment) {
  std::vector<std::string> chosen;
  for (const char* name : kDisplayNames) {
    const std::string value = Get(environment, name);
    if (!value.empty()) {
      chosen.push_back(std::string(name) + "=" + value);
    }
  }
  return chosen;
}

TMonitorLauncher::TOutcome TMonitorLauncher::Show(
    const std::function<std::vector<std::string>()>& sessionEnvironment) {
  if (Running_) {
    return TOutcome::StillOpen;
  }
  const std::vector<std::string> own = OwnEnvironment();
  std::vector<std::string> display = DisplayVariables(own);
  const auto shows = [](const std::vector<std::string>& variables) {
    return !Get(variables, "DISPLAY").empty() || !Get(variables, "WAYLAND_DISPLAY").empty();
  };
  if (!shows(display)) {
    display = DisplayVariables(sessionEnvironment());
  }
  if (!DisplayAvailable(Get(display, "DISPLAY"), Get(display, "WAYLAND_DISPLAY"),
                        Get(own, "XDG_RUNTIME_DIR"))) {
    return TOutcome::NoDisplay;
  }
  const auto pid = StartProgram({Program_}, display);
  if (!pid) {
    return TOutcome::Failed;
  }
  Running_ = *pid;
  return TOutcome::Started;
}

void TMonitorLauncher::Reaped(pid_t pid) {
  if (Running_ == pid) {
    Running_.reset();
  }
}

}  // namespace recmon
