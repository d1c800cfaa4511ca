// The usable area of each monitor of an X11 desktop: the monitor less the
// panels on it, not the whole desktop's work area.

#include "MonitorArea.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace recmon::test {
namespace {

// Two 1280 x 800 monitors side by side.
constexpr TArea Desktop{0, 0, 2560, 800};
constexpr TArea Left{0, 0, 1280, 800};
constexpr TArea Right{1280, 0, 1280, 800};

TStrut Strut(std::vector<std::uint32_t> values) {
  return *StrutFrom(values, Desktop);
}

TEST(MonitorArea, EachMonitorLosesOnlyThePanelsOnIt) {
  // Panels as task bars publish them: 30 px along the bottom of the left
  // monitor, 40 px along the right edge of the right one, 25 px along the
  // top of the left one, 50 px along the left edge.
  const TStrut bottomOfLeft = Strut({0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0, 1279});
  const TStrut rightOfRight = Strut({0, 40, 0, 0, 0, 0, 0, 799, 0, 0, 0, 0});
  const TStrut topOfLeft = Strut({0, 0, 25, 0, 0, 0, 0, 0, 0, 1279, 0, 0});
  const TStrut leftOfLeft = Strut({50, 0, 0, 0, 0, 799, 0, 0, 0, 0, 0, 0});
  // Old panels publish only _NET_WM_STRUT, which reserves whole edges.
  const TStrut wholeBottom = Strut({0, 0, 0, 30});
  // fluxbox keeps 20 px at the bottom for its own toolbar, which is on the
  // left monitor, and says so only in the desktop's work area.
  const TArea toolbar{0, 780, 1280, 20};
  const TArea ownBandWorkArea{0, 0, 2560, 780};
  struct Row {
    const char* name;
    TArea monitor;
    std::vector<TStrut> struts;
    std::optional<TArea> workArea;
    std::vector<TArea> ownWindows;
    TArea expected;
  };
  const std::vector<Row> rows = {
      {"no panels: the whole monitor", Left, {}, Desktop, {}, Left},
      {"a bottom panel on the left monitor: the left one loses its height",
       Left,
       {bottomOfLeft},
       TArea{0, 0, 2560, 770},
       {},
       {0, 0, 1280, 770}},
      {"the right one keeps its height, though the desktop's work area lost it",
       Right,
       {bottomOfLeft},
       TArea{0, 0, 2560, 770},
       {},
       Right},
      {"a right-edge panel on the right monitor",
       Right,
       {rightOfRight},
       {},
       {},
       {1280, 0, 1240, 800}},
      {"a top panel moves the origin", Left, {topOfLeft}, {}, {}, {0, 25, 1280, 775}},
      {"a left panel moves the origin", Left, {leftOfLeft}, {}, {}, {50, 0, 1230, 800}},
      {"panels on two edges at once",
       Left,
       {bottomOfLeft, topOfLeft, rightOfRight},
       {},
       {},
       {0, 25, 1280, 745}},
      {"a whole-edge reservation: the left monitor",
       Left,
       {wholeBottom},
       {},
       {},
       {0, 0, 1280, 770}},
      {"a whole-edge reservation: the right monitor too",
       Right,
       {wholeBottom},
       {},
       {},
       {1280, 0, 1280, 770}},
      {"the window manager's own toolbar, on the left monitor",
       Left,
       {},
       ownBandWorkArea,
       {toolbar, {300, 200, 600, 400}},
       {0, 0, 1280, 780}},
      {"the window manager's own toolbar is not on the right monitor",
       Right,
       {},
       ownBandWorkArea,
       {toolbar, {300, 200, 600, 400}},
       Right},
      {"a band of the window manager's with no window in it: every monitor",
       Right,
       {},
       ownBandWorkArea,
       {{300, 200, 600, 400}},
       {1280, 0, 1280, 780}},
      {"a work area explained by the panels is no band of the window manager's",
       Right,
       {bottomOfLeft},
       TArea{0, 0, 2560, 770},
       {},
       Right},
      {"only what the work area keeps beyond the panels is the window manager's",
       Right,
       {bottomOfLeft},
       TArea{0, 0, 2560, 740},
       {},
       {1280, 0, 1280, 740}},
      {"a work area of the first monitor only (xfwm4) is no panel on the second",
       Right,
       {topOfLeft},
       TArea{0, 25, 1280, 775},
       {{1400, 300, 168, 98}},
       Right},
      {"a panel that would cover the whole monitor: the monitor whole",
       Left,
       {Strut({1280, 0, 0, 0, 0, 799, 0, 0, 0, 0, 0, 0})},
       {},
       {},
       Left},
      {"reservations beyond any screen do not wrap round",
       Left,
       {Strut({0, 0, 0, 0xFFFFFFFFU, 0, 0, 0, 0, 0, 0, 0, 0xFFFFFFFFU})},
       {},
       {},
       Left},
  };
  for (const Row& row : rows) {
    const std::vector<TArea> monitors = {Left, Right};
    const TDesktopLayout layout{Desktop, row.struts, row.workArea, row.ownWindows, monitors};
    EXPECT_EQ(UsableArea(row.monitor, layout), row.expected) << row.name;
  }
}

TEST(MonitorArea, StackedMonitorsKeepABottomPanelOnTheLowerOne) {
  const TArea desktop{0, 0, 1280, 1600};
  const std::vector<TStrut> struts = {
      *StrutFrom(std::vector<std::uint32_t>{0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0, 1279}, desktop)};
  const TDesktopLayout layout{desktop, struts, TArea{0, 0, 1280, 1570}, {}, {}};
  EXPECT_EQ(UsableArea({0, 0, 1280, 800}, layout), (TArea{0, 0, 1280, 800}));
  EXPECT_EQ(UsableArea({0, 800, 1280, 800}, layout), (TArea{0, 800, 1280, 770}));
}

TEST(MonitorArea, ReservationsAreReadFromEitherProperty) {
  EXPECT_FALSE(StrutFrom(std::vector<std::uint32_t>{0, 0, 30}, Desktop)) << "too short";
  EXPECT_FALSE(StrutFrom(std::vector<std::uint32_t>{}, Desktop)) << "missing";
  EXPECT_EQ(*StrutFrom(std::vector<std::uint32_t>{1, 2, 3, 4}, Desktop),
            (TStrut{1, 2, 3, 4, 0, 799, 0, 799, 0, 2559, 0, 2559}))
      << "a plain strut spans whole edges";
  EXPECT_FALSE(WindowManagerReserves({Desktop, {}, std::nullopt, {}, {}})) << "no work area";
  EXPECT_FALSE(WindowManagerReserves({Desktop, {}, Desktop, {}, {}}));
  EXPECT_TRUE(WindowManagerReserves({Desktop, {}, TArea{0, 0, 2560, 780}, {}, {}}));
}

}  // namespace
}  // namespace recmon::test
