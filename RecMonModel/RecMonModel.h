#pragma once

// The monitor: the latest valid copy of the status record, the window's own
// flags, and the refresh cycle that turns them into what the window shows.
// It touches the window only through the display surface and the machine only
// through the platform, so it runs and is tested without either.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "DisplaySurface.h"
#include "ExtendedArith.h"
#include "Platform.h"
#include "RecordingDefs.h"
#include "StatusSource.h"

namespace recmon {

// Rows kept below the upper area while the detail panel is hidden.
inline constexpr std::int32_t CollapsedPanelMargin = 6;

// Recording must have been off, and the window open, for longer than this
// (a span in days; equal does not count) before the window closes itself.
inline constexpr Extended SelfCloseAfterDays = 10.0L / 86400.0L;

// A recording whose record and writer presence have not moved for longer
// than this, by the monitor's own tick counter, is taken for stuck and graded
// "Poor". Recorders publish five times a second, and a writer with nothing
// new moves its presence's beat every second, so a live one never comes near.
inline constexpr std::chrono::milliseconds NoUpdateAfter{5000};

class TRecMonModel final {
 public:
  // Both must outlive the model.
  TRecMonModel(IDisplaySurface& surface, IRecMonPlatform& platform);

  // --- Monitor state. Copies change only with a valid snapshot. ---
  std::unique_ptr<IStatusSource> Channel;
  std::string FileName;
  std::uint32_t BytesRecorded = 0;
  bool Recording = false;
  double StartTime = 0;
  double LastUpdateTime = 0;
  std::int32_t BufferSize = 0;
  std::int32_t BufferFree = 0;
  double Elapsed = 0;  // days since StartTime, frozen while not recording
  bool Valid = false;  // whether the latest snapshot that could be read was valid
  std::uint32_t BytesDropped = 0;
  std::int32_t SecondsDropped = 0;
  std::uint32_t BytesDropped1 = 0;
  std::uint32_t BytesDropped2 = 0;
  bool Advanced = false;        // detail panel shown
  bool Pinned = false;          // window kept open
  std::int32_t FullHeight = 0;  // outer height with the detail panel shown
  bool PlacementPending = false;
  std::int32_t PlacedLeft = 0;
  std::int32_t PlacedTop = 0;
  double CreatedAt = 0;
  double LastRecordingSeen = 0;
  std::int32_t BufferPercent = 0;
  double MyLevelBias = 0;
  double TheirLevelBias = 0;
  double MyLevel = 0;
  double TheirLevel = 0;
  std::int32_t MeterHeight = 0;  // height of both bars, taken when the window is shown
  std::uint32_t TheirLastSoundTick = 0;
  std::int32_t TheirRecordMode = 0;

  // --- What is known of the recorder beyond its record. ---
  // The writer presence found with the latest snapshot.
  TWriterPresence::TState Writer = TWriterPresence::TState::Unknown;
  // Tick of the latest refresh at which the record or the presence's beat
  // had moved (or at which watching began).
  std::uint32_t LastUpdateSeen = 0;

  // What the window does once at creation, before the first refresh: the
  // self-close clock and the watch for updates start now, the window's
  // present outer height is its full (expanded) height, and the first
  // placement is still to come.
  void Start();

  // One full refresh. Errors of the snapshot and the meters are swallowed;
  // any other step's error ends the cycle and reaches the caller.
  void RefreshDisplay();

  // The fourteen steps, in the order RefreshDisplay runs them. The first two
  // swallow their own errors: a record that cannot be read or a level that
  // cannot be drawn must not stop the rest of the refresh.
  void ReadSnapshot() noexcept;
  void UpdateMeters() noexcept;
  void UpdateRecordingCaption();
  void UpdateFileHint();
  void UpdateFileSize();
  void UpdateTimeElapsed();
  void UpdateTimeRecorded();
  void UpdateSecondsDropped();
  void UpdateSecondsBehind();
  void UpdateBufferPercent();
  void UpdateToggleIcons();
  void UpdateDetailPanel();
  void UpdateHealth();
  void CheckSelfClose();

  // Whether the window shows a recording in progress: the record says so and
  // its writer has not ended without clearing it.
  bool RecordingShown() const;
  // Whole seconds for which nothing has moved while recording, once that is
  // longer than NoUpdateAfter; nothing otherwise.
  std::optional<std::int64_t> SecondsWithoutUpdate();

  // Bottom-right of the work area, unless the user has moved the window.
  void PlaceWindow();
  // The desktop's frame around the client area changed from `before` to
  // `after` (a window manager that tells it only once the window is mapped,
  // a new theme), and the surface already measures the window with `after`.
  // The client area stayed put, so the outer measures changed under the
  // monitor: the full height follows, and an unmoved window's placed position
  // is carried over so that it is not taken for one the user moved.
  void FrameChanged(const TFrame& before, const TFrame& after);
  // Sets up the bars when the window is shown.
  void InitMeters();

  // Clicks on the four icons and the "File" link.
  void imgAdvancedClick();
  void imgHideAdvancedClick();
  void imgPinOutClick();
  void imgPinInClick();
  void lblFileClick();

 private:
  void TakeSnapshot(const TRecMonSnapshot& s);
  void WatchForUpdates(std::span<const std::uint8_t> record, const TWriterPresence& presence);

  // What the latest snapshot read, to see whether the next one moved.
  TRecMonStatusBytes LastRecord_{};
  std::uint32_t LastBeat_ = 0;
  std::uint32_t LastRefreshTick_ = 0;

  IDisplaySurface& Surface_;
  IRecMonPlatform& Platform_;
  std::string TimeSeparator_;
};

}  // namespace recmon
