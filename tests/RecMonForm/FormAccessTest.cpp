// The window as a screen reader and the keyboard meet it, read through Qt's
// own accessibility interfaces: what each control is, what it is called,
// what pressing it does, and what the keys do.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <functional>
#include <set>
#include <vector>

#include "ControlAccess.h"
#include "FormFixture.h"
#include "TypicalCall.h"

namespace recmon::test {
namespace {

QAccessibleInterface* Accessible(QObject& object) {
  return QAccessible::queryAccessibleInterface(&object);
}

void WalkTree(QAccessibleInterface* node, const std::function<void(QAccessibleInterface*)>& visit) {
  visit(node);
  for (int i = 0; i < node->childCount(); ++i) {
    WalkTree(node->child(i), visit);
  }
}

// A call with a file of 4 KB whose buffer is 30 % full ("Fair", with an
// explanation) and whose other parties are heard.
TRecMonSnapshot FairCall(const TMemoryPlatform& platform) {
  TRecMonSnapshot s = TypicalCall(platform.Clock, platform.Ticks);
  s.FileName = "/tmp/rec/call.wav";
  s.BufferFree = 70;
  return s;
}

class FormAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    Base = FairCall(TMemoryPlatform());
    ui = MakeForm(Base);
    ui->Platform->FileSizes["/tmp/rec/call.wav"] = 4096;
    ui->Form->show();
    Tick();
  }
  void Tick() { ui->Form->OnTimer(); }
  // The recorder writes the record of the start with a change.
  void Record(const std::function<void(TRecMonSnapshot&)>& change) {
    TRecMonSnapshot s = Base;
    change(s);
    ui->Source->Bytes = EncodeStatus(s);
    Tick();
  }
  QWidget& Control(TControl c) { return ui->Form->ControlWidget(c); }
  QAccessibleInterface* Of(TControl c) { return Accessible(Control(c)); }
  std::string Name(TControl c) { return Of(c)->text(QAccessible::Name).toStdString(); }
  std::string Description(TControl c) {
    return Of(c)->text(QAccessible::Description).toStdString();
  }
  TRecMonSnapshot Base;
  std::unique_ptr<TFormUnderTest> ui;
};

TEST_F(FormAccess, TheWindowIsAFrameNamedByItsCaptionHoldingNoAnonymousNodes) {
  QAccessibleInterface* window = Accessible(*ui->Form);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->role(), QAccessible::Window);
  EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("Kestrum Call Monitor"));
  std::set<QObject*> seen;
  WalkTree(window, [&](QAccessibleInterface* node) {
    seen.insert(node->object());
    EXPECT_NE(node->role(), QAccessible::Client) << node->object()->objectName().toStdString();
    EXPECT_FALSE(node->text(QAccessible::Name).isEmpty())
        << node->object()->objectName().toStdString();
    if (node != window) {
      EXPECT_EQ(node->parent()->child(node->parent()->indexOfChild(node)), node)
          << node->object()->objectName().toStdString();
    }
  });
  // Every control is there except the two bars, which are read as the values
  // of their meters.
  for (const TControlDef& def : FormControls) {
    const bool bar = def.Id == TControl::rectMeterMe || def.Id == TControl::rectMeterThem;
    EXPECT_EQ(seen.count(&Control(def.Id)), bar ? 0U : 1U) << ControlName(def.Id);
  }
}

TEST_F(FormAccess, IconsAreButtonsNamedForWhatTheyDoAndPressingOneIsAClick) {
  struct Row {
    TControl icon;
    const char* name;
    std::function<bool(const TRecMonModel&)> done;
  };
  const std::vector<Row> rows = {
      {TControl::imgAdvanced, "Show details", [](auto& m) { return m.Advanced; }},
      {TControl::imgHideAdvanced, "Hide details", [](auto& m) { return !m.Advanced; }},
      {TControl::imgPinOut, "Pin", [](auto& m) { return m.Pinned; }},
      {TControl::imgPinIn, "Unpin", [](auto& m) { return !m.Pinned; }},
  };
  const int compact = ui->Form->height();
  for (const Row& row : rows) {
    QAccessibleInterface* icon = Of(row.icon);
    EXPECT_EQ(icon->role(), QAccessible::Button) << row.name;
    EXPECT_EQ(Name(row.icon), row.name);
    EXPECT_FALSE(Description(row.icon).empty()) << row.name;
    ASSERT_NE(icon->actionInterface(), nullptr) << row.name;
    ASSERT_TRUE(
        icon->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()))
        << row.name;
    EXPECT_FALSE(icon->state().invisible) << row.name;
    icon->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(row.done(ui->Form->Model())) << row.name;
    EXPECT_TRUE(icon->state().invisible) << row.name << ": its twin takes its place";
    if (row.icon == TControl::imgAdvanced) {
      EXPECT_EQ(ui->Form->height(), compact + 98);
      EXPECT_TRUE(Control(TControl::pnlAdvanced).isVisible());
    }
  }
  EXPECT_EQ(ui->Form->height(), compact);
}

