#include "StatusPublisher.h"

#include <exception>

#include "CaptureFormat.h"
#include "RecMonWriter.h"

namespace recmon {

TRecMonSnapshot SnapshotOf(const TRecordingFigures& f) {
  TRecMonSnapshot s;
  s.FileName = f.FileName;
  s.Recording = f.Recording;
  s.StartTime = f.StartTime;
  s.BytesRecorded = AudioBytesFromFrames(f.FramesWritten);
  s.LastUpdateTime = f.WrittenAt;
  s.BufferSize = static_cast<std::int32_t>(f.BufferCapacity);
  s.BufferFree = static_cast<std::int32_t>(f.BufferCapacity - f.BufferFill);
  SetDropped(s, AudioBytesFromFrames(f.DroppedByWriter), AudioBytesFromFrames(f.LostAtServer));
  s.MyLevel = f.MyLevel;
  s.MyLevelBias = f.MyLevelBias;
  s.TheirLevel = f.TheirLevel;
  s.TheirLevelBias = f.TheirLevelBias;
  s.TheirLastSoundTick = f.TheirLastSoundTick;
  s.TheirRecordMode = f.WithOthers ? TheirRecordModeRecorded : TheirRecordModeNotRecorded;
  return s;
}

TChannelPublisher::TChannelPublisher() : Writer_(std::make_unique<TRecMonWriter>()) {}

TChannelPublisher::~TChannelPublisher() = default;

bool TChannelPublisher::Publish(const TRecMonSnapshot& status) {
  try {
    // Bounded: false when a peer held the lock too long and nothing was written.
    return Writer_->Publish(status);
  } catch (const std::exception&) {
    // A record that a peer broke (shrunk) cannot be written; the recording
    // goes on without it.
    return false;
  }
}

TStatusPublishing::TStatusPublishing(IStatusPublisher* publisher) {
  if (publisher != nullptr) {
    Publishing_.emplace(
        [publisher](const TRecMonSnapshot& status) { return publisher->Publish(status); });
  }
}

void TStatusPublishing::Publish(const TRecordingFigures& figures) {
  if (Publishing_) {
    Publishing_->Publish(SnapshotOf(figures));
  }
}

bool TStatusPublishing::PublishFinal(const TRecordingFigures& figures,
                                     std::chrono::milliseconds bound) {
  return !Publishing_ || Publishing_->PublishFinal(SnapshotOf(figures), bound);
}

TMeters::TReading TMeters::Read(double rms, TNoiseFloor& floor) {
  const double level = MeterLevel(rms);
  return {level, floor.Add(level)};
}

}  // namespace recmon
