// Starting the monitor and the folder opener from the automatic recorder:
// when a window can be shown, one monitor at a time, and children that do
// not inherit the recorder's blocked or ignored signals.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "ProgramLauncher.h"
#include "TestProcess.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;

// A Unix socket that accepts, as a compositor's does.
class TListeningSocket final {
 public:
  explicit TListeningSocket(const std::string& path) {
    Fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(Fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(Fd_, 4), 0);
  }
  ~TListeningSocket() { ::close(Fd_); }

 private:
  int Fd_ = -1;
};

int WaitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(ProgramLauncherTest, DisplayVariablesComeFromTheGivenEnvironment) {
  EXPECT_EQ(DisplayVariables({"HOME=/h", "DISPLAY=:1", "XAUTHORITY=/h/.Xauthority", "DISPLAY_X=9",
                              "WAYLAND_DISPLAY=wayland-0"}),
            (std::vector<std::string>{"DISPLAY=:1", "WAYLAND_DISPLAY=wayland-0",
                                      "XAUTHORITY=/h/.Xauthority"}));
  EXPECT_EQ(DisplayVariables({"DISPLAY=", "PATH=/bin"}), std::vector<std::string>{})
      << "an empty variable is an unset one";
}

TEST(ProgramLauncherTest, AWindowCanBeShownOnlyWhereSomethingAnswers) {
  const test::TRuntimeDir runtime;
  const TListeningSocket compositor(runtime.Path + "/wayland-7");
  EXPECT_TRUE(DisplayAvailable("", "wayland-7", runtime.Path));
  EXPECT_TRUE(DisplayAvailable("", runtime.Path + "/wayland-7", ""));
  EXPECT_FALSE(DisplayAvailable("", "wayland-8", runtime.Path)) << "no such compositor";
  EXPECT_FALSE(DisplayAvailable("", "wayland-7", "")) << "no runtime folder to find it in";
  EXPECT_FALSE(DisplayAvailable(":987", "", runtime.Path)) << "no X server on that display";
  EXPECT_TRUE(DisplayAvailable("otherhost:0", "", "")) << "a remote display is not probed";
  EXPECT_FALSE(DisplayAvailable("", "", runtime.Path)) << "a session without a desktop";
}

TEST(ProgramLauncherTest, ChildrenStartWithOrdinarySignalsInASessionOfTheirOwn) {
  const test::TRuntimeDir runtime;
  const std::string seen = runtime.Path + "/seen";
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGCHLD);
  sigset_t before;
  ::pthread_sigmask(SIG_BLOCK, &blocked, &before);
  // Ignored here as the recorder ignores them; the child must not be.
  const auto oldPipe = ::signal(SIGPIPE, SIG_IGN);
  const auto oldSize = ::signal(SIGXFSZ, SIG_IGN);
  const auto pid = StartProgram(
      {"/bin/sh", "-c",
       "grep -E '^(SigBlk|SigIgn)' /proc/self/status > " + seen + "; echo \"$KESTRUM_X\" >> " +
           seen + "; ps -o sid= -p $$ >> " + seen + "; read line; echo \"read:$line\" >> " + seen},
      {"KESTRUM_X=given"});
  ::signal(SIGPIPE, oldPipe);
  ::signal(SIGXFSZ, oldSize);
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  ASSERT_TRUE(pid);
  EXPECT_EQ(WaitFor(*pid), 0);
  std::ifstream in(seen);
  std::stringstream text;
  text << in.rdbuf();
  std::istringstream lines(text.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "SigBlk:\t0000000000000000");
  std::getline(lines, line);
  ASSERT_TRUE(line.starts_with("SigIgn:\t")) << line;
  const unsigned long long ignored = std::stoull(line.substr(8), nullptr, 16);
  for (const int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
    EXPECT_EQ(ignored & (1ULL << (sig - 1)), 0U) << "signal " << sig << " ignored in the child";
  }
  std::getline(lines, line);
  EXPECT_EQ(line, "given");
  std::getline(lines, line);
  EXPECT_EQ(std::atoi(line.c_str()), *pid) << "a session of its own: " << line;
  std::getline(lines, line);
  EXPECT_EQ(line, "read:") << "stdin is empty, never the recorder's terminal";
  EXPECT_FALSE(StartProgram({"/nonexistent/program"}));
}

TEST(ProgramLauncherTest, OneMonitorAtATime) {
  const test::TRuntimeDir runtime;
  const TListeningSocket compositor(runtime.Path + "/wayland-3");
  const char* oldDisplay = std::getenv("DISPLAY");
  const std::string keptDisplay = oldDisplay != nullptr ? oldDisplay : "";
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  const std::string seen = runtime.Path + "/monitor-env";
  // A stand-in monitor that tells which display it was given.
  const std::string monitor = runtime.Path + "/monitor";
  std::ofstream(monitor) << "#!/bin/sh\necho \"$WAYLAND_DISPLAY\" >> " << seen << "\n";
  ::chmod(monitor.c_str(), 0700);
  TMonitorLauncher launcher(monitor);

  using TOutcome = TMonitorLauncher::TOutcome;
  int asked = 0;
  const auto session = [&](std::vector<std::string> environment) {
    return [&asked, environment] {
      ++asked;
      return environment;
    };
  };
  EXPECT_EQ(launcher.Show(session({})), TOutcome::NoDisplay);
  EXPECT_EQ(launcher.Show(session({"WAYLAND_DISPLAY=wayland-3"})), TOutcome::Started)
      << "the session's display, for a service started before the desktop";
  EXPECT_EQ(launcher.Show(session({"WAYLAND_DISPLAY=wayland-3"})), TOutcome::StillOpen);
  // The recorder reaps its children and tells the launcher.
  std::this_thread::sleep_for(100ms);
  pid_t ended = 0;
  for (int i = 0; i < 50 && ended <= 0; ++i) {
    ended = ::waitpid(-1, nullptr, WNOHANG);
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_GT(ended, 0);
  launcher.Reaped(ended + 1);
  EXPECT_EQ(launcher.Show(session({"WAYLAND_DISPLAY=wayland-3"})), TOutcome::StillOpen)
      << "another child's end is not the monitor's";
  launcher.Reaped(ended);
  ::setenv("WAYLAND_DISPLAY", "wayland-3", 1);
  ::setenv("XDG_RUNTIME_DIR", runtime.Path.c_str(), 1);
  asked = 0;
  EXPECT_EQ(launcher.Show(session({})), TOutcome::Started) << "our own display first";
  EXPECT_EQ(asked, 0) << "the session is not asked when our own environment names a display";
  for (int i = 0; i < 50 && ::waitpid(-1, nullptr, WNOHANG) <= 0; ++i) {
    std::this_thread::sleep_for(20ms);
  }
  ::unsetenv("WAYLAND_DISPLAY");
  if (oldDisplay != nullptr) {
    ::setenv("DISPLAY", keptDisplay.c_str(), 1);
  }
  std::ifstream in(seen);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "wayland-3\nwayland-3\n");
  TMonitorLauncher missing(runtime.Path + "/no-such-monitor");
  ::setenv("WAYLAND_DISPLAY", "wayland-3", 1);
  EXPECT_EQ(missing.Show(session({})), TOutcome::Failed);
  ::unsetenv("WAYLAND_DISPLAY");
}

}  // namespace
}  // namespace recmon
