#include "StatusPublisher.h"

#include <chrono>
#include <exception>
#include <thread>

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
  s.BytesDropped1 = AudioBytesFromFrames(f.DroppedByWriter);
  s.BytesDropped2 = AudioBytesFromFrames(f.LostAtServer);
  s.BytesDropped = AudioBytesFromFrames(f.DroppedByWriter + f.LostAtServer);
  s.MyLevel = f.MyLevel;
  s.MyLevelBias = f.MyLevelBias;
  s.TheirLevel = f.TheirLevel;
  s.TheirLevelBias = f.TheirLevelBias;
  s.TheirLastSoundTick = f.TheirLastSoundTick;
  s.TheirRecordMode = f.WithOthers ? TheirRecordModeRecorded : 1;
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

void TStatusPublishing::Publish(const TRecordingFigures& figures) {
  if (Publisher_ == nullptr) {
    return;
  }
  if (Publisher_->Publish(SnapshotOf(figures))) {
    ++Published_;
  } else {
    ++Skipped_;
  }
}

bool TStatusPublishing::PublishFinal(const TRecordingFigures& figures, int tries) {
  if (Publisher_ == nullptr) {
    return true;
  }
  for (int i = 0; i < tries; ++i) {
    if (Publisher_->Publish(SnapshotOf(figures))) {
      ++Published_;
      return true;
    }
    ++Skipped_;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TMeters::TReading TMeters::Read(double rms, TNoiseFloor& floor) {
  const double level = MeterLevel(rms);
  return {level, floor.Add(level)};
}

}  // namespace recmon
