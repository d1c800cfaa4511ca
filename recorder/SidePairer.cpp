#include "SidePairer.h"

#include <algorithm>

namespace recmon {

TSidePairer::TSidePairer(bool withOthers, TEmit emit, TPairingTolerance tolerance)
    : WithOthers_(withOthers), Emit_(std::move(emit)), Tolerance_(tolerance) {}

void TSidePairer::PadTo(TSideState& s, TFramePos position) {
  if (position <= s.Placed) {
    return;
  }
  s.Pending.insert(s.Pending.end(), static_cast<std::size_t>(position - s.Placed), 0.0F);
  s.Lost += static_cast<std::uint64_t>(position - s.Placed);
  s.Placed = position;
}

void TSidePairer::Deliver(TSide side, std::span<const float> samples, TFramePos now) {
  if (side == TSide::Others && !WithOthers_) {
    return;
  }
  TSideState& s = Sides_[Index(side)];
  TSideState& other = Sides_[1 - Index(side)];
  const auto count = static_cast<TFramePos>(samples.size());
  if (s.Placed + count > now + Tolerance_.Window) {
    // Ahead of the clock: keep only the newest samples, ending a usual delay before now.
    const TFramePos keep = std::clamp<TFramePos>(now - Tolerance_.Nominal - s.Placed, 0, count);
    s.Lost += static_cast<std::uint64_t>(count - keep);
    samples = samples.last(static_cast<std::size_t>(keep));
  } else if (WithOthers_ && s.Stalled) {
    // Back after a stall: these samples are as recent as the other side's.
    PadTo(s, other.Placed - count);
  }
  s.Stalled = false;
  s.Pending.insert(s.Pending.end(), samples.begin(), samples.end());
  s.Placed += static_cast<TFramePos>(samples.size());
  if (WithOthers_ && other.Placed < s.Placed - Tolerance_.Window) {
    // The other side delivers nothing; its silence is filled as time goes by.
    PadTo(other, s.Placed - Tolerance_.Nominal);
    other.Stalled = true;
  }
  EmitReady(WithOthers_ ? std::min(Sides_[0].Placed, Sides_[1].Placed) : Sides_[0].Placed);
}

void TSidePairer::Hole(TSide side, TFramePos frames) {
  if (side == TSide::Others && !WithOthers_) {
    return;
  }
  TSideState& s = Sides_[Index(side)];
  PadTo(s, s.Placed + frames);
}

void TSidePairer::Limit(TFramePos end) {
  Limit_ = std::min(Limit_, std::max(end, Emitted_));
}

void TSidePairer::Finish(TFramePos end) {
  end = std::max(std::min(end, Limit_), Emitted_);
  for (std::size_t i = 0; i < (WithOthers_ ? 2U : 1U); ++i) {
    PadTo(Sides_[i], end);
  }
  EmitReady(end);
  for (TSideState& s : Sides_) {
    s.Pending.clear();
    s.Placed = Emitted_;
  }
}

void TSidePairer::EmitReady(TFramePos upTo) {
  upTo = std::min(upTo, Limit_);
  if (upTo <= Emitted_) {
    return;
  }
  const auto count = static_cast<std::size_t>(upTo - Emitted_);
  Scratch_.resize(count);
  std::vector<float>& mic = Sides_[0].Pending;
  std::vector<float>& others = Sides_[1].Pending;
  for (std::size_t i = 0; i < count; ++i) {
    Scratch_[i] = {mic[i], WithOthers_ ? others[i] : 0.0F};
  }
  mic.erase(mic.begin(), mic.begin() + static_cast<std::ptrdiff_t>(count));
  if (WithOthers_) {
    others.erase(others.begin(), others.begin() + static_cast<std::ptrdiff_t>(count));
  }
  Emitted_ = upTo;
  Emit_(Scratch_);
}

}  // namespace recmon
