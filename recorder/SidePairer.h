#pragma once

// Pairs the two sides into stereo frames by time. The microphone and the
// other parties arrive as separate streams in fragments of their own sizes
// and timing. Each side's samples are placed one after another on one
// timeline (frames since the first audio), so a late but complete delivery,
// as after the whole process was held up for a while, loses nothing. Two
// corrections keep the sides in step:
//   - a side that falls more than a window behind the other (a stalled or
//     suspended source) gets silence up to the other, and when it resumes,
//     its first samples are put level with the other side;
//   - a side that runs more than a window ahead of the wall clock (an idle
//     null sink renders up to two seconds ahead) loses its oldest surplus.
// Both count as audio lost at the sound server.

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "CaptureFormat.h"

namespace recmon {

enum class TSide { Mic = 0, Others = 1 };

// Positions are frames on the shared timeline (48 kHz since the first audio).
using TFramePos = std::int64_t;

struct TPairingTolerance {
  // How far a side may lag the other, or run ahead of the clock, before it is corrected.
  TFramePos Window = kSampleRate / 4;
  // Where a correction puts a side: this far behind its reference, a usual delivery delay.
  TFramePos Nominal = kSampleRate / 25;
};

class TSidePairer final {
 public:
  using TEmit = std::function<void(std::span<const TStereoFrame>)>;

  // Without the other side, the right channel stays silent and only the
  // microphone sets the pace. `emit` receives each run of paired frames.
  TSidePairer(bool withOthers, TEmit emit, TPairingTolerance tolerance = {});

  // A side's samples (one channel) arrived when the wall clock stood at `now`.
  void Deliver(TSide side, std::span<const float> samples, TFramePos now);
  // The server reported `frames` of a side as missing: silence, counted as lost.
  void Hole(TSide side, TFramePos frames);
  // Emits nothing beyond `end` from now on: the recording will end there
  // whenever Finish comes. A later limit than one already set is ignored.
  void Limit(TFramePos end);
  // Ends the recording at `end` (or the limit, if earlier): pads every side with silence up to it
  // (counted as lost), emits everything up to it and discards whatever lies beyond.
  void Finish(TFramePos end);

  // Frames placed on a side so far, that is the timeline position of its end.
  TFramePos Placed(TSide side) const { return Sides_[Index(side)].Placed; }
  // Frames emitted as pairs so far.
  TFramePos Emitted() const { return Emitted_; }
  // Side-frames lost at the sound server: silence put in for missing audio,
  // and surplus discarded. Counted per side; a stereo frame may hold two.
  std::uint64_t LostFrames(TSide side) const { return Sides_[Index(side)].Lost; }

 private:
  struct TSideState {
    std::vector<float> Pending;  // placed but not yet emitted: [Emitted_, Placed)
    TFramePos Placed = 0;
    std::uint64_t Lost = 0;
    bool Stalled = false;  // padded for lagging the other side; not delivered since
  };

  static std::size_t Index(TSide side) { return static_cast<std::size_t>(side); }
  void PadTo(TSideState& s, TFramePos position);
  void EmitReady(TFramePos upTo);

  bool WithOthers_;
  TEmit Emit_;
  TPairingTolerance Tolerance_;
  std::array<TSideState, 2> Sides_;
  TFramePos Emitted_ = 0;
  TFramePos Limit_ = std::numeric_limits<TFramePos>::max();
  std::vector<TStereoFrame> Scratch_;
};

}  // namespace recmon
