#pragma once

// A monitor wired to an in-memory record, window and platform, set up the
// way the window sets it up at creation.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MemoryDisplaySurface.h"
#include "MemoryPlatform.h"
#include "RecMonModel.h"

namespace recmon {

class MonitorTest : public ::testing::Test {
 protected:
  TMemoryDisplaySurface surface;
  TMemoryPlatform platform;
  std::unique_ptr<TRecMonModel> model;
  TMemoryStatusSource* source = nullptr;  // owned by model->Channel

  void SetUp() override {
    surface.LayOutLikeTheWindow();
    model = std::make_unique<TRecMonModel>(surface, platform);
    auto owned = std::make_unique<TMemoryStatusSource>();
    source = owned.get();
    model->Channel = std::move(owned);
    model->CreatedAt = platform.Now();
    model->FullHeight = surface.OuterHeight;
    model->PlacementPending = true;
  }

  // A call in progress: started 100 s before the last update, 95 s of audio
  // at that update, which was 3 s ago.
  TRecMonSnapshot ACall() const {
    TRecMonSnapshot s;
    s.FileName = "/home/user/Recordings/call.wav";
    s.Recording = true;
    s.LastUpdateTime = platform.Clock - 3.0 / 86400;
    s.StartTime = s.LastUpdateTime - 100.0 / 86400;
    s.BytesRecorded = 95 * 95232;
    s.BufferSize = 100;
    s.BufferFree = 95;
    s.BytesDropped = 190464;
    s.BytesDropped1 = 95232;
    s.MyLevel = 0.25;
    s.TheirLevel = 0.25;
    s.TheirLastSoundTick = platform.Ticks;
    s.TheirRecordMode = TheirRecordModeRecorded;
    return s;
  }

  void Publish(const TRecMonSnapshot& s) { source->Bytes = EncodeStatus(s); }
  void PublishInvalid() { source->Bytes = {}; }

  const std::string& Caption(TControl c) const { return surface[c].Caption; }
  const std::string& Hint(TControl c) const { return surface[c].Hint; }
  bool Visible(TControl c) const { return surface[c].Visible; }
};

}  // namespace recmon
