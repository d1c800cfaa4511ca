// Telling the desktop's answer to a placement request from a user's move.

#include <gtest/gtest.h>

#include <chrono>

#include "PlacementTracker.h"

namespace recmon {
namespace {

class PlacementTracking : public ::testing::Test {
 protected:
  using TClock = TPlacementTracker::TClock;
  TPlacementTracker tracker;
  TClock::time_point t0 = TClock::now();
  static constexpr TPoint Asked{1115, 728};
  static constexpr TPoint Shifted{1116, 729};  // where a window manager put it
};

TEST_F(PlacementTracking, TheDesktopsFirstAnswerReadsAsTheRequestedPosition) {
  EXPECT_EQ(tracker.Seen(Shifted), Shifted);  // nothing asked yet
  tracker.Requested(Asked, t0);
  EXPECT_EQ(tracker.Seen(Asked), Asked);
  tracker.Moved(Shifted, t0 + std::chrono::milliseconds(20));
  EXPECT_EQ(tracker.Seen(Shifted), Asked);
  // A user's later move is seen as it is, and so is the way back.
  tracker.Moved({400, 300}, t0 + std::chrono::milliseconds(40));
  EXPECT_EQ(tracker.Seen({400, 300}), (TPoint{400, 300}));
  EXPECT_EQ(tracker.Seen(Shifted), Asked);
}

TEST_F(PlacementTracking, AMoveAfterTheAnswerWindowIsTheUsers) {
  tracker.Requested(Asked, t0);
  tracker.Moved(Shifted, t0 + DesktopAnswerWindow + std::chrono::milliseconds(1));
  EXPECT_EQ(tracker.Seen(Shifted), Shifted);
}

TEST_F(PlacementTracking, ANewRequestForgetsTheOldAnswer) {
  tracker.Requested(Asked, t0);
  tracker.Moved(Shifted, t0);
  const TPoint next{1115, 630};
  tracker.Requested(next, t0 + std::chrono::seconds(5));
  EXPECT_EQ(tracker.Seen(Shifted), Shifted);
  EXPECT_EQ(tracker.Seen(next), next);
}

}  // namespace
}  // namespace recmon
