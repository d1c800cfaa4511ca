#pragma once

// What a call records: the microphone its program captures, and only that
// program's sound as the other side. Chosen again at every change the server
// reports, so the recording follows the program to another microphone and to
// streams it opens later.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CallDetector.h"
#include "ServerStreams.h"

namespace recmon {

// Who a call's program is, learnt from its capture streams and kept for the
// whole call, since all of them may be closed for a moment.
struct TCallIdentity {
  std::string App;  // TStreamOwner::Key()
  std::set<std::uint32_t> Pids;
  std::set<std::string> Binaries;

  // Adds the processes and executables of the program's capture streams.
  void Learn(const TServerStreams& streams);
};

// The source of the program's newest capture stream on a microphone; nothing
// while it has none.
std::optional<std::string> CallMicrophone(const TServerStreams& streams, const TCallIdentity& call,
                                          const TCallFilter& filter);

enum class TPlaybackMatch {
  Own,            // the program's own streams, or streams under its name
  SameBinary,     // streams of a separate process of the same executable
  DefaultOutput,  // nothing matched: the default output's monitor
};

struct TCallPlayback {
  TPlaybackMatch Match = TPlaybackMatch::DefaultOutput;
  std::vector<TPlaybackStream> Streams;  // to record and mix; by index
  std::string Monitor;                   // DefaultOutput: the default output's monitor
  bool operator==(const TCallPlayback&) const = default;
};

// The program's playback streams: those of its processes or its name (a
// browser's sound often comes from a separate process under the same name);
// where there are none, those of its executable; where there are none
// either, the default output's monitor. Our own programs' never count. Once
// the program has played during the call (`played`), a moment with nothing
// of it playing records silence, not everything the desktop plays.
TCallPlayback ChooseCallPlayback(const TServerStreams& streams, const TCallIdentity& call,
                                 const TCallFilter& filter, bool played = false);

// One line for the log saying what the other side records and why.
std::string CallPlaybackText(const TCallPlayback& playback, const std::string& app);

}  // namespace recmon
