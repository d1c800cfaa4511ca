#pragma once

// A private session bus for one test (dbus-daemon), named to every program
// the test starts through DBUS_SESSION_BUS_ADDRESS; never the user's.

#include <memory>
#include <string>

#include "TestProcess.h"

namespace recmon::test {

class TSessionBus final {
 public:
  explicit TSessionBus(const std::string& folder);
  ~TSessionBus();
  TSessionBus(const TSessionBus&) = delete;
  TSessionBus& operator=(const TSessionBus&) = delete;

  const std::string& Address() const { return Address_; }

 private:
  std::string Address_;
  std::unique_ptr<TChildProcess> Daemon_;
};

}  // namespace recmon::test
