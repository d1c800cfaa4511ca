#pragma once

// Watches the sound server for the streams that programs open and close. It
// sleeps until the server reports a change (pa_context_subscribe) and then
// asks for a fresh view of every stream, so it costs nothing while nothing
// happens; there is no timer while the server is there. When the server goes
// away it reconnects with a short back-off, for as long as it lives, and
// comes back with a fresh view. libpulse runs its own thread; the owner is
// told through a file descriptor it can sleep on beside others.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ServerStreams.h"

namespace recmon {

struct TWatchReport {
  bool Connected = false;
  // How often the server has gone away since the start, so that an owner
  // that looks only now and then still learns that it went and came back.
  std::uint64_t Losses = 0;
  std::optional<TServerStreams> Streams;  // the newest complete view while connected
  std::string ServerName;
  std::string Failure;  // why the server is away, when it is
};

class TPulseWatcher final {
 public:
  // Starts connecting at once; never fails for a missing server.
  TPulseWatcher();
  ~TPulseWatcher();
  TPulseWatcher(const TPulseWatcher&) = delete;
  TPulseWatcher& operator=(const TPulseWatcher&) = delete;

  // Readable when there is news: a new view, the server gone or back.
  int Fd() const;
  // The newest state; empties Fd().
  TWatchReport Take();

  struct TState;

 private:
  std::unique_ptr<TState> State_;
};

}  // namespace recmon
