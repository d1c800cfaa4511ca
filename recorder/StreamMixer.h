#pragma once

// Mixes the playback streams of a call program into the one other side. Each
// stream monitored on its own delivers only while it plays, in fragments of
// its own timing, and streams come and go during a call; the side must still
// run on without a break. So each stream's samples are placed on a shared
// timeline by when they arrive (a stream's fragment ends about when it
// arrives), one after another while it keeps up, and the mix is handed on a
// fixed latency behind the clock, with silence where nothing played. A
// stream that fell silent (corked, paused) and resumes is placed anew.

#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <vector>

namespace recmon {

// Positions are frames since the mixer's start, at the capture rate.
using TMixPos = std::int64_t;

class TStreamMixer final {
 public:
  // `latency`: how far behind the clock the mix is handed on, so that
  // fragments of every stream are in by then.
  explicit TStreamMixer(TMixPos latency);

  // Mono samples of stream `id` that arrived when the clock stood at `now`.
  void Add(std::uint32_t id, std::span<const float> samples, TMixPos now);
  // The stream is gone; its samples already placed stay in the mix.
  void Remove(std::uint32_t id);
  // Appends the mix from the last Take up to `now` less the latency, each
  // sample limited to full scale.
  void Take(TMixPos now, std::vector<float>& out);

  TMixPos Emitted() const { return Emitted_; }
  // Samples that came too late for the mix and were left out.
  std::uint64_t Late() const { return Late_; }

  // A stream more than this off its place is placed anew.
  static constexpr TMixPos kDriftFrames = 4800;

 private:
  std::map<std::uint32_t, TMixPos> Cursors_;  // where each stream's next sample goes
  std::deque<float> Pending_;                 // the mix from Emitted_ on
  TMixPos Emitted_ = 0;
  TMixPos Latency_;
  std::uint64_t Late_ = 0;
};

}  // namespace recmon
