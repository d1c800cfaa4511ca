// What a screen reader is told about each control, and the facts the form
// takes from the access table.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ControlAccess.h"
#include "LevelMeters.h"
#include "RecordingDefs.h"
#include "WindowLayout.h"

namespace recmon {
namespace {

TEST(ControlAccess, EachFigureIsReadWithItsOwnCaption) {
  struct Row {
    TControl figure;
    const char* value;
    const char* read;
  };
  const std::vector<Row> rows = {
      {TControl::lblSize, "4 KB", "Size: 4 KB"},
      {TControl::lblHealth, "Fair", "Health: Fair"},  // the window shows no colon here
      {TControl::lblTimeElapsed, "00:01:35", "Time Elapsed: 00:01:35"},
      {TControl::lblTimeRecorded, "00:01:30", "Time Recorded: 00:01:30"},
      {TControl::lblSecsDropped, "2 (1/0)", "Seconds dropped: 2 (1/0)"},
      // The caption named lblSecondsDroppedCaption reads "Seconds behind:".
      {TControl::lblSecondsBehind, "6 (5/1)", "Seconds behind: 6 (5/1)"},
      {TControl::lblPctBufFull, "30%", "Buffer % Full: 30%"},
  };
  std::size_t figures = 0;
  for (const TControlAccess& access : ControlAccess) {
    figures += access.Kind == TAccessKind::Figure ? 1 : 0;
  }
  EXPECT_EQ(figures, rows.size()) << "a figure without a row here";
  for (const Row& row : rows) {
    const TControlAccess& access = AccessOf(row.figure);
    ASSERT_EQ(access.Kind, TAccessKind::Figure) << ControlName(row.figure);
    ASSERT_TRUE(access.Caption.has_value()) << ControlName(row.figure);
    EXPECT_EQ(FigureName(ControlDef(*access.Caption).Text, row.value), row.read);
    EXPECT_EQ(ControlDef(*access.Caption).InPanel, ControlDef(row.figure).InPanel)
        << "a caption and its figure share a parent: " << ControlName(row.figure);
  }
}

TEST(ControlAccess, AMeterNoteIsWhatItsTooltipAddsToItsName) {
  constexpr std::uint32_t now = 100000;
  struct Row {
    const char* name;
    std::string hint;
    const char* note;
  };
  const std::vector<Row> rows = {
      {"your meter", std::string(MyMeterHint), ""},
      // "party(s)" has brackets of its own that are not a note.
      {"others recorded and heard", TheirMeterHint(TheirRecordModeRecorded, now, now - 100), ""},
      {"others not recorded", TheirMeterHint(1, now, now), "Configured not to record this"},
      {"others silent", TheirMeterHint(TheirRecordModeRecorded, now, now - 6000),
       "No recent sound data received"},
      {"no hint yet", "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MeterNote(row.hint), row.note) << row.name;
  }
}

TEST(ControlAccess, EveryControlWithoutTextHasANameOrIsABarOfANamedMeter) {
  for (const TControlDef& def : FormControls) {
    const TControlAccess& access = AccessOf(def.Id);
    if (def.Kind == TControlKind::Label) {
      EXPECT_NE(access.Kind, TAccessKind::Decoration) << ControlName(def.Id);
      continue;
    }
    if (access.Kind != TAccessKind::Decoration) {
      EXPECT_FALSE(access.Name.empty()) << ControlName(def.Id);
      continue;
    }
    const bool barOfAMeter = std::any_of(ControlAccess.begin(), ControlAccess.end(), [&](auto& a) {
      return a.Kind == TAccessKind::Meter && a.Bar == def.Id && !a.Name.empty();
    });
    EXPECT_TRUE(barOfAMeter) << ControlName(def.Id);
  }
}

TEST(ControlAccess, EachButtonsTwinTakesItsPlaceAndPointsBack) {
  for (const TControlAccess& access : ControlAccess) {
    if (access.Kind != TAccessKind::Button) {
      continue;
    }
    ASSERT_TRUE(access.Twin.has_value()) << ControlName(access.Id);
    const TControl twin = *access.Twin;
    EXPECT_EQ(AccessOf(twin).Kind, TAccessKind::Button) << ControlName(access.Id);
    EXPECT_EQ(AccessOf(twin).Twin, access.Id) << ControlName(access.Id);
    EXPECT_EQ(ControlDef(twin).Left, ControlDef(access.Id).Left) << ControlName(access.Id);
    EXPECT_EQ(ControlDef(twin).Top, ControlDef(access.Id).Top) << ControlName(access.Id);
    EXPECT_NE(ControlDef(twin).Visible, ControlDef(access.Id).Visible) << ControlName(access.Id);
  }
}

TEST(ControlAccess, TabVisitsExactlyTheControlsThatCanBeWorked) {
  for (const TControlAccess& access : ControlAccess) {
    const bool worked = access.Kind == TAccessKind::Button || access.Kind == TAccessKind::Link;
    const bool visited =
        std::find(KeyboardOrder.begin(), KeyboardOrder.end(), access.Id) != KeyboardOrder.end();
    EXPECT_EQ(visited, worked) << ControlName(access.Id);
  }
}

TEST(ControlAccess, ControlsAreFoundByTheirObjectNames) {
  for (const TControlDef& def : FormControls) {
    EXPECT_EQ(ControlNamed(ControlName(def.Id)), def.Id);
  }
  EXPECT_EQ(ControlNamed("lblsize"), std::nullopt);
  EXPECT_EQ(ControlNamed(""), std::nullopt);
}

}  // namespace
}  // namespace recmon
