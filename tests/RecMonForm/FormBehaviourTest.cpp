// The window driven as a user and a recorder would: start-up placement,
// expanding, moving, pinning, self-close and refresh errors.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>

#include "FormFixture.h"
#include "MonitorStyle.h"
#include "TypicalCall.h"

namespace recmon::test {
namespace {

// A call whose buffer is 10 % full: "Fair", so the window has a colour and a
// hint of its own.
TRecMonSnapshot RecordingCall(double now) {
  TRecMonSnapshot s = TypicalCall(now, 0);
  s.FileName = "/tmp/call.wav";
  s.BufferFree = 90;
  return s;
}

QRect WorkArea() {
  return QGuiApplication::primaryScreen()->availableGeometry();
}

// The outer rectangle as the monitor sees it: client area plus the frame.
QRect Outer(const TRecMonForm_& form) {
  return form.frameGeometry();
}

void Click(TRecMonForm_& form, TControl control) {
  QTest::mouseClick(&form.ControlWidget(control), Qt::LeftButton);
}

class FormBehaviour : public ::testing::Test {
 protected:
  void Start(const TRecMonSnapshot& record, bool valid = true) {
    ui = MakeForm(record, valid);
    closed = std::make_unique<QSignalSpy>(ui->Form.get(), &TRecMonForm_::Closed);
    ui->Form->show();
  }
  void Tick() { ui->Form->OnTimer(); }
  std::unique_ptr<TFormUnderTest> ui;
  std::unique_ptr<QSignalSpy> closed;
};

TEST_F(FormBehaviour, StartsCompactAtTheBottomRightOfTheWorkArea) {
  Start({}, false);
  const QRect outer = Outer(*ui->Form);
  EXPECT_EQ(outer.height(), ui->Form->Model().FullHeight - 98);
  EXPECT_EQ(ui->Form->height(), 169 - 98);
  EXPECT_EQ(outer.right(), WorkArea().right());
  EXPECT_EQ(outer.bottom(), WorkArea().bottom());
  EXPECT_TRUE(ui->Form->ControlWidget(TControl::pnlAdvanced).isHidden());
  EXPECT_EQ(TextOf(*ui->Form, TControl::lblRecording), "Not Recording");
  EXPECT_EQ(TextOf(*ui->Form, TControl::lblSize), "0 MB");
  EXPECT_EQ(ui->Form->palette().color(QPalette::Window), QColor(0xCC, 0xFF, 0xCC));
  ASSERT_NE(ui->Form->Timer(), nullptr);
  EXPECT_TRUE(ui->Form->Timer()->isActive());
  EXPECT_EQ(ui->Form->Timer()->interval(), 200);
}

TEST_F(FormBehaviour, ExpandingAndCollapsingChangesTheHeightBy98AndKeepsTheBottomEdge) {
  Start({}, false);
  const QRect compact = Outer(*ui->Form);
  Click(*ui->Form, TControl::imgAdvanced);
  const QRect expanded = Outer(*ui->Form);
  EXPECT_EQ(expanded.height() - compact.height(), 98);
  EXPECT_EQ(expanded.bottom(), compact.bottom());
  EXPECT_FALSE(ui->Form->ControlWidget(TControl::pnlAdvanced).isHidden());
  EXPECT_EQ(ui->Form->ControlWidget(TControl::pnlAdvanced).geometry(), QRect(0, 65, 164, 104));
  EXPECT_TRUE(ui->Form->ControlWidget(TControl::imgAdvanced).isHidden());
  EXPECT_FALSE(ui->Form->ControlWidget(TControl::imgHideAdvanced).isHidden());
  Tick();  // a refresh keeps it expanded and in place
  EXPECT_EQ(Outer(*ui->Form), expanded);
  Click(*ui->Form, TControl::imgHideAdvanced);
  EXPECT_EQ(Outer(*ui->Form), compact);
}

TEST_F(FormBehaviour, AUserMoveStopsAutomaticPlacementAndMovingBackResumesIt) {
  Start({}, false);
  const QRect placed = Outer(*ui->Form);
  // A user grabs the window only after it has settled: a move right after
  // placement reads as the desktop adjusting it.
  Wait(400);
  ui->Form->move(100, 120);  // as a window manager reports a drag
  Tick();
  EXPECT_EQ(Outer(*ui->Form).topLeft(), QPoint(100, 120));
  Click(*ui->Form, TControl::imgAdvanced);
  // Grows downward from where the user left it.
  EXPECT_EQ(Outer(*ui->Form).topLeft(), QPoint(100, 120));
  EXPECT_EQ(Outer(*ui->Form).height(), placed.height() + 98);
  Click(*ui->Form, TControl::imgHideAdvanced);
  ui->Form->move(placed.topLeft());
  Click(*ui->Form, TControl::imgAdvanced);
  EXPECT_EQ(Outer(*ui->Form).bottom(), WorkArea().bottom());
}

TEST_F(FormBehaviour, PinningSwapsTheIconsAndKeepsTheWindowOpen) {
  Start({}, false);
  EXPECT_FALSE(ui->Form->ControlWidget(TControl::imgPinOut).isHidden());
  EXPECT_TRUE(ui->Form->ControlWidget(TControl::imgPinIn).isHidden());
  Click(*ui->Form, TControl::imgPinOut);
  EXPECT_TRUE(ui->Form->ControlWidget(TControl::imgPinOut).isHidden());
  EXPECT_FALSE(ui->Form->ControlWidget(TControl::imgPinIn).isHidden());
  ui->Platform->AdvanceSeconds(11);
  Tick();
  EXPECT_EQ(closed->count(), 0);
  EXPECT_TRUE(ui->Form->isVisible());
  Click(*ui->Form, TControl::imgPinIn);
  Tick();
  EXPECT_EQ(closed->count(), 1);
  EXPECT_FALSE(ui->Form->isVisible());
}

TEST_F(FormBehaviour, ClosesItselfOnlyAfterRecordingHasBeenOffForMoreThanTenSeconds) {
  TMemoryPlatform clock;
  Start(RecordingCall(clock.Clock));
  ui->Platform->AdvanceSeconds(30);
  Tick();
  EXPECT_EQ(TextOf(*ui->Form, TControl::lblRecording), "Recording");
  auto stopped = RecordingCall(clock.Clock);
  stopped.Recording = false;
  ui->Source->Bytes = EncodeStatus(stopped);
  ui->Platform->AdvanceSeconds(10);
  Tick();
  EXPECT_EQ(closed->count(), 0);
  ui->Platform->AdvanceSeconds(0.2);
  Tick();
  EXPECT_EQ(closed->count(), 1);
}

TEST_F(FormBehaviour, ARefreshErrorIsReportedOnceAndFreezesTheFigures) {
  TMemoryPlatform clock;
  auto record = RecordingCall(clock.Clock);
  record.StartTime = std::numeric_limits<double>::quiet_NaN();
  Start(record);
  // The first refresh, inside FormCreate, already failed and stopped the timer.
  ASSERT_EQ(ui->Errors.size(), 1U);
  EXPECT_EQ(ui->Errors[0].toStdString(),
            "Exception Occurred in OnTimer: Invalid floating point operation");
  ASSERT_NE(ui->Form->Timer(), nullptr);
  EXPECT_FALSE(ui->Form->Timer()->isActive());
  // No more ticks come: the figures stay even when the record changes.
  const std::string shown = TextOf(*ui->Form, TControl::lblRecording);
  ui->Source->Bytes = EncodeStatus({});
  Wait(450);
  EXPECT_EQ(TextOf(*ui->Form, TControl::lblRecording), shown);
  EXPECT_EQ(ui->Errors.size(), 1U);
}

TEST_F(FormBehaviour, OutOfMemoryDuringCreationIsReportedWithItsOwnText) {
  // A channel factory that runs out of memory, as FormCreate step 2 could.
  auto platform = std::make_unique<TMemoryPlatform>();
  std::vector<QString> errors;
  TRecMonForm_ form(
      std::move(platform), []() -> std::unique_ptr<IStatusSource> { throw std::bad_alloc(); },
      [&](const QString& text) { errors.push_back(text); });
  ASSERT_EQ(errors.size(), 1U);
  EXPECT_EQ(errors[0].toStdString(), "Exception Occurred in FormCreate: Out of memory");
  // Neither timer nor channel: the window stays, without refreshing.
  EXPECT_EQ(form.Timer(), nullptr);
}

TEST_F(FormBehaviour, TooltipsWakeAfterHalfASecondStayFifteenAndOnlyOnTheirControls) {
  Start(RecordingCall(TMemoryPlatform().Clock));
  EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
  for (const TControl c : {TControl::lblFile, TControl::lblHealth, TControl::rectMeterMe,
                           TControl::rectMeterMeBackground, TControl::rectMeterThem,
                           TControl::rectMeterThemBackground}) {
    EXPECT_EQ(ui->Form->ControlWidget(c).toolTipDuration(), 15000) << ControlName(c);
  }
  EXPECT_EQ(ToolTipShown(ui->Form->ControlWidget(TControl::lblFile)),
            QStringLiteral("/tmp/call.wav"));
  EXPECT_EQ(ToolTipShown(ui->Form->ControlWidget(TControl::rectMeterMe)),
            QStringLiteral("Sound level for you."));
  // Buffer at 10 %: "Fair" with its hint; back to "Good", the hint is empty again.
  EXPECT_EQ(TextOf(*ui->Form, TControl::lblHealth), "Fair");
  EXPECT_FALSE(ui->Form->ControlWidget(TControl::lblHealth).toolTip().isEmpty());
  auto good = RecordingCall(ui->Platform->Clock);
  good.BufferFree = 100;
  ui->Source->Bytes = EncodeStatus(good);
  Tick();
  EXPECT_TRUE(ui->Form->ControlWidget(TControl::lblHealth).toolTip().isEmpty());
  EXPECT_EQ(ui->Form->ControlWidget(TControl::lblSizeCaption).toolTipDuration(), -1);
}

// Counts paints of the window and its controls.
class TPaintCounter final : public QObject {
 public:
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++Paints;
    }
    return false;
  }
};

TEST_F(FormBehaviour, AnIdleRefreshRepaintsNothing) {
  TMemoryPlatform clock;
  auto record = RecordingCall(clock.Clock);
  record.Recording = false;  // nothing on screen changes from tick to tick
  Start(record);
  Click(*ui->Form, TControl::imgPinOut);
  Click(*ui->Form, TControl::imgAdvanced);
  Wait(300);
  TPaintCounter counter;
  ui->Form->installEventFilter(&counter);
  for (QWidget* child : ui->Form->findChildren<QWidget*>()) {
    child->installEventFilter(&counter);
  }
  for (int i = 0; i < 10; ++i) {
    Tick();
  }
  Wait(100);
  EXPECT_EQ(counter.Paints, 0);
}

}  // namespace
}  // namespace recmon::test
