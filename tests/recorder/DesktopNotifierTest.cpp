// The notification that a call's file is ready, through a private session bus
// and a stand-in notification service: what reaches the service, the action
// that opens the folder, and sessions without a service or a bus, where
// nothing may fail.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include <sstream>

#include "DesktopNotifier.h"
#include "SessionBus.h"
#include "TestProcess.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;
using test::TChildProcess;

class DesktopNotifierTest : public ::testing::Test {
 protected:
  void SetUp() override { ::unsetenv("DBUS_SESSION_BUS_ADDRESS"); }

  // Lets the notifier work until `done` or a few seconds have passed.
  bool Settle(TDesktopNotifier& notifier, const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!done() && std::chrono::steady_clock::now() < until) {
      pollfd bus{notifier.Fd(), notifier.Events(), 0};
      ::poll(&bus, bus.fd >= 0 ? 1 : 0, 20);
      notifier.Process();
    }
    return done();
  }

  test::TRuntimeDir Runtime;
  std::ostringstream Log;
  std::vector<std::string> Opened;
};

TEST_F(DesktopNotifierTest, NoticeReachesTheServiceAndItsActionOpensTheFolder) {
  const test::TSessionBus bus(Runtime.Path);
  TChildProcess service(RECMON_TEST_NOTIFICATIONS, {"body", "actions", "body-markup"});
  ASSERT_EQ(service.ReadLine(5s), "READY") << service.Errors();
  TDesktopNotifier notifier(Log, [&](const std::string& folder) { Opened.push_back(folder); });

  notifier.Notify({"Zoom", "/home/u/Music/Calls/call-2024-03-07-090501-Zoom.wav", 65, "", false});
  EXPECT_TRUE(notifier.Busy());
  ASSERT_TRUE(Settle(notifier, [&] { return !notifier.Busy(); })) << Log.str();
  const auto line = service.ReadLine(5s);
  ASSERT_TRUE(line) << service.Errors();
  EXPECT_EQ(*line,
            "NOTIFY 1|Kestrum Call Monitor|kestrum-call-monitor|Call recorded|Zoom, 1 min 05 "
            "s\\n/home/u/Music/Calls/call-2024-03-07-090501-Zoom.wav|default,Open "
            "Folder,open-folder,Open Folder");

  service.Signal(SIGUSR1);  // the user picks "Open Folder"
  ASSERT_TRUE(Settle(notifier, [&] { return !Opened.empty(); }));
  EXPECT_EQ(Opened, std::vector<std::string>{"/home/u/Music/Calls"});
  EXPECT_EQ(Log.str(), "") << "nothing to complain about";
}

TEST_F(DesktopNotifierTest, ServiceWithoutActionsOrMarkupGetsPlainText) {
  const test::TSessionBus bus(Runtime.Path);
  TChildProcess service(RECMON_TEST_NOTIFICATIONS, {"body"});
  ASSERT_EQ(service.ReadLine(5s), "READY") << service.Errors();
  TDesktopNotifier notifier(Log, [&](const std::string& folder) { Opened.push_back(folder); });
  notifier.Notify({"A&B", "/c/x.wav", 3, "", false});
  ASSERT_TRUE(Settle(notifier, [&] { return !notifier.Busy(); })) << Log.str();
  const auto line = service.ReadLine(5s);
  ASSERT_TRUE(line);
  EXPECT_EQ(*line,
            "NOTIFY 1|Kestrum Call Monitor|kestrum-call-monitor|Call recorded|A&B, 3 "
            "s\\n/c/x.wav|");
}

TEST_F(DesktopNotifierTest, NoServiceOrNoBusMeansNoNotificationAndNoFailure) {
  {
    const test::TSessionBus bus(Runtime.Path);
    TDesktopNotifier notifier(Log, [&](const std::string& folder) { Opened.push_back(folder); });
    notifier.Notify({"Zoom", "/c/1.wav", 3, "", false});
    notifier.Notify({"Zoom", "/c/2.wav", 3, "", false});
    ASSERT_TRUE(Settle(notifier, [&] { return !notifier.Busy(); })) << Log.str();
    EXPECT_EQ(Log.str(),
              "recmon-record: no desktop notification: no notification service in this session\n")
        << "said once, not at every call";
  }
  Log.str("");
  // No address, and no bus in the (private) runtime folder either.
  TDesktopNotifier notifier(Log, [&](const std::string& folder) { Opened.push_back(folder); });
  notifier.Notify({"Zoom", "/c/3.wav", 3, "", false});
  EXPECT_FALSE(notifier.Busy());
  EXPECT_EQ(notifier.Fd(), -1);
  EXPECT_EQ(
      Log.str(),
      "recmon-record: no desktop notifications: no session bus (No such file or directory)\n");
  EXPECT_TRUE(notifier.SessionEnvironment().empty());
}

}  // namespace
}  // namespace recmon
