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

// Seconds of the file in which `channel` holds silence (in 10 ms blocks);
// both channels: -1.
double SilentSeconds(const std::string& file, int channel);

// The largest difference between the two channels' offsets where both hold
// audio at the same moment.
double Misalignment(const std::vector<TPiece>& left, const std::vector<TPiece>& right);

// How far the offsets of audio stretches in [from, to) of the file stray from
// the first one there: 0 when the audio stays where the clock put it.
double Stray(const std::vector<TPiece>& channel, double from, double to);

// Whether the played moments only ever grow: nothing repeated or reordered.
bool InOrder(const std::vector<TPiece>& channel);

// The longest run of stretches that are not audio, in seconds, starting at or after `from`.
double LongestGap(const std::vector<TPiece>& channel, double from);

}  // namespace recmon::test