TEST_F(FormAccess, TheFileLinkIsNamedForWhatItOpensAndPressingItOpensIt) {
  QAccessibleInterface* link = Of(TControl::lblFile);
  EXPECT_EQ(link->role(), QAccessible::Link);
  EXPECT_EQ(Name(TControl::lblFile), "Open the recording's folder");
  EXPECT_EQ(Description(TControl::lblFile), "/tmp/rec/call.wav");
  link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(ui->Platform->OpenedFolders, std::vector<std::string>{"/tmp/rec/"});
}

TEST_F(FormAccess, FiguresAreReadWithTheirCaptionsAndFollowTheirValues) {
  ui->Form->Model().imgAdvancedClick();
  EXPECT_EQ(Name(TControl::lblSize), "Size: 4 KB");
  EXPECT_EQ(Name(TControl::lblHealth), "Health: Fair");
  EXPECT_EQ(Name(TControl::lblSecsDropped), "Seconds dropped: 2 (1/0)");
  EXPECT_EQ(Name(TControl::lblPctBufFull), "Buffer % Full: 30%");
  const std::string elapsed = Name(TControl::lblTimeElapsed);
  EXPECT_EQ(elapsed, "Time Elapsed: " + TextOf(*ui->Form, TControl::lblTimeElapsed));

  ui->Platform->AdvanceSeconds(2);
  ui->Platform->FileSizes["/tmp/rec/call.wav"] = 8192;
  Record([](TRecMonSnapshot& s) {
    s.BytesDropped = 5 * AudioBytesPerSecond;
    s.BufferFree = 30;
  });
  EXPECT_EQ(Name(TControl::lblSize), "Size: 8 KB");
  EXPECT_EQ(Name(TControl::lblHealth), "Health: Poor");
  EXPECT_EQ(Name(TControl::lblSecsDropped), "Seconds dropped: 5 (1/0)");
  EXPECT_EQ(Name(TControl::lblPctBufFull), "Buffer % Full: 70%");
  EXPECT_NE(Name(TControl::lblTimeElapsed), elapsed);
  EXPECT_EQ(Name(TControl::lblTimeElapsed),
            "Time Elapsed: " + TextOf(*ui->Form, TControl::lblTimeElapsed));

  // Each figure is also labelled by its caption, which labels it in turn.
  for (const TControlAccess& access : ControlAccess) {
    if (access.Kind != TAccessKind::Figure) {
      continue;
    }
    const auto labels = Of(access.Id)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1) << ControlName(access.Id);
    EXPECT_EQ(labels[0].first->object(), &Control(*access.Caption)) << ControlName(access.Id);
    const auto labelled = Of(*access.Caption)->relations(QAccessible::Labelled);
    ASSERT_EQ(labelled.size(), 1) << ControlName(access.Id);
    EXPECT_EQ(labelled[0].first->object(), &Control(access.Id)) << ControlName(access.Id);
  }
}

TEST_F(FormAccess, TheHealthGradeExplainsItselfWheneverItHasAnExplanation) {
  // The words the tooltip shows, not its markup.
  EXPECT_EQ(Description(TControl::lblHealth),
            ToolTipShown(Control(TControl::lblHealth)).toStdString());
  EXPECT_NE(Description(TControl::lblHealth), "");
  Record([](TRecMonSnapshot& s) { s.BufferFree = 100; });
  EXPECT_EQ(Name(TControl::lblHealth), "Health: Good");
  EXPECT_EQ(Description(TControl::lblHealth), "");
}

