#pragma once

// recmon-record --auto: waits for calls and records each one into its own
// file. It sleeps until the sound server reports a change, a stop signal
// comes, a child ends, the notification service answers, or the call
// detector's next deadline; nothing wakes it while nothing happens.

#include <signal.h>

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "CallSources.h"
#include "RecorderArgs.h"
#include "ServerStreams.h"

namespace recmon {

// What a call's recording starts from.
struct TCallStart {
  std::string App;
  std::string Path;  // the file, not yet created
  TCallIdentity Identity;
  TServerStreams Streams;  // the server as the call began
  TCallFilter Filter;
};

struct TCallResult {
  std::string Path;
  double Seconds = 0;    // the file's length
  std::string Failure;   // why it stopped early; empty when it did not
  bool Created = false;  // a file was made at all
  // It stopped because the server stayed away, not for a fault of its own:
  // a call that goes on once the server is back gets a new file.
  bool ServerAway = false;
};

// One call's recording, as the automatic recorder drives it.
class ICallRecording {
 public:
  virtual ~ICallRecording() = default;
  // A new view of the server during the call, or nothing: the server went
  // away. The recording follows the program's microphone and playback.
  virtual void Follow(const std::optional<TServerStreams>& streams,
                      const TCallIdentity& identity) = 0;
  // Readable when the recording has stopped by itself (a write failed, the
  // server stayed away too long); -1 when it never does.
  virtual int StoppedFd() const = 0;
  virtual bool Stopped() const = 0;
  // Ends the recording where it is: drains, closes the file, clears the
  // monitor's Recording. Called once.
  virtual TCallResult Finish() = 0;
};

// Starts a call's recording; raises with the reason when it cannot.
using TCallRecorderFactory =
    std::function<std::unique_ptr<ICallRecording>(const TCallStart&, std::ostream& err)>;

// Until one of `stopSignals` (blocked by the caller in every thread). Prints
// each call's path on `out` as it begins, and what happens on `err`.
// Returns the exit status.
int RunAutoRecorder(const TRecorderOptions& options, const sigset_t& stopSignals, std::ostream& out,
                    std::ostream& err, const TCallRecorderFactory& record);

}  // namespace recmon
