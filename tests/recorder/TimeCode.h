#pragma once

// Time-coded test audio: a slow ramp whose every sample says when it was
// played, so that each stretch of a recording can be mapped back to the
// moment it was played, to well under a millisecond. Its values run from
// 0.05 to 0.95 and never touch 0, which only silence put in by the recorder
// (or a missing player) reads.

#include <memory>
#include <string>
#include <vector>

#include "TestProcess.h"

namespace recmon::test {

// How long the ramp takes to climb; no test runs longer.
inline constexpr double kRampSeconds = 60;

// Writes the ramp from `fromSeconds` on, `seconds` long, as raw 32-bit float
// stereo at 48 kHz, the same on both channels.
void MakeTimeCode(const std::string& path, double fromSeconds, double seconds);

// Plays such a file on `sink` (the default output when empty), the way a call
// application plays the other parties: with room enough not to run dry on a
// loaded machine, and following the default output when none is named.
std::unique_ptr<TChildProcess> PlayTimeCode(const std::string& path, const std::string& sink = "");

// One tenth of a second of one channel of a recording.
struct TPiece {
  enum TKind { Silent, Audio, Mixed } Kind = Mixed;
  double FileTime = 0;  // where it starts in the file
  double Offset = 0;    // Audio: file time minus the time it was played
};

// Every 0.1 s of channel `channel` (0 left, 1 right) of a 16-bit stereo file.
std::vector<TPiece> ReadTimeCode(const std::string& file, int channel);

// Seconds of [from, to) of the file in which `channel` holds silence (in
// 10 ms blocks); either channel: -1.
double SilentSeconds(const std::string& file, int channel, double from = 0, double to = 1e9);

// The offset of a channel's audio in [from, to) of the file (the median of
// its stretches); NAN when it holds none there. Comparing it before and after
// an event shows whether audio stayed where the clock put it. (A loaded
// machine can make PipeWire drop a quantum of a stream now and then, without
// a word to its client; comparisons are made close to the events.)
double OffsetIn(const std::vector<TPiece>& channel, double from, double to);

// How far apart the two channels are in [from, to) (the median where both hold
// audio); NAN when they never do at the same moment.
double ApartIn(const std::vector<TPiece>& left, const std::vector<TPiece>& right, double from,
               double to);

// Whether the played moments only ever grow: nothing repeated or reordered.
bool InOrder(const std::vector<TPiece>& channel);

// The longest run of stretches that are not audio within [from, to) of the file, in seconds.
double LongestGap(const std::vector<TPiece>& channel, double from, double to = 1e9);

}  // namespace recmon::test
