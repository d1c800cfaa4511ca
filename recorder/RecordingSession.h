#pragma once

// One recording from start to end, in five phases:
//   Open   the sound server, the sources, the file, the writer and capture;
//   Run    publish five times a second until a stop reason comes;
//   Drain  let both sides deliver up to the stop, or give up on them;
//   Close  the file, then the last record with Recording cleared;
//   Report what was lost, why it stopped, and the exit status.
// Which sources it records is a policy's choice, asked again whenever the
// server's sources change, so the same session records the desktop's
// devices (recmon-record) or whatever other sources a policy follows.

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CaptureFormat.h"
#include "RecorderArgs.h"
#include "SoundSources.h"
#include "StopSignals.h"

namespace recmon {

// How much audio the bounded buffer between capture and writer holds. The
// sound server keeps what a recorder held up (stopped, swapped out, in a
// suspended machine) has not read yet, up to 4 MB per stream (about 21 s of
// a stereo output in 16 bits, 43 s of a microphone), and hands it over at
// once when the recorder runs again; the buffer takes all of it while the
// writer catches up. It takes memory only for what it holds.
inline constexpr std::size_t kBufferFrames = 30 * kSampleRate;

// How long the sound server may stay away (restarted, crashed) before the
// recording gives up. Until then the file goes on with silence.
inline constexpr std::chrono::seconds kServerGoneLimit{120};

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct TRecordingResult {
  int ExitStatus = kExitFailed;
  std::string Path;
  std::uint64_t Captured = 0;         // frames offered to the buffer
  std::uint64_t Written = 0;          // frames in the file
  std::uint64_t DroppedByWriter = 0;  // frames that did not reach the file
  std::uint64_t LostAtServer = 0;     // frames in which a side was missing at the sound server
  std::size_t PeakBufferFill = 0;     // frames
  std::uint64_t Published = 0;
  std::uint64_t PublishesSkipped = 0;
  // Why it stopped early (the server stayed away, a write failed); empty when it did not.
  std::string Failure;
  bool ServerGone = false;  // it stopped because the server stayed away
};

// Why the Run phase ended.
enum class TStopReason {
  Signal,       // SIGINT, SIGTERM or SIGHUP
  Duration,     // --duration reached
  ServerGone,   // the server stayed away longer than kServerGoneLimit
  WriteFailed,  // the file could not be written (a full disk)
};

class TRecordingSession final {
 public:
  // Records as `options` say (file, duration) from the sources `policy`
  // chooses; both must outlive the session. Writes the path to `out`, the
  // live line too when `liveLine`, and what happens to `err`.
  TRecordingSession(const TRecorderOptions& options, const ISourcePolicy& policy, std::ostream& out,
                    std::ostream& err, bool liveLine);
  ~TRecordingSession();
  TRecordingSession(const TRecordingSession&) = delete;
  TRecordingSession& operator=(const TRecordingSession&) = delete;

  // All five phases; `stopSignals` are blocked by the caller in every thread.
  TRecordingResult Run(const sigset_t& stopSignals);
  // From another thread while Run runs: the policy has learnt something the
  // sound server link does not watch; its choice is asked for again.
  void Reconsider();

  struct TParts;

 private:
  bool Open();
  TStopReason RunUntilStop(const sigset_t& stopSignals);
  void Drain(TStopReason reason);
  void Close(TStopReason& reason);
  void Report(TStopReason reason);

  void Fail(int status, const std::string& message);
  void Publish();
  void Say(const std::string& text);

  const TRecorderOptions& Options_;
  const ISourcePolicy& Policy_;
  std::ostream& Out_;
  std::ostream& Err_;
  bool LiveLine_;
  TRecordingResult Result_;
  std::unique_ptr<TParts> Parts_;
  std::string Failure_;
  std::mutex LinkMutex_;  // Reconsider against the link's start and end
  bool LinkRunning_ = false;
};

// recmon-record: --list, or a session on the desktop's sources.
TRecordingResult RunRecorder(const TRecorderOptions& options, const sigset_t& stopSignals,
                             std::ostream& out, std::ostream& err, bool liveLine);

}  // namespace recmon
