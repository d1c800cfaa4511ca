#pragma once

// Desktop notifications through the freedesktop notification service on the
// session bus (sd-bus of libsystemd): "Call recorded", with an action that
// opens the recording's folder. A session without a bus or without a
// notification service gets no notification and no error: the recording is
// what counts, and the log says once why nothing was shown. Every call is
// asynchronous, so a slow or hung service never holds up the recorder; the
// owner sleeps on Fd() beside its other sources.

#include <chrono>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CallNotice.h"

struct sd_bus;
struct sd_bus_slot;

namespace recmon {

class TDesktopNotifier final {
 public:
  // `openFolder` runs when the user picks the notification's action.
  TDesktopNotifier(std::ostream& log, std::function<void(const std::string& folder)> openFolder);
  ~TDesktopNotifier();
  TDesktopNotifier(const TDesktopNotifier&) = delete;
  TDesktopNotifier& operator=(const TDesktopNotifier&) = delete;

  void Notify(const TCallNotice& notice);

  // What to sleep on: the bus connection (-1 while there is none), the poll
  // events it waits for, and a deadline (a reply's time-out) if any.
  int Fd() const;
  short Events() const;
  std::optional<std::chrono::steady_clock::time_point> Deadline() const;
  // Handles whatever arrived or timed out.
  void Process();
  // A notification is still on its way to the service.
  bool Busy() const { return InFlight_ > 0; }

  // The session manager's environment (systemd's user manager), for programs
  // started from a service that began before the desktop's variables were
  // known; empty when there is no such manager. Waits at most a second.
  std::vector<std::string> SessionEnvironment();

  struct TPending;

 private:
  bool Connect();
  void Disconnect(const std::string& why);
  void Say(const std::string& text);
  // The bus's callbacks, in the implementation.
  struct TCallbacks;
  friend struct TCallbacks;

  std::ostream& Log_;
  std::function<void(const std::string&)> OpenFolder_;
  sd_bus* Bus_ = nullptr;
  std::vector<sd_bus_slot*> Matches_;
  std::map<std::uint32_t, std::string> Folders_;  // shown notification -> its folder
  std::string LastSaid_;
  int InFlight_ = 0;
};

}  // namespace recmon
