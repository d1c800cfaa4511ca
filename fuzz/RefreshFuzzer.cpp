// libFuzzer target: arbitrary records, clock and tick values through the
// decoder and full refresh cycles on the in-memory window. A refresh may only
// fail with one of the two arithmetic errors the user is shown; anything else
// escaping, or a bar outside its background, is a crash.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "BufferHealth.h"
#include "FuzzInput.h"
#include "MemoryDisplaySurface.h"
#include "MemoryPlatform.h"
#include "MemoryStatusSource.h"
#include "RecMonModel.h"
#include "WindowLayout.h"

namespace recmon::fuzz {
namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool IsUserText(const char* message) {
  return std::strcmp(message, InvalidOperationText) == 0 || std::strcmp(message, OverflowText) == 0;
}

void CheckBar(const TMemoryDisplaySurface& surface, TControl bar, std::int32_t fullHeight) {
  const std::int32_t height = surface[bar].Height;
  Check(height >= 0 && height <= fullHeight);
}

void Run(std::span<const std::uint8_t> data) {
  TFuzzReader reader(data);
  const TRecMonStatusBytes record = reader.TakeRecord();

  // The decoder on its own: what it takes from a valid record survives the
  // encoder bit for bit (compared as bytes, since NaN != NaN).
  if (const auto decoded = DecodeStatus(record)) {
    Check(decoded->FileName.size() <= RecMonFileNameSize);
    const TRecMonStatusBytes once = EncodeStatus(*decoded);
    Check(EncodeStatus(*DecodeStatus(once)) == once);
  }

  TMemoryDisplaySurface surface;
  surface.LayOutLikeTheWindow();
  surface.Logging = false;
  TMemoryPlatform platform;
  TRecMonModel model(surface, platform);
  auto owned = std::make_unique<TMemoryStatusSource>();
  TMemoryStatusSource& source = *owned;
  source.Bytes = record;
  model.Channel = std::move(owned);
  std::array<TRefreshInput, RefreshesPerInput> inputs;
  for (TRefreshInput& in : inputs) {
    in = reader.TakeRefresh();
  }
  // The window opens at the first refresh, or (flag bit 4) long enough
  // before it for the self-close rule to apply.
  platform.Clock = inputs[0].Clock;
  if (inputs[0].Flags & 16) {
    platform.AdvanceSeconds(-20);
  }
  model.Start();
  model.InitMeters();

  for (const TRefreshInput& in : inputs) {
    platform.Clock = in.Clock;
    platform.Ticks = in.Ticks;
    platform.FileSizes.clear();
    if (in.FileSize >= 0) {
      platform.FileSizes[model.FileName] = in.FileSize;
    }
    if (in.Flags & 1) {
      model.Advanced ? model.imgHideAdvancedClick() : model.imgAdvancedClick();
    }
    if (in.Flags & 2) {
      model.Pinned ? model.imgPinInClick() : model.imgPinOutClick();
    }
    if (in.Flags & 4) {
      surface.UserMoves(static_cast<std::int32_t>(in.Ticks), surface.OuterTop);
    }
    if (in.Flags & 8) {
      model.lblFileClick();
    }
    using TState = TWriterPresence::TState;
    source.Presence.State = (in.Flags & PresenceHeldBit)   ? TState::Held
                            : (in.Flags & PresenceGoneBit) ? TState::Gone
                                                           : TState::Unknown;
    if (in.Flags & BeatMovesBit) {
      ++source.Presence.Beat;
    }
    bool refreshed = true;
    try {
      model.RefreshDisplay();
    } catch (const TFloatError& e) {
      Check(IsUserText(e.what()));
      refreshed = false;
    }
    // The recording state and the grade always tell the same story: a
    // recorder that ended is never shown recording, and whatever is red
    // says why.
    const bool gone = model.Recording && source.Presence.State == TState::Gone;
    Check(surface[TControl::lblRecording].Caption ==
          (model.Recording && !gone ? "Recording" : "Not Recording"));
    if (refreshed) {
      Check(!gone ||
            (surface[TControl::lblHealth].Caption == "Poor" && surface.WindowColor == PoorColor &&
             surface[TControl::lblHealth].Hint == WriterGoneHint));
      Check((surface.WindowColor == PoorColor) == (surface[TControl::lblHealth].Caption == "Poor"));
      Check(surface[TControl::lblHealth].Caption == "Good" ||
            !surface[TControl::lblHealth].Hint.empty());
    }
    CheckBar(surface, TControl::rectMeterMe, model.MeterHeight);
    CheckBar(surface, TControl::rectMeterThem, model.MeterHeight);
    Check(surface.OuterHeight == model.FullHeight ||
          surface.OuterHeight == model.FullHeight - PanelHeight + CollapsedPanelMargin);
  }
}

}  // namespace
}  // namespace recmon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  recmon::fuzz::Run({data, size});
  return 0;
}
