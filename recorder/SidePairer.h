#pragma once

// Pairs the two sides into stereo frames on one timeline: frames at 48 kHz
// since the first audio, which is the file's own time. The microphone and
// the other parties arrive as separate streams, in fragments of their own
// sizes and timing, and each side's samples are placed one after another
// as long as they keep the pace of the wall clock.
//
// Each delivery is compared with the clock: its lag is how long after its
// place on the timeline it arrived. Ordinary deliveries lag by a few
// milliseconds. A larger lag is a break: either the side arrives late but
// whole (the whole process was held up and the server kept the audio, which
// now comes in a burst), or audio is missing (the server dropped what it
// could not keep, a device was suspended, a stream was replaced). The
// deliveries after a break are watched, not yet paired, until the side is
// back to its ordinary pace; their lowest lag then tells which case it was.
// Late but whole: nothing changes. Missing: that much silence goes in,
// ending where the side came back (what a server keeps for a stalled
// reader is the oldest audio, what follows it the newest), counted as lost. So the two sides stay
// in step with each other and with the clock, and nothing is ever repeated or reordered.
//
// A side that delivers nothing while the other goes on (a suspended
// device), or that has no stream at all (the sound server went away), is
// filled with silence as time goes by, counted as lost. Losses are counted
// as the time during which either side was missing: two sides lost at the
// same moment count once, at different moments they add up.

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "CaptureFormat.h"

namespace recmon {

enum class TSide { Mic = 0, Others = 1 };

// Positions are frames on the shared timeline (48 kHz since the first audio).
using TFramePos = std::int64_t;

struct TPairingTuning {
  // A delivery this much later than its place may follow a break.
  TFramePos BreakLag = kSampleRate / 25;  // 40 ms
  // A running stream whose deliveries stay this much later than before has
  // lost audio, unless the server's timing says it still holds that audio
  // (it may hand a backlog over at the pace of the clock, for good); less is
  // the server delivering late (PipeWire on a loaded machine).
  TFramePos LossLag = kSampleRate / 4;  // 250 ms
  // A new stream is placed at the side's usual lag unless it is within this.
  TFramePos Tolerance = kSampleRate / 200;  // 5 ms
  // A running side is watched after a break for at least Watch, until its
  // lowest lag has held for Quiet, and for at most Longest; a new stream
  // (a recording's start, another source, the server back) longer, as its
  // place depends on it alone.
  TFramePos Watch = kSampleRate * 3 / 20;      // 150 ms
  TFramePos Quiet = kSampleRate / 12;          // 80 ms
  TFramePos Longest = kSampleRate;             // 1 s
  TFramePos FreshWatch = kSampleRate * 2 / 5;  // 400 ms
  TFramePos FreshQuiet = kSampleRate / 5;      // 200 ms
  // Breaks of both sides that begin this close together have one cause.
  TFramePos Joint = kSampleRate / 5;  // 200 ms
  // A side that has delivered nothing for this long while the other goes on
  // is silent (a suspended device; PipeWire on a loaded machine holds a
  // stream back for a few hundred ms now and then); it is filled up to
  // Margin behind the other.
  TFramePos Silent = kSampleRate;           // 1 s
  TFramePos Margin = kSampleRate * 3 / 50;  // 60 ms
};

class TSidePairer final {
 public:
  using TEmit = std::function<void(std::span<const TStereoFrame>)>;

  // Without the other side, the right channel stays silent and only the
  // microphone sets the pace. `emit` receives each run of paired frames.
  TSidePairer(bool withOthers, TEmit emit, TPairingTuning tuning = {});

  // A side's samples (one channel) arrived when the wall clock stood at `now`;
  // `age`, when the server could tell, is how long before `now` the last of
  // them was captured (the audio it still holds for us included).
  void Deliver(TSide side, std::span<const float> samples, TFramePos now,
               std::optional<TFramePos> age = std::nullopt);
  // The server reported `frames` of a side as missing: silence, counted as lost.
  void Hole(TSide side, TFramePos frames, TFramePos now);
  // A new stream begins for the side (another source, or after the server
  // came back): its first samples are placed by the clock, not after the last.
  void Restart(TSide side);
  // The side has no stream for now: it is filled with silence as time goes by.
  void SetAbsent(TSide side, bool absent);
  // Called regularly with the clock: fills absent and silent sides, ends
  // watches that no delivery ended, and pairs what is ready.
  void Tick(TFramePos now);
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
  // Emitted frames in which either side was missing: silence put in for
  // audio the server did not deliver.
  std::uint64_t LostFrames() const { return LostUnion_; }
  // A side's own count of silence put in for missing audio, emitted or not.
  std::uint64_t LostFrames(TSide side) const { return Sides_[Index(side)].LostTotal; }
  // Samples a side delivered ahead of the clock, which could not be placed.
  std::uint64_t TrimmedFrames(TSide side) const { return Sides_[Index(side)].Trimmed; }

