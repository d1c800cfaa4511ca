#pragma once

// Programs that the automatic recorder starts and leaves running: the
// monitor for each call, and the desktop's opener for a notification's
// action.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace recmon {

// Starts `argv` (found on PATH when it has no slash) with our environment
// plus `env` ("NAME=value", replacing ours), stdin from /dev/null, no signal
// blocked or ignored (we block and ignore some), in a session of its own, so
// that a Ctrl+C or hang-up meant for us does not reach it. Nothing when it
// could not start. The caller reaps it.
std::optional<pid_t> StartProgram(const std::vector<std::string>& argv,
                                  const std::vector<std::string>& env = {});

// The monitor installed beside this program, else `recmon` on PATH.
std::string MonitorProgram();

// Whether a window can be shown: an X display that answers (or one that
// cannot be checked without connecting, on another host), or a Wayland
// compositor that answers. Empty texts are unset variables.
bool DisplayAvailable(const std::string& display, const std::string& waylandDisplay,
                      const std::string& runtimeDir);

// The desktop's variables that a window needs, from `environment` ("NAME=value").
std::vector<std::string> DisplayVariables(const std::vector<std::string>& environment);

// Starts the monitor for a call, unless the one it started is still open
// (it follows the next call too, until it closes itself).
class TMonitorLauncher final {
 public:
  explicit TMonitorLauncher(std::string program) : Program_(std::move(program)) {}

  enum class TOutcome { Started, StillOpen, NoDisplay, Failed };

  // `sessionEnvironment`: the desktop session's variables, for a recorder
  // started before them (a user service started at login); asked only when
  // our own environment names no display.
  TOutcome Show(const std::function<std::vector<std::string>()>& sessionEnvironment);
  // A child of ours ended.
  void Reaped(pid_t pid);

 private:
  std::string Program_;
  std::optional<pid_t> Running_;
};

}  // namespace recmon
