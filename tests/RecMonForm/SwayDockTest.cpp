// Docking on sway: the window found in sway's layout tree and the position
// that puts it, decorations included, at its workspace's bottom-right
// corner.

#include "SwayDock.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <vector>

namespace recmon::test {
namespace {

// A layout tree as sway's GET_TREE gives it (fields the monitor reads): two
// outputs, a 30-pixel panel at the bottom of the first (its workspace ends
// above it), the call's window focused on the first, and the monitor's
// window (process 4242) floating on the workspace of the second, with a
// 25-pixel title bar and 2-pixel borders.
constexpr const char* Tree = R"({
  "id": 1, "type": "root", "rect": {"x": 0, "y": 0, "width": 3200, "height": 1080},
  "nodes": [
    {"id": 2, "type": "output", "rect": {"x": 0, "y": 0, "width": 1280, "height": 800},
     "nodes": [
       {"id": 3, "type": "workspace", "rect": {"x": 0, "y": 0, "width": 1280, "height": 770},
        "nodes": [{"id": 7, "type": "con", "pid": 100, "focused": true,
                   "rect": {"x": 0, "y": 25, "width": 1280, "height": 745},
                   "deco_rect": {"x": 0, "y": 0, "width": 1280, "height": 25},
                   "window_rect": {"x": 0, "y": 0, "width": 1280, "height": 745}}],
        "floating_nodes": []}]},
    {"id": 4, "type": "output", "rect": {"x": 1280, "y": 0, "width": 1920, "height": 1080},
     "nodes": [
       {"id": 5, "type": "workspace", "rect": {"x": 1280, "y": 0, "width": 1920, "height": 1080},
        "nodes": [],
        "floating_nodes": [{"id": 9, "type": "floating_con", "pid": 4242, "focused": false,
                            "rect": {"x": 2000, "y": 500, "width": 168, "height": 73},
                            "deco_rect": {"x": 2000, "y": 475, "width": 168, "height": 25},
                            "window_rect": {"x": 2, "y": 0, "width": 164, "height": 71}}]}]}]
})";

QJsonObject Parsed(const char* json) {
  return QJsonDocument::fromJson(QByteArray(json)).object();
}

TEST(SwayDock, FindsTheWindowAndTheWorkspaceItIsOn) {
  const auto window = FindSwayWindow(Parsed(Tree), 4242);
  ASSERT_TRUE(window);
  EXPECT_EQ(window->Id, 9);
  EXPECT_EQ(window->Outer, (TArea{2000, 475, 168, 98})) << "title bar and borders included";
  EXPECT_EQ(window->Content, (TArea{2002, 500, 164, 71}));
  EXPECT_EQ(window->Workspace, (TArea{1280, 0, 1920, 1080}));
  EXPECT_FALSE(window->Focused);
  EXPECT_FALSE(FindSwayWindow(Parsed(Tree), 4243)) << "another process's window";
  EXPECT_EQ(FocusedSwayWindow(Parsed(Tree)), 7) << "the call's window has the keyboard";
  EXPECT_FALSE(FocusedSwayWindow(Parsed(R"({"id": 1, "nodes": []})")));
}

TEST(SwayDock, TheDecoratedWindowEndsAtTheWorkspacesCorner) {
  TSwayWindow window = *FindSwayWindow(Parsed(Tree), 4242);
  struct Row {
    const char* name;
    TArea workspace;
    int width, height;
    TArea expected;
  };
  const std::vector<Row> rows = {
      {"compact, on the second output", {1280, 0, 1920, 1080}, 164, 71, {3032, 982, 168, 98}},
      {"expanded: grows upwards", {1280, 0, 1920, 1080}, 164, 169, {3032, 884, 168, 196}},
      {"above a panel", {0, 0, 1280, 770}, 164, 71, {1112, 672, 168, 98}},
  };
  for (const Row& row : rows) {
    window.Workspace = row.workspace;
    EXPECT_EQ(DockedOuter(window, row.width, row.height), row.expected) << row.name;
  }
}

}  // namespace
}  // namespace recmon::test
