#include "RecMonModel.h"

#include <algorithm>

#include "BufferHealth.h"
#include "FileReadouts.h"
#include "LevelMeters.h"
#include "StatusLock.h"
#include "TimeReadouts.h"

namespace recmon {

namespace {

// Milliseconds from `then` to `now` on the wrapping 32-bit tick counter.
std::int32_t TickDifference(std::uint32_t now, std::uint32_t then) {
  return static_cast<std::int32_t>(now - then);
}

}  // namespace

TRecMonModel::TRecMonModel(IDisplaySurface& surface, IRecMonPlatform& platform)
    : Surface_(surface), Platform_(platform), TimeSeparator_(platform.TimeSeparator()) {}

void TRecMonModel::Start() {
  CreatedAt = Platform_.Now();
  LastUpdateSeen = LastRefreshTick_ = Platform_.TickCount();
  FullHeight = Surface_.WindowHeight();
  PlacementPending = true;
}

void TRecMonModel::RefreshDisplay() {
  ReadSnapshot();
  UpdateMeters();
  UpdateRecordingCaption();
  UpdateFileHint();
  UpdateFileSize();
  UpdateTimeElapsed();
  UpdateTimeRecorded();
  UpdateSecondsDropped();
  UpdateSecondsBehind();
  UpdateBufferPercent();
  UpdateToggleIcons();
  UpdateDetailPanel();
  UpdateHealth();
  CheckSelfClose();
}

void TRecMonModel::ReadSnapshot() noexcept {
  // A refresh that comes long after the one before (the machine slept, the
  // monitor was stopped) says nothing about the recorder in between, so the
  // watch for updates starts again from here.
  const std::uint32_t tick = Platform_.TickCount();
  if (TickDifference(tick, LastRefreshTick_) > NoUpdateAfter.count()) {
    LastUpdateSeen = tick;
  }
  LastRefreshTick_ = tick;
  if (!Channel) {
    return;
  }
  // Whatever goes wrong here (no record, a short read, a bad size, a lock
  // held too long) leaves the state as it was; the next tick tries again.
  try {
    const TStatusLock lock(*Channel);
    const auto view = Channel->View();
    if (!view.empty()) {
      const auto snapshot = DecodeStatus(view);
      Valid = snapshot.has_value();
      if (snapshot) {
        TakeSnapshot(*snapshot);
      }
      WatchForUpdates(view, Channel->WriterPresence());
    }
  } catch (...) {
  }
}

void TRecMonModel::WatchForUpdates(std::span<const std::uint8_t> record,
                                   const TWriterPresence& presence) {
  Writer = presence.State;
  // Any change counts, not only LastUpdateTime's: a recorder may publish
  // levels while its count stands still, and a writer with nothing new
  // moves only the beat.
  if (!std::equal(record.begin(), record.end(), LastRecord_.begin(), LastRecord_.end()) ||
      presence.Beat != LastBeat_) {
    LastUpdateSeen = LastRefreshTick_;
    std::copy(record.begin(), record.end(), LastRecord_.begin());
    LastBeat_ = presence.Beat;
  }
}

bool TRecMonModel::RecordingShown() const {
  return Recording && Writer != TWriterPresence::TState::Gone;
}

std::optional<std::int64_t> TRecMonModel::SecondsWithoutUpdate() {
  const std::int32_t quiet = TickDifference(Platform_.TickCount(), LastUpdateSeen);
  if (!Recording || quiet <= NoUpdateAfter.count()) {
    return std::nullopt;
  }
  return quiet / 1000;
}

void TRecMonModel::TakeSnapshot(const TRecMonSnapshot& s) {
  FileName = s.FileName;
  BytesRecorded = s.BytesRecorded;
  Recording = s.Recording;
  StartTime = s.StartTime;
  LastUpdateTime = s.LastUpdateTime;
  BufferSize = s.BufferSize;
  BufferFree = s.BufferFree;
  BytesDropped = s.BytesDropped;
  BytesDropped1 = s.BytesDropped1;
  BytesDropped2 = s.BytesDropped2;
  MyLevelBias = s.MyLevelBias;
  TheirLevelBias = s.TheirLevelBias;
  MyLevel = s.MyLevel;
  TheirLevel = s.TheirLevel;
  TheirLastSoundTick = s.TheirLastSoundTick;
  TheirRecordMode = s.TheirRecordMode;
}

void TRecMonModel::UpdateMeters() noexcept {
  // A garbage level must not stop the refresh: the step stops where it
  // failed, silently, and leaves the rest of what it sets as it was.
  try {
    const std::int32_t h = MeterHeight;
    const std::int32_t me = MeterBarHeight(h, MyLevel, MyLevelBias);
    Surface_.SetTop(TControl::rectMeterMe,
                    WrapSub(WrapAdd(Surface_.Top(TControl::rectMeterMeBackground), h), me));
    Surface_.SetHeight(TControl::rectMeterMe, me);

    Surface_.SetHeight(TControl::rectMeterThem, MeterBarHeight(h, TheirLevel, TheirLevelBias));

    const std::string myHint(MyMeterHint);
    if (Surface_.Hint(TControl::rectMeterMe) != myHint) {
      Surface_.SetHint(TControl::rectMeterMe, myHint);
      Surface_.SetHint(TControl::rectMeterMeBackground, myHint);
    }
    const std::string theirHint =
        TheirMeterHint(TheirRecordMode, Platform_.TickCount(), TheirLastSoundTick);
    if (Surface_.Hint(TControl::rectMeterThem) != theirHint) {
      Surface_.SetHint(TControl::rectMeterThem, theirHint);
      Surface_.SetHint(TControl::rectMeterThemBackground, theirHint);
    }
  } catch (...) {
  }
}

void TRecMonModel::UpdateRecordingCaption() {
  Surface_.SetCaption(TControl::lblRecording, RecordingShown() ? "Recording" : "Not Recording");
}

void TRecMonModel::UpdateFileHint() {
  Surface_.SetHint(TControl::lblFile, FileName);
}

void TRecMonModel::UpdateFileSize() {
  if (FileName.empty()) {
    return;
  }
  if (const auto size = Platform_.FileSize(FileName)) {
    Surface_.SetCaption(TControl::lblSize, FileSizeText(*size));
  }
}

void TRecMonModel::UpdateTimeElapsed() {
  if (!Valid) {
    Surface_.SetCaption(TControl::lblTimeElapsed, std::string(ZeroDurationText));
    return;
  }
  // A recording whose recorder ended is over: its time stands still.
  if (RecordingShown()) {
    Elapsed = StoreAsDouble(Sub(Platform_.Now(), StartTime));
  }
  Surface_.SetCaption(TControl::lblTimeElapsed, FormatDuration(Elapsed, TimeSeparator_));
}

void TRecMonModel::UpdateTimeRecorded() {
  if (!Valid) {
    Surface_.SetCaption(TControl::lblTimeRecorded, std::string(ZeroDurationText));
    return;
  }
  Surface_.SetCaption(TControl::lblTimeRecorded,
                      FormatDuration(AudioSpanDays(BytesRecorded), TimeSeparator_));
}

void TRecMonModel::UpdateSecondsDropped() {
  if (!Valid) {
    Surface_.SetCaption(TControl::lblSecsDropped, "0");
    return;
  }
  SecondsDropped = AudioSeconds(BytesDropped);
  Surface_.SetCaption(TControl::lblSecsDropped,
                      SecondsDroppedText(BytesDropped, BytesDropped1, BytesDropped2));
}

void TRecMonModel::UpdateSecondsBehind() {
  if (!Valid) {
    Surface_.SetCaption(TControl::lblSecondsBehind, "0");
    return;
  }
  if (!RecordingShown()) {
    return;
  }
  Surface_.SetCaption(TControl::lblSecondsBehind,
                      SecondsBehindText(Platform_.Now(), StartTime, LastUpdateTime, BytesRecorded));
}

void TRecMonModel::UpdateBufferPercent() {
  BufferPercent = 0;
  if (!Valid) {
    Surface_.SetCaption(TControl::lblPctBufFull, "0%");
    return;
  }
  if (const auto percent = BufferPercentOf(BufferSize, BufferFree)) {
    BufferPercent = *percent;
    Surface_.SetCaption(TControl::lblPctBufFull, std::to_string(BufferPercent) + "%");
  }
}

void TRecMonModel::UpdateToggleIcons() {
  Surface_.SetVisible(TControl::imgAdvanced, !Advanced);
  Surface_.SetVisible(TControl::imgHideAdvanced, Advanced);
  Surface_.SetVisible(TControl::imgPinIn, Pinned);
  Surface_.SetVisible(TControl::imgPinOut, !Pinned);
}

void TRecMonModel::UpdateDetailPanel() {
  Surface_.SetVisible(TControl::pnlAdvanced, Advanced);
  // The panel keeps its layout height while hidden, so this is the same
  // collapsed height on every refresh.
  Surface_.SetWindowHeight(
      Advanced ? FullHeight
               : WrapAdd(WrapSub(FullHeight, Surface_.Height(TControl::pnlAdvanced)),
                         CollapsedPanelMargin));
  PlaceWindow();
}

void TRecMonModel::UpdateHealth() {
  // A recorder that ended or stopped publishing is worse news than any
  // buffer: whatever its last record said, nothing more is being recorded.
  std::optional<std::string> trouble;
  if (Recording && Writer == TWriterPresence::TState::Gone) {
    trouble = std::string(WriterGoneHint);
  } else if (const auto quiet = SecondsWithoutUpdate()) {
    trouble = NoUpdateHint(*quiet);
  }
  if (trouble) {
    Surface_.SetCaption(TControl::lblHealth, std::string(HealthText(PoorFromPercent)));
    Surface_.SetWindowColor(PoorColor);
    Surface_.SetHint(TControl::lblHealth, *trouble);
    return;
  }
  Surface_.SetCaption(TControl::lblHealth, std::string(HealthText(BufferPercent)));
  Surface_.SetWindowColor(HealthColor(BufferPercent));
  Surface_.SetHint(TControl::lblHealth, HealthHint(BufferPercent));
}

void TRecMonModel::CheckSelfClose() {
  if (Recording) {
    LastRecordingSeen = Platform_.Now();
    return;
  }
  const double now = Platform_.Now();
  // A clock set back (a daylight-saving change, a correction) would otherwise
  // hold the window open for as long as it jumped: the ten seconds count from
  // the jump instead.
  if (now < LastRecordingSeen) {
    LastRecordingSeen = now;
  }
  if (now < CreatedAt) {
    CreatedAt = now;
  }
  if (Sub(now, LastRecordingSeen) > SelfCloseAfterDays &&
      Sub(now, CreatedAt) > SelfCloseAfterDays && !Pinned) {
    Surface_.CloseWindow();
  }
}

void TRecMonModel::PlaceWindow() {
  const bool movedByUser = Surface_.WindowTop() != PlacedTop || Surface_.WindowLeft() != PlacedLeft;
  if (!PlacementPending && movedByUser) {
    return;
  }
  // The work area's true bottom-right corner: desktops here often keep a
  // panel at the top or left edge, which moves the work area's origin.
  const TWorkArea area = Surface_.WorkArea();
  Surface_.SetWindowTop(WrapSub(WrapAdd(area.Top, area.Height), Surface_.WindowHeight()));
  Surface_.SetWindowLeft(WrapSub(WrapAdd(area.Left, area.Width), Surface_.WindowWidth()));
  // Read back what the desktop actually gave, so the next refresh does not
  // mistake an adjusted position for a move by the user.
  PlacedTop = Surface_.WindowTop();
  PlacedLeft = Surface_.WindowLeft();
  PlacementPending = false;
}

void TRecMonModel::FrameChanged(const TFrame& before, const TFrame& after) {
  // Where the window's outer edge was under the old frame: the client area
  // has not moved, only the frame around it.
  const bool unmoved =
      PlacedLeft == WrapAdd(Surface_.WindowLeft(), WrapSub(after.Left, before.Left)) &&
      PlacedTop == WrapAdd(Surface_.WindowTop(), WrapSub(after.Top, before.Top));
  if (unmoved) {
    PlacedLeft = Surface_.WindowLeft();
    PlacedTop = Surface_.WindowTop();
  }
  FullHeight = WrapAdd(
      FullHeight, WrapSub(WrapAdd(after.Top, after.Bottom), WrapAdd(before.Top, before.Bottom)));
}

void TRecMonModel::InitMeters() {
  MeterHeight = Surface_.Height(TControl::rectMeterMeBackground);
  Surface_.SetLeft(TControl::rectMeterMe, Surface_.Left(TControl::rectMeterMeBackground));
  Surface_.SetHeight(TControl::rectMeterMe, 1);
  Surface_.SetTop(TControl::rectMeterMe,
                  WrapAdd(Surface_.Top(TControl::rectMeterMeBackground), MeterHeight));
  Surface_.SetLeft(TControl::rectMeterThem, Surface_.Left(TControl::rectMeterThemBackground));
  Surface_.SetHeight(TControl::rectMeterThem, 1);
  Surface_.SetTop(TControl::rectMeterThem, Surface_.Top(TControl::rectMeterThemBackground));
}

void TRecMonModel::imgAdvancedClick() {
  Advanced = true;
  UpdateToggleIcons();
  UpdateDetailPanel();
}

void TRecMonModel::imgHideAdvancedClick() {
  Advanced = false;
  UpdateToggleIcons();
  UpdateDetailPanel();
}

void TRecMonModel::imgPinOutClick() {
  Pinned = true;
  UpdateToggleIcons();
}

void TRecMonModel::imgPinInClick() {
  Pinned = false;
  UpdateToggleIcons();
}

void TRecMonModel::lblFileClick() {
  if (FileName.empty()) {
    return;
  }
  // A bare file name has no folder to open; nothing is asked of the desktop.
  const std::string folder = FolderOf(FileName);
  if (!folder.empty()) {
    Platform_.OpenFolder(folder);
  }
}

}  // namespace recmon