 private:
  struct TSpan {
    TFramePos Begin = 0;
    TFramePos End = 0;
  };
  struct TDelivery {
    TFramePos Start = 0;
    TFramePos Lag = 0;
  };
  // How far a delivery's place on the timeline is from where the server's
  // own timing puts its audio: constant while nothing is lost.
  using TExcess = std::optional<TFramePos>;
  // The deliveries since a break, not yet paired.
  struct TWatch {
    TFramePos Start = 0;  // timeline position of the first watched sample
    TFramePos Began = 0;  // clock when the watch began
    TFramePos MinLag = std::numeric_limits<TFramePos>::max();
    TFramePos MinAt = 0;  // clock when MinLag was last lowered
    std::vector<TDelivery> Deliveries;
    bool Fresh = false;    // a new stream: its audio starts where the watch began
    TExcess ExcessBefore;  // the last before the break
    TExcess MinExcess;     // the lowest since
  };
  // A side's samples waiting to be paired: appended at the end, taken from
  // the front, and now and then silence put in or samples taken out between.
  class TPending {
   public:
    std::size_t Size() const { return Data_.size() - Head_; }
    const float* Data() const { return Data_.data() + Head_; }
    void Append(std::span<const float> samples) {
      Data_.insert(Data_.end(), samples.begin(), samples.end());
    }
    void AppendZeros(std::size_t n) { Data_.resize(Data_.size() + n, 0.0F); }
    void InsertZeros(std::size_t at, std::size_t n) {
      Data_.insert(Data_.begin() + static_cast<std::ptrdiff_t>(Head_ + at), n, 0.0F);
    }
    void Erase(std::size_t at, std::size_t n) {
      const auto first = Data_.begin() + static_cast<std::ptrdiff_t>(Head_ + at);
      Data_.erase(first, first + static_cast<std::ptrdiff_t>(n));
    }
    void PopFront(std::size_t n);
    void Clear() {
      Data_.clear();
      Head_ = 0;
    }

   private:
    std::vector<float> Data_;
    std::size_t Head_ = 0;
  };
  struct TSideState {
    TPending Pending;  // placed but not yet emitted: [Emitted_, Placed)
    TFramePos Placed = 0;
    std::optional<TFramePos> FirstAudio;  // where its first delivered sample went
    TFramePos LastArrival = std::numeric_limits<TFramePos>::min() / 2;
    bool Absent = false;
    bool Fresh = true;  // the next delivery starts a watch
    // The side's ordinary lag, once known: deliveries jitter around it (a
    // server may hand over two fragments at once), and breaks are measured
    // from it, so that each side keeps its place against the other.
    std::optional<TFramePos> Baseline;
    std::optional<TWatch> Watch;
    std::vector<TSpan> Lost;  // silence put in, not yet emitted; sorted
    std::uint64_t LostTotal = 0;
    std::uint64_t Trimmed = 0;
    TExcess LastExcess;
  };

  static std::size_t Index(TSide side) { return static_cast<std::size_t>(side); }
  bool Enabled(std::size_t i) const { return i == 0 || WithOthers_; }
  void Append(TSideState& s, std::span<const float> samples);
  void PadTo(TSideState& s, TFramePos position, bool counted);
  void InsertSilence(TSideState& s, TFramePos at, TFramePos length, bool counted);
  void Remove(TSideState& s, TFramePos at, TFramePos length);
  void AddLost(TSideState& s, TFramePos begin, TFramePos end);
  bool WatchDone(const TWatch& w, TFramePos now) const;
  TFramePos Deviation(const TSideState& s) const;
  void Settle(TFramePos now);
  void EndWatch(TSideState& s, std::optional<TFramePos> common);
  void PadSilent(TFramePos now);
  TFramePos Settled(const TSideState& s) const;
  void EmitReady();
  void EmitUpTo(TFramePos upTo);
  void CountLost(TFramePos from, TFramePos to);

  bool WithOthers_;
  TEmit Emit_;
  TPairingTuning Tuning_;
  std::array<TSideState, 2> Sides_;
  TFramePos Emitted_ = 0;
  TFramePos Limit_ = std::numeric_limits<TFramePos>::max();
  std::uint64_t LostUnion_ = 0;
  std::vector<TStereoFrame> Scratch_;
};

}  // namespace recmon
