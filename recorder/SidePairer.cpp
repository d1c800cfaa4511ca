#include "SidePairer.h"

#include <algorithm>
#include <cstdlib>

namespace recmon {

namespace {

// A lowest lag lowered by less than this does not extend a watch: jitter.
constexpr TFramePos kLower = kSampleRate / 1000;

}  // namespace

void TSidePairer::TPending::PopFront(std::size_t n) {
  Head_ += n;
  // What was taken is dropped now and then, not at every take; and after a
  // long burst the memory it took goes back.
  if (Head_ >= kSampleRate && Head_ * 2 >= Data_.size()) {
    Data_.erase(Data_.begin(), Data_.begin() + static_cast<std::ptrdiff_t>(Head_));
    Head_ = 0;
    if (Data_.capacity() > 4 * static_cast<std::size_t>(kSampleRate) &&
        Data_.capacity() > 4 * Data_.size()) {
      Data_.shrink_to_fit();
    }
  }
}

TSidePairer::TSidePairer(bool withOthers, TEmit emit, TPairingTuning tuning)
    : WithOthers_(withOthers), Emit_(std::move(emit)), Tuning_(tuning) {
  for (TSideState& s : Sides_) {
    s.LastArrival = 0;
  }
}

void TSidePairer::Append(TSideState& s, std::span<const float> samples) {
  s.Pending.Append(samples);
  s.Placed += static_cast<TFramePos>(samples.size());
}

void TSidePairer::PadTo(TSideState& s, TFramePos position, bool counted) {
  if (position <= s.Placed) {
    return;
  }
  s.Pending.AppendZeros(static_cast<std::size_t>(position - s.Placed));
  if (counted) {
    AddLost(s, s.Placed, position);
  }
  s.Placed = position;
}

void TSidePairer::AddLost(TSideState& s, TFramePos begin, TFramePos end) {
  s.LostTotal += static_cast<std::uint64_t>(end - begin);
  auto it = std::lower_bound(s.Lost.begin(), s.Lost.end(), begin,
                             [](const TSpan& span, TFramePos at) { return span.End < at; });
  // Merge with every span it touches.
  while (it != s.Lost.end() && it->Begin <= end) {
    begin = std::min(begin, it->Begin);
    end = std::max(end, it->End);
    it = s.Lost.erase(it);
  }
  s.Lost.insert(it, {begin, end});
}

void TSidePairer::InsertSilence(TSideState& s, TFramePos at, TFramePos length, bool counted) {
  s.Pending.InsertZeros(static_cast<std::size_t>(at - Emitted_), static_cast<std::size_t>(length));
  for (TSpan& span : s.Lost) {
    if (span.Begin >= at) {
      span.Begin += length;
      span.End += length;
    } else if (span.End > at) {
      span.End += length;
    }
  }
  s.Placed += length;
  if (counted) {
    AddLost(s, at, at + length);
  }
}

void TSidePairer::Remove(TSideState& s, TFramePos at, TFramePos length) {
  if (length <= 0) {
    return;
  }
  s.Pending.Erase(static_cast<std::size_t>(at - Emitted_), static_cast<std::size_t>(length));
  std::vector<TSpan> kept;
  for (TSpan span : s.Lost) {
    const auto shift = [&](TFramePos p) {
      return p <= at ? p : p >= at + length ? p - length : at;
    };
    span = {shift(span.Begin), shift(span.End)};
    if (span.End > span.Begin) {
      kept.push_back(span);
    }
  }
  s.Lost = std::move(kept);
  s.Placed -= length;
  s.Trimmed += static_cast<std::uint64_t>(length);
}

void TSidePairer::Deliver(TSide side, std::span<const float> samples, TFramePos now,
                          std::optional<TFramePos> age) {
  const std::size_t i = Index(side);
  if (!Enabled(i)) {
    return;
  }
  TSideState& s = Sides_[i];
  s.LastArrival = now;
  if (samples.empty()) {
    return;
  }
  const auto n = static_cast<TFramePos>(samples.size());
  const TFramePos lag = now - (s.Placed + n);
  const TExcess excess = age ? TExcess(lag - *age) : std::nullopt;
  const TFramePos usual = s.Baseline.value_or(0);
  if (!s.Watch && (s.Fresh || lag - usual > Tuning_.BreakLag)) {
    s.Watch =
        TWatch{s.Placed,     now,         std::numeric_limits<TFramePos>::max(), now, {}, s.Fresh,
               s.LastExcess, std::nullopt};
    s.Fresh = false;
  }
  if (s.Watch) {
    TWatch& w = *s.Watch;
    w.Deliveries.push_back({s.Placed, lag});
    if (excess && (!w.MinExcess || *excess < *w.MinExcess)) {
      w.MinExcess = excess;
    }
    if (lag < w.MinLag - kLower) {
      w.MinAt = now;
    }
    w.MinLag = std::min(w.MinLag, lag);
    Append(s, samples);
    Settle(now);
  } else if (lag - usual < -Tuning_.LossLag) {
    // Far ahead of the clock (an idle output renders ahead of time): only
    // the newest samples, ending now, can be placed.
    const TFramePos keep = std::clamp<TFramePos>(n + lag - usual, 0, n);
    s.Trimmed += static_cast<std::uint64_t>(n - keep);
    Append(s, samples.last(static_cast<std::size_t>(keep)));
  } else {
    if (lag < usual) {
      s.Baseline = lag;  // delivered sooner than ever: the side's true delay is lower
    }
    if (excess) {
      s.LastExcess = excess;
    }
    Append(s, samples);
  }
  EmitReady();
}

void TSidePairer::Hole(TSide side, TFramePos frames, TFramePos now) {
  const std::size_t i = Index(side);
  if (!Enabled(i) || frames <= 0) {
    return;
  }
  TSideState& s = Sides_[i];
  s.LastArrival = now;
  PadTo(s, s.Placed + frames, true);
  EmitReady();
}

void TSidePairer::Restart(TSide side) {
  const std::size_t i = Index(side);
  if (!Enabled(i)) {
    return;
  }
  TSideState& s = Sides_[i];
  if (s.Watch) {
    EndWatch(s, std::nullopt);
  }
  s.Fresh = true;
}

void TSidePairer::SetAbsent(TSide side, bool absent) {
  const std::size_t i = Index(side);
  if (!Enabled(i)) {
    return;
  }
  TSideState& s = Sides_[i];
  if (absent && s.Watch) {
    EndWatch(s, std::nullopt);
  }
  s.Absent = absent;
  s.Fresh = true;
}

bool TSidePairer::WatchDone(const TWatch& w, TFramePos now) const {
  const TFramePos watched = now - w.Began;
  const TFramePos least = w.Fresh ? Tuning_.FreshWatch : Tuning_.Watch;
  const TFramePos quiet = w.Fresh ? Tuning_.FreshQuiet : Tuning_.Quiet;
  return (watched >= least && now - w.MinAt >= quiet) || watched >= 2 * Tuning_.Longest ||
         (!w.Fresh && watched >= Tuning_.Longest);
}

TFramePos TSidePairer::Deviation(const TSideState& s) const {
  return s.Watch->MinLag - s.Baseline.value_or(0);
}

void TSidePairer::Settle(TFramePos now) {
  for (std::size_t i = 0; i < Sides_.size(); ++i) {
    TSideState& s = Sides_[i];
    if (!Enabled(i) || !s.Watch || !WatchDone(*s.Watch, now)) {
      continue;
    }
    TSideState& other = Sides_[1 - i];
    const bool joint = !s.Watch->Fresh && WithOthers_ && other.Watch && !other.Watch->Fresh &&
                       std::abs(other.Watch->Began - s.Watch->Began) <= Tuning_.Joint;
    if (!joint) {
      EndWatch(s, std::nullopt);
      continue;
    }
    // Both sides were held up together: wait for the other, then tell what
    // changed for both (the server's own delay) from what one side lost.
    if (!WatchDone(*other.Watch, now) && now - s.Watch->Began < Tuning_.Longest) {
      continue;
    }
    const TFramePos least = std::min(Deviation(s), Deviation(other));
    const TFramePos common = least <= Tuning_.LossLag ? least : 0;
    EndWatch(s, common);
    EndWatch(other, common);
  }
}

void TSidePairer::EndWatch(TSideState& s, std::optional<TFramePos> common) {
  const TFramePos deviation = Deviation(s);
  const TWatch w = std::move(*s.Watch);
  s.Watch.reset();
  if (w.Deliveries.empty()) {
    return;
  }
  // Silence ahead of a side's first audio is the side starting a little
  // later than the other, not audio lost.
  const bool counted = s.FirstAudio.has_value();
  if (!s.FirstAudio) {
    s.FirstAudio = w.Start;
  }
  if (w.Fresh) {
    // A new stream goes where the server's timing says its audio was
    // captured, as the side's audio before it did (or at the clock, for a
    // side not placed before): two streams of one server may deliver with
    // delays of their own (PipeWire gives each its own quantum, again after
    // a restart), and placed by arrival the sides would stand that far
    // apart. Without that timing it goes where its lag says, at the side's
    // usual lag.
    // The server's timing is trusted where it is plausible: audio at most
    // a second old, never from the future (PipeWire now and then reports
    // a stream's latency far off just after it connects).
    const auto plausible = [this](TFramePos lag, TFramePos excess) {
      return lag - excess >= -Tuning_.Tolerance && lag - excess <= kSampleRate;
    };
    const bool byCapture =
        w.MinExcess && plausible(w.MinLag, *w.MinExcess) &&
        (s.Baseline ? s.LastExcess && plausible(*s.Baseline, *s.LastExcess) : true);
    TFramePos shift = byCapture ? *w.MinExcess - s.LastExcess.value_or(0) : deviation;
    if (std::abs(shift) <= Tuning_.Tolerance) {
      shift = 0;
    } else if (shift > 0) {
      InsertSilence(s, w.Start, shift, counted);
    } else {
      // It delivered older audio first.
      shift = -std::min(-shift, s.Placed - w.Start);
      Remove(s, w.Start, -shift);
    }
    s.Baseline = w.MinLag - shift;
    if (byCapture) {
      s.LastExcess = *w.MinExcess - shift;
    }
    return;
  }
  // A running stream after a break. Part of its new lag may be the server
  // delivering later than before (seen on both sides at once, or too small
  // for lost audio); the rest is audio lost.
  TFramePos delay = common ? *common : deviation <= Tuning_.LossLag ? deviation : 0;
  if (w.ExcessBefore && w.MinExcess && *w.MinExcess - *w.ExcessBefore < Tuning_.LossLag) {
    // The server's timing says its audio is where it was: it is handing
    // over what it held, at the pace of the clock.
    delay = deviation;
  }
  const TFramePos lost = deviation - delay;
  s.Baseline = w.MinLag - lost;
  if (lost <= Tuning_.LossLag) {
    return;  // late but whole
  }
  // The audio after the break is as recent as the moment the side came back
  // (the watch's beginning): the server kept what it could from before the
  // break and dropped what followed, or the device was silent. The missing
  // stretch ends where that audio lies on the timeline.
  const TFramePos resumed = w.Began - w.MinLag;
  TFramePos at = w.Start;
  TFramePos best = std::numeric_limits<TFramePos>::max();
  for (const TDelivery& d : w.Deliveries) {
    if (std::abs(d.Start - resumed) < best) {
      best = std::abs(d.Start - resumed);
      at = d.Start;
    }
  }
  InsertSilence(s, at, lost, counted);
}

void TSidePairer::Tick(TFramePos now) {
  for (std::size_t i = 0; i < Sides_.size(); ++i) {
    TSideState& s = Sides_[i];
    if (!Enabled(i)) {
      continue;
    }
    if (s.Absent) {
      PadTo(s, now - Tuning_.Margin, true);
    }
  }
  Settle(now);
  PadSilent(now);
  EmitReady();
}

void TSidePairer::PadSilent(TFramePos now) {
  if (!WithOthers_) {
    return;
  }
  for (std::size_t i = 0; i < 2; ++i) {
    TSideState& s = Sides_[i];
    const TSideState& other = Sides_[1 - i];
    if (s.Absent || s.Watch || other.Absent || other.Watch) {
      continue;
    }
    // Only against a side that keeps delivering: when both stop, the server
    // stopped, and what it sends afterwards tells what happened.
    if (now - s.LastArrival >= Tuning_.Silent && now - other.LastArrival < Tuning_.Silent &&
        other.Placed - Tuning_.Margin > s.Placed) {
      PadTo(s, other.Placed - Tuning_.Margin, true);
      s.Fresh = true;
    }
  }
}

TFramePos TSidePairer::Settled(const TSideState& s) const {
  return s.Watch ? s.Watch->Start : s.Placed;
}

void TSidePairer::Limit(TFramePos end) {
  Limit_ = std::min(Limit_, std::max(end, Emitted_));
}

void TSidePairer::Finish(TFramePos end) {
  end = std::max(std::min(end, Limit_), Emitted_);
  for (std::size_t i = 0; i < Sides_.size(); ++i) {
    TSideState& s = Sides_[i];
    if (!Enabled(i)) {
      continue;
    }
    if (s.Watch) {
      EndWatch(s, std::nullopt);
    }
    PadTo(s, end, true);
  }
  EmitUpTo(end);
  for (TSideState& s : Sides_) {
    s.Pending.Clear();
    s.Lost.clear();
    s.Placed = Emitted_;
  }
}

void TSidePairer::EmitReady() {
  TFramePos upTo = Limit_;
  for (std::size_t i = 0; i < Sides_.size(); ++i) {
    if (Enabled(i)) {
      upTo = std::min(upTo, Settled(Sides_[i]));
    }
  }
  EmitUpTo(upTo);
}

void TSidePairer::CountLost(TFramePos from, TFramePos to) {
  // The union of both sides' silence within [from, to).
  std::vector<TSpan> spans;
  for (std::size_t i = 0; i < Sides_.size(); ++i) {
    if (!Enabled(i)) {
      continue;
    }
    std::vector<TSpan>& lost = Sides_[i].Lost;
    for (const TSpan& span : lost) {
      if (span.Begin >= to) {
        break;
      }
      spans.push_back({std::max(span.Begin, from), std::min(span.End, to)});
    }
    std::erase_if(lost, [&](const TSpan& span) { return span.End <= to; });
    if (!lost.empty() && lost.front().Begin < to) {
      lost.front().Begin = to;
    }
  }
  std::sort(spans.begin(), spans.end(),
            [](const TSpan& a, const TSpan& b) { return a.Begin < b.Begin; });
  TFramePos reached = from;
  for (const TSpan& span : spans) {
    const TFramePos begin = std::max(span.Begin, reached);
    if (span.End > begin) {
      LostUnion_ += static_cast<std::uint64_t>(span.End - begin);
      reached = span.End;
    }
  }
}

void TSidePairer::EmitUpTo(TFramePos upTo) {
  upTo = std::min(upTo, Limit_);
  if (upTo <= Emitted_) {
    return;
  }
  CountLost(Emitted_, upTo);
  const auto count = static_cast<std::size_t>(upTo - Emitted_);
  Scratch_.resize(count);
  const float* mic = Sides_[0].Pending.Data();
  const float* others = WithOthers_ ? Sides_[1].Pending.Data() : nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    Scratch_[i] = {mic[i], others != nullptr ? others[i] : 0.0F};
  }
  Sides_[0].Pending.PopFront(count);
  if (WithOthers_) {
    Sides_[1].Pending.PopFront(count);
  }
  Emitted_ = upTo;
  Emit_(Scratch_);
}

}  // namespace recmon
