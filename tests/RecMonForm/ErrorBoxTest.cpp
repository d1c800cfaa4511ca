// The real error box: its look, its keys, and what happens to the window and
// the timer while it is open and after.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <limits>

#include "ErrorBox.h"
#include "FormFixture.h"

namespace recmon::test {
namespace {

std::vector<TErrorBox*> OpenBoxes() {
  std::vector<TErrorBox*> boxes;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = dynamic_cast<TErrorBox*>(w); box != nullptr && box->isVisible()) {
      boxes.push_back(box);
    }
  }
  return boxes;
}

TEST(ErrorBox, HasTheErrorIconCaptionAndOneOkButtonForEnterAndEsc) {
  TErrorBox box(QStringLiteral("Exception Occurred in OnTimer: Floating point overflow"));
  EXPECT_EQ(box.icon(), QMessageBox::Critical);
  EXPECT_EQ(box.windowTitle(), QStringLiteral("Error"));
  EXPECT_EQ(box.text(), QStringLiteral("Exception Occurred in OnTimer: Floating point overflow"));
  ASSERT_EQ(box.buttons().size(), 1);
  QAbstractButton* ok = box.buttons().front();
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_EQ(box.defaultButton(), ok);
  EXPECT_EQ(box.escapeButton(), ok);
}

TEST(ErrorBox, OpensCentredOnThePrimaryScreen) {
  TErrorBox box(QStringLiteral("Exception Occurred in FormCreate: Out of memory"));
  box.show();
  const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((box.frameGeometry().center() - centre).manhattanLength(), 2);
  box.close();
}

// A failing refresh while recording: the box opens during creation; ticks go
// on inside it, fail again and open no second box; either key closes it and
// the timer is then off.
class FailingRefreshBox : public ::testing::TestWithParam<Qt::Key> {};

TEST_P(FailingRefreshBox, OneBoxWhileTicksGoOnThenTheTimerIsOff) {
  std::vector<std::size_t> seen;
  QString text;
  bool modal = false;
  const Qt::Key key = GetParam();
  // Runs inside the box's own event loop, once several ticks have passed.
  QTimer::singleShot(700, [&] {
    const auto boxes = OpenBoxes();
    seen.push_back(boxes.size());
    if (!boxes.empty()) {
      text = boxes.front()->text();
      modal = boxes.front()->isModal();
      QTest::keyClick(boxes.front(), key);
    }
  });
  TRecMonSnapshot record;
  record.Recording = true;
  record.StartTime = std::numeric_limits<double>::quiet_NaN();
  auto ui = MakeForm(record, true, /*realBoxes=*/true);
  ASSERT_EQ(seen.size(), 1U);
  EXPECT_EQ(seen[0], 1U);
  EXPECT_EQ(text,
            QStringLiteral("Exception Occurred in OnTimer: Invalid floating point operation"));
  EXPECT_TRUE(modal);
  EXPECT_TRUE(OpenBoxes().empty());
  EXPECT_FALSE(ui->Form->ErrorBoxOpen());
  ASSERT_NE(ui->Form->Timer(), nullptr);
  EXPECT_FALSE(ui->Form->Timer()->isActive());
}

INSTANTIATE_TEST_SUITE_P(Keys, FailingRefreshBox, ::testing::Values(Qt::Key_Return, Qt::Key_Escape),
                         [](const auto& p) { return p.param == Qt::Key_Return ? "Enter" : "Esc"; });

TEST(ErrorBox, RefreshesGoOnWhileTheBoxIsOpen) {
  // The first refresh fails; the record is repaired while the box is open,
  // and the ticks that run inside the box show the repaired figures.
  TRecMonSnapshot record;
  record.Recording = true;
  record.StartTime = std::numeric_limits<double>::quiet_NaN();
  TFormUnderTest ui;
  std::string before;
  std::string during;
  QTimer::singleShot(100, [&] {
    before = TextOf(*OpenForm(), TControl::lblRecording);
    ui.Source->Bytes = EncodeStatus({});
  });
  QTimer::singleShot(700, [&] {
    during = TextOf(*OpenForm(), TControl::lblRecording);
    if (const auto boxes = OpenBoxes(); !boxes.empty()) {
      boxes.front()->defaultButton()->click();
    }
  });
  BuildForm(ui, record, true, /*realBoxes=*/true);
  EXPECT_EQ(before, "Recording");
  EXPECT_EQ(during, "Not Recording");
  EXPECT_FALSE(ui.Form->Timer()->isActive());
}

}  // namespace
}  // namespace recmon::test
