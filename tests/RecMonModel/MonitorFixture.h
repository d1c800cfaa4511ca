#pragma once

// A monitor wired to an in-memory record, window and platform, set up the
// way the window sets it up at creation.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MemoryDisplaySurface.h"
#include "MemoryPlatform.h"
#include "MemoryStatusSource.h"
#include "RecMonModel.h"
#include "TypicalCall.h"

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
    model->Start();
  }

  TRecMonSnapshot ACall() const { return TypicalCall(platform.Clock, platform.Ticks); }

  void Publish(const TRecMonSnapshot& s) { source->Bytes = EncodeStatus(s); }
  void PublishInvalid() { source->Bytes = {}; }

  const std::string& Caption(TControl c) const { return surface[c].Caption; }
  const std::string& Hint(TControl c) const { return surface[c].Hint; }
  bool Visible(TControl c) const { return surface[c].Visible; }
};

}  // namespace recmon
