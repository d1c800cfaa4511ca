#include <gtest/gtest.h>

#include <vector>

#include "MonitorFixture.h"

namespace recmon {
namespace {

using WindowBehaviour = MonitorTest;

constexpr std::int32_t kCollapsedBy = PanelHeight - CollapsedPanelMargin;

std::int32_t Bottom(const TMemoryDisplaySurface& s) {
  return s.OuterTop + s.OuterHeight;
}
std::int32_t Right(const TMemoryDisplaySurface& s) {
  return s.OuterLeft + s.OuterWidth;
}

TEST_F(WindowBehaviour, TheFirstRefreshShowsTheCompactWindowAtTheBottomRight) {
  model->RefreshDisplay();
  EXPECT_TRUE(Visible(TControl::imgAdvanced));
  EXPECT_FALSE(Visible(TControl::imgHideAdvanced));
  EXPECT_TRUE(Visible(TControl::imgPinOut));
  EXPECT_FALSE(Visible(TControl::imgPinIn));
  EXPECT_FALSE(Visible(TControl::pnlAdvanced));
  EXPECT_EQ(model->FullHeight, FormClientHeight + surface.Frame.Top + surface.Frame.Bottom);
  EXPECT_EQ(surface.OuterHeight, model->FullHeight - kCollapsedBy);
  EXPECT_EQ(Bottom(surface), 800);
  EXPECT_EQ(Right(surface), 1280);
  EXPECT_FALSE(model->PlacementPending);
}

TEST_F(WindowBehaviour, PlacesByTheWorkAreasTrueCorner) {
  surface.Area = {48, 24, 1000, 700};  // panels at the left and top edges
  model->RefreshDisplay();
  EXPECT_EQ(Bottom(surface), 724);
  EXPECT_EQ(Right(surface), 1048);
}

TEST_F(WindowBehaviour, ExpandingAndCollapsingKeepTheBottomEdge) {
  model->RefreshDisplay();
  const auto collapsedTop = surface.OuterTop;
  model->imgAdvancedClick();
  EXPECT_TRUE(Visible(TControl::pnlAdvanced));
  EXPECT_TRUE(Visible(TControl::imgHideAdvanced));
  EXPECT_FALSE(Visible(TControl::imgAdvanced));
  EXPECT_EQ(surface.OuterHeight, model->FullHeight);
  EXPECT_EQ(surface.OuterTop, collapsedTop - kCollapsedBy);
  EXPECT_EQ(Bottom(surface), 800);

  model->RefreshDisplay();  // stays expanded across refreshes
  EXPECT_EQ(surface.OuterHeight, model->FullHeight);

  model->imgHideAdvancedClick();
  EXPECT_EQ(surface.OuterHeight, model->FullHeight - kCollapsedBy);
  EXPECT_EQ(surface.OuterTop, collapsedTop);
}

TEST_F(WindowBehaviour, AnUnmovedWindowFollowsTheWorkArea) {
  model->RefreshDisplay();
  surface.Area = {0, 0, 1280, 760};  // a panel grew at the bottom
  model->RefreshDisplay();
  EXPECT_EQ(Bottom(surface), 760);
}

TEST_F(WindowBehaviour, AWindowTheUserMovedStaysWhereTheyPutIt) {
  model->RefreshDisplay();
  const auto placedLeft = surface.OuterLeft;
  const auto placedTop = surface.OuterTop;

  surface.UserMoves(100, 200);
  model->RefreshDisplay();
  surface.Area = {0, 0, 1280, 760};
  model->imgAdvancedClick();  // the height changes, the top edge stays
  model->RefreshDisplay();
  EXPECT_EQ(surface.OuterLeft, 100);
  EXPECT_EQ(surface.OuterTop, 200);
  EXPECT_EQ(surface.OuterHeight, model->FullHeight);

  model->imgHideAdvancedClick();
  surface.UserMoves(placedLeft, placedTop);  // dragged back onto the placed position
  model->RefreshDisplay();
  EXPECT_EQ(Bottom(surface), 760);  // placement has resumed
}

TEST_F(WindowBehaviour, APositionTheDesktopAdjustedIsNotTakenForAMove) {
  surface.DesktopShiftLeft = -1;
  surface.DesktopShiftTop = 20;
  model->RefreshDisplay();
  EXPECT_EQ(model->PlacedTop, surface.OuterTop);
  EXPECT_EQ(model->PlacedLeft, surface.OuterLeft);
  surface.Area = {0, 0, 1280, 700};
  model->RefreshDisplay();
  EXPECT_EQ(surface.OuterTop, 700 - surface.OuterHeight + 20);
}

TEST_F(WindowBehaviour, ADesktopThatAnswersLateIsNotTakenForAMove) {
  surface.DesktopAnswersLate = true;
  surface.DesktopShiftLeft = 1;  // a manager honouring static gravity
  surface.DesktopShiftTop = 1;
  model->RefreshDisplay();
  surface.DesktopAnswers();
  model->RefreshDisplay();
  surface.Area = {0, 0, 1280, 700};  // an unmoved window still follows
  model->RefreshDisplay();
  EXPECT_EQ(surface.WindowTop() + surface.OuterHeight, 700);

  surface.UserMoves(300, 200);
  surface.Area = {0, 0, 1280, 800};
  model->RefreshDisplay();
  EXPECT_EQ(surface.OuterLeft, 300);
  EXPECT_EQ(surface.OuterTop, 200);
}

// The window manager tells the frame only after the first placement: the
// outer measures grow around a client area that stayed put.
TEST_F(WindowBehaviour, AFrameLearntLateKeepsAnUnmovedWindowInTheCorner) {
  const TFrame openbox = surface.Frame;
  surface.ChangeFrame({});
  model->Start();  // created unframed, as before the window manager answered
  model->RefreshDisplay();
  const std::int32_t expandedUnframed = model->FullHeight;

  model->FrameChanged(surface.ChangeFrame(openbox), openbox);
  EXPECT_EQ(model->FullHeight, expandedUnframed + openbox.Top + openbox.Bottom);
  model->RefreshDisplay();
  EXPECT_EQ(Bottom(surface), 800);
  EXPECT_EQ(Right(surface), 1280);
  EXPECT_EQ(surface.OuterHeight, model->FullHeight - kCollapsedBy);

  model->imgAdvancedClick();
  EXPECT_EQ(surface.OuterHeight, model->FullHeight);
  EXPECT_EQ(Bottom(surface), 800);
}

TEST_F(WindowBehaviour, AFrameChangeLeavesAMovedWindowWhereTheUserPutIt) {
  model->RefreshDisplay();
  surface.UserMoves(300, 200);
  model->FrameChanged(surface.ChangeFrame({2, 24, 2, 2}), {2, 24, 2, 2});
  model->RefreshDisplay();
  EXPECT_EQ(surface.OuterLeft, 299);  // the client area stayed, the frame grew
  EXPECT_EQ(surface.OuterTop, 196);
}

TEST_F(WindowBehaviour, PinningOnlySwapsThePinIcons) {
  model->RefreshDisplay();
  surface.Events.clear();
  model->imgPinOutClick();
  EXPECT_TRUE(model->Pinned);
  EXPECT_TRUE(Visible(TControl::imgPinIn));
  EXPECT_FALSE(Visible(TControl::imgPinOut));
  model->imgPinInClick();
  EXPECT_FALSE(model->Pinned);
  EXPECT_TRUE(Visible(TControl::imgPinOut));
  EXPECT_EQ(surface.Count(TSurfaceOp::SetWindowHeight), 0);
  EXPECT_EQ(surface.Count(TSurfaceOp::SetWindowTop), 0);
  EXPECT_EQ(surface.Count(TSurfaceOp::SetVisible, TControl::pnlAdvanced), 0);
}

TEST_F(WindowBehaviour, TheFileLinkOpensTheRecordingsFolder) {
  struct Row {
    const char* fileName;
    std::vector<std::string> opened;
  };
  const std::vector<Row> rows = {
      {"/home/user/Recordings/call.wav", {"/home/user/Recordings/"}},
      {"/home/me/Calls/call 10:30.wav", {"/home/me/Calls/"}},
      // Not a local absolute path: nothing is asked of the desktop.
      {"https://example.invalid/phish?x=1/y.wav", {}},
      {"C:\\Rec\\call.wav", {}},
      {"call.wav", {}},
      {"", {}},
  };
  for (const auto& row : rows) {
    platform.OpenedFolders.clear();
    model->FileName = row.fileName;
    model->lblFileClick();
    EXPECT_EQ(platform.OpenedFolders, row.opened) << row.fileName;
  }
}

}  // namespace
}  // namespace recmon
