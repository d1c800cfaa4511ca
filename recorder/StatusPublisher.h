#pragma once

// What the recorder publishes for the monitor, and how. Publishing runs on
// its own thread (the main one), never on the capture or writer thread, by
// the package's publishing rules (Publishing.h): a publish that cannot take
// the lock at once is skipped, never waited for, and the last record is
// tried again for a while.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Levels.h"
#include "Publishing.h"
#include "RecordingDefs.h"

namespace recmon {

class TRecMonWriter;

// The recorder's state at one moment, in its own units.
struct TRecordingFigures {
  std::string FileName;  // absolute
  bool Recording = false;
  double StartTime = 0;               // date-time of the timeline's origin
  std::uint64_t FramesWritten = 0;    // frames in the file ...
  double WrittenAt = 0;               // ... at this date-time
  std::size_t BufferCapacity = 0;     // frames
  std::size_t BufferFill = 0;         // frames
  std::uint64_t DroppedByWriter = 0;  // frames refused by the full buffer
  std::uint64_t LostAtServer = 0;     // frames missing or mistimed at the sound server
  double MyLevel = 0;
  double MyLevelBias = 0;
  double TheirLevel = 0;
  double TheirLevelBias = 0;
  std::uint32_t TheirLastSoundTick = 0;
  bool WithOthers = true;
};

// The record for those figures: BytesRecorded and the drop counters in
// 95232-per-second bytes, BytesDropped1 the frames the writer fell behind
// on, BytesDropped2 those lost at the sound server (the package's meanings,
// RecordingDefs.h), BytesDropped their sum; the buffer in frames.
TRecMonSnapshot SnapshotOf(const TRecordingFigures& figures);

class IStatusPublisher {
 public:
  virtual ~IStatusPublisher() = default;
  // False when the record could not be written now; the caller goes on.
  virtual bool Publish(const TRecMonSnapshot& status) = 0;
};

// Publishes through the channel's writer API.
class TChannelPublisher final : public IStatusPublisher {
 public:
  // Attaches and takes the monitor's record; raises std::runtime_error when
  // the channel is unavailable, TRecordOwnedElsewhere ("another recorder
  // owns the monitor's record") when another recorder publishes it.
  TChannelPublisher();
  ~TChannelPublisher() override;
  bool Publish(const TRecMonSnapshot& status) override;

 private:
  std::unique_ptr<TRecMonWriter> Writer_;
};

// Counts publishes and those skipped, and keeps a meter's bias per side.
class TStatusPublishing final {
 public:
  // Without a publisher nothing is published or counted.
  explicit TStatusPublishing(IStatusPublisher* publisher);

  // Publishes once; a skipped or failed publish is only counted.
  void Publish(const TRecordingFigures& figures);
  // The last record of a recording: tried again until it gets through or
  // `bound` has passed, as the monitor's self-close depends on seeing
  // Recording cleared. True without a publisher.
  bool PublishFinal(const TRecordingFigures& figures,
                    std::chrono::milliseconds bound = FinalPublishBound);

  std::uint64_t Published() const { return Publishing_ ? Publishing_->Published() : 0; }
  std::uint64_t Skipped() const { return Publishing_ ? Publishing_->Skipped() : 0; }

 private:
  std::optional<TPublishing> Publishing_;
};

// The two sides' level and bias for one publishing window.
class TMeters final {
 public:
  struct TReading {
    double Level = 0;
    double Bias = 0;
  };
  // From each side's RMS over the window.
  TReading Mine(double rms) { return Read(rms, MyFloor_); }
  TReading Theirs(double rms) { return Read(rms, TheirFloor_); }

 private:
  static TReading Read(double rms, TNoiseFloor& floor);
  TNoiseFloor MyFloor_;
  TNoiseFloor TheirFloor_;
};

}  // namespace recmon