TEST_F(FormAccess, MetersExposeTheLevelOfTheirBarsAndTheNoteOfTheirTooltips) {
  struct Row {
    const char* name;
    double level;
    int value;  // out of 15, the meters' height
  };
  const std::vector<Row> rows = {
      {"silence", 0.0, 0},
      {"a quarter: 3.75 rounds to 4, doubled", 0.25, 8},
      {"half fills the bar", 0.5, 15},
      {"louder is still full", 0.9, 15},
  };
  for (const TControl meter :
       {TControl::rectMeterMeBackground, TControl::rectMeterThemBackground}) {
    QAccessibleInterface* iface = Of(meter);
    EXPECT_EQ(iface->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface* value = iface->valueInterface();
    ASSERT_NE(value, nullptr);
    for (const Row& row : rows) {
      Record([&](TRecMonSnapshot& s) {
        s.MyLevel = meter == TControl::rectMeterMeBackground ? row.level : 0.1;
        s.TheirLevel = meter == TControl::rectMeterThemBackground ? row.level : 0.1;
      });
      EXPECT_EQ(value->minimumValue().toInt(), 0) << row.name;
      EXPECT_EQ(value->maximumValue().toInt(), 15) << row.name;
      EXPECT_EQ(value->currentValue().toInt(), row.value) << ControlName(meter) << ": " << row.name;
    }
  }
  EXPECT_EQ(Name(TControl::rectMeterMeBackground), "Sound level for you");
  EXPECT_EQ(Name(TControl::rectMeterThemBackground), "Sound level for other party(s)");
  EXPECT_EQ(Description(TControl::rectMeterMeBackground), "");
  EXPECT_EQ(Description(TControl::rectMeterThemBackground), "");
  Record([](TRecMonSnapshot& s) { s.TheirRecordMode = 1; });
  EXPECT_EQ(Description(TControl::rectMeterThemBackground), "Configured not to record this");
  ui->Platform->Ticks += 6000;
  Record([](TRecMonSnapshot&) {});
  EXPECT_EQ(Description(TControl::rectMeterThemBackground), "No recent sound data received");
}

class FormKeyboard : public FormAccess {
 protected:
  void Activate() {
    ui->Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ui->Form.get()));
  }
  QImage Picture() { return ui->Form->grab().toImage(); }
};

TEST_F(FormKeyboard, ActivatingTheWindowFocusesNoControlAndDrawsNothingNew) {
  Activate();
  EXPECT_EQ(QApplication::focusWidget(), ui->Form.get());
  // What the window shows with no focus anywhere.
  const QImage activated = Picture();
  QApplication::focusWidget()->clearFocus();
  EXPECT_EQ(activated, Picture());
  ui->Form->setFocus();
  // Space and Enter do nothing until Tab has chosen a control.
  QTest::keyClick(ui->Form.get(), Qt::Key_Space);
  QTest::keyClick(ui->Form.get(), Qt::Key_Return);
  EXPECT_FALSE(ui->Form->Model().Advanced);
  EXPECT_FALSE(ui->Form->Model().Pinned);
}

TEST_F(FormKeyboard, TabVisitsTheVisibleControlsAndSpaceOrEnterWorksTheFocusedOne) {
  Activate();
  struct Step {
    Qt::Key key;
    TControl focus;  // afterwards
    bool advanced;
    bool pinned;
  };
  const std::vector<Step> steps = {
      {Qt::Key_Tab, TControl::imgAdvanced, false, false},
      {Qt::Key_Space, TControl::imgHideAdvanced, true, false},  // its twin takes the focus
      {Qt::Key_Tab, TControl::imgPinOut, true, false},
      {Qt::Key_Return, TControl::imgPinIn, true, true},
      {Qt::Key_Tab, TControl::lblFile, true, true},
      {Qt::Key_Tab, TControl::imgHideAdvanced, true, true},  // round again
      {Qt::Key_Enter, TControl::imgAdvanced, false, true},
      {Qt::Key_Backtab, TControl::lblFile, false, true},
      {Qt::Key_Space, TControl::lblFile, false, true},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    QTest::keyClick(QApplication::focusWidget(), step.key);
    ASSERT_NE(QApplication::focusWidget(), nullptr) << "step " << i;
    EXPECT_EQ(QApplication::focusWidget(), &Control(step.focus))
        << "step " << i << ": " << QApplication::focusWidget()->objectName().toStdString();
    EXPECT_EQ(ui->Form->Model().Advanced, step.advanced) << "step " << i;
    EXPECT_EQ(ui->Form->Model().Pinned, step.pinned) << "step " << i;
  }
  EXPECT_EQ(ui->Platform->OpenedFolders, std::vector<std::string>{"/tmp/rec/"});
  EXPECT_TRUE(Of(TControl::lblFile)->state().focused);
}

TEST_F(FormKeyboard, TheFocusIsDrawnInsideTheFocusedControlsBoxAndMovesNothing) {
  Activate();
  const QImage unfocused = Picture();
  std::vector<QRect> geometry;
  for (const TControlDef& def : FormControls) {
    geometry.push_back(Control(def.Id).geometry());
  }
  for (const TControl c : {TControl::imgAdvanced, TControl::imgPinOut, TControl::lblFile}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), &Control(c));
    const QImage focused = Picture();
    const QRect box = Control(c).geometry();
    int changed = 0;
    for (int y = 0; y < focused.height(); ++y) {
      for (int x = 0; x < focused.width(); ++x) {
        if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
          ++changed;
          EXPECT_TRUE(box.contains(x, y)) << ControlName(c) << " changed " << x << "," << y;
        }
      }
    }
    EXPECT_GT(changed, 0) << ControlName(c) << ": the focus must show";
  }
  for (const TControlDef& def : FormControls) {
    EXPECT_EQ(Control(def.Id).geometry(), geometry[ControlIndex(def.Id)]) << ControlName(def.Id);
  }
}

}  // namespace
}  // namespace recmon::test
