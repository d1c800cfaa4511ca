// The window as built: every control where the layout puts it, with its
// text and look, and every text inside its box.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>

#include "FormFixture.h"
#include "FormFont.h"
#include "RecordingDefs.h"

namespace recmon::test {
namespace {

struct TPlace {
  const char* Name;
  int Left, Top, Width, Height;
};

// Fixed boxes of the upper area and the panel, relative to their parent.
const TPlace FixedPlaces[] = {
    {"lblRecording", -1, 10, 165, 13},
    {"lblFile", 12, 32, 16, 13},
    {"lblSizeCaption", 31, 32, 23, 13},
    {"lblHealthCaption", 119, 32, 31, 13},
    {"lblHealth", 110, 50, 47, 13},
    {"imgPinOut", 138, 9, 16, 16},
    {"imgPinIn", 138, 9, 17, 17},
    {"imgHideAdvanced", 9, 9, 16, 16},
    {"imgAdvanced", 9, 9, 16, 16},
    {"rectMeterMeBackground", 76, 35, 10, 15},
    {"rectMeterThemBackground", 76, 49, 10, 15},
    {"pnlAdvanced", 0, 65, 164, 104},
};

// Columns from the pen position to the last clearly visible pixel of the
// text as the font really renders it (faint antialiasing does not count).
int InkWidth(const QFont& font, const QString& text) {
  constexpr int VisibleBelow = 160;  // grey level a reader still sees on white
  QImage image(200, 40, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPoint(0, 30), text);
  }
  int last = -1;
  for (int x = 0; x < image.width(); ++x) {
    for (int y = 0; y < image.height(); ++y) {
      if (qGray(image.pixel(x, y)) < VisibleBelow) {
        last = x;
      }
    }
  }
  return last + 1;
}

class FormLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    // Not valid: the first refresh changes as little as possible.
    ui = MakeForm({}, false);
    // The layout as created, before the first refresh collapsed it.
    ui->Form->Model().imgAdvancedClick();
  }
  QWidget& Named(const char* name) {
    auto* w = ui->Form->findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return *w;
  }
  std::unique_ptr<TFormUnderTest> ui;
};

TEST_F(FormLayout, EveryControlIsNamedAndFixedOnesSitWhereTheLayoutSays) {
  for (const auto name : ControlNames) {
    EXPECT_NE(ui->Form->findChild<QWidget*>(QString::fromLatin1(name.data(), std::ssize(name))),
              nullptr)
        << name;
  }
  for (const TPlace& p : FixedPlaces) {
    EXPECT_EQ(Named(p.Name).geometry(), QRect(p.Left, p.Top, p.Width, p.Height)) << p.Name;
  }
  EXPECT_EQ(ui->Form->width(), 164);
  EXPECT_EQ(ui->Form->height(), 169);
  EXPECT_EQ(ui->Form->windowTitle(), QStringLiteral("Kestrum Call Monitor"));
}

TEST_F(FormLayout, PanelRowsPairABoldCaptionWithARegularValueOnTheSameTop) {
  struct TRow {
    const char* Caption;
    const char* Text;
    const char* Value;
    int Top;
  };
  const TRow rows[] = {
      {"lblTimeElapsedCaption", "Time Elapsed:", "lblTimeElapsed", 6},
      {"lblTimeRecordedCaption", "Time Recorded:", "lblTimeRecorded", 26},
      {"lblSecsDroppedCaption", "Seconds dropped:", "lblSecsDropped", 46},
      {"lblSecondsDroppedCaption", "Seconds behind:", "lblSecondsBehind", 66},
      {"lblBufPctFullCaption", "Buffer % Full:", "lblPctBufFull", 86},
  };
  QWidget& panel = Named("pnlAdvanced");
  for (const TRow& r : rows) {
    auto& caption = static_cast<QLabel&>(Named(r.Caption));
    auto& value = static_cast<QLabel&>(Named(r.Value));
    EXPECT_EQ(caption.parentWidget(), &panel) << r.Caption;
    EXPECT_EQ(caption.text(), QString::fromLatin1(r.Text));
    EXPECT_EQ(caption.pos(), QPoint(3, r.Top)) << r.Caption;
    EXPECT_EQ(value.pos(), QPoint(116, r.Top)) << r.Value;
    EXPECT_TRUE(QFontInfo(caption.font()).bold()) << r.Caption;
    EXPECT_FALSE(QFontInfo(value.font()).bold()) << r.Value;
    // The caption ends before its value begins.
    EXPECT_LE(3 + QFontMetrics(caption.font()).horizontalAdvance(caption.text()), 116) << r.Caption;
  }
}

TEST_F(FormLayout, LooksOfTheUpperArea) {
  auto& recording = static_cast<QLabel&>(Named("lblRecording"));
  EXPECT_TRUE(QFontInfo(recording.font()).bold());
  EXPECT_EQ(recording.palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
  EXPECT_TRUE(recording.alignment() & Qt::AlignHCenter);
  auto& file = static_cast<QLabel&>(Named("lblFile"));
  EXPECT_TRUE(file.font().underline());
  EXPECT_EQ(file.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(QFontInfo(Named("lblHealth").font()).bold());
  EXPECT_FALSE(QFontInfo(Named("lblSizeCaption").font()).bold());
  for (const char* icon : {"imgPinOut", "imgPinIn", "imgHideAdvanced", "imgAdvanced"}) {
    EXPECT_EQ(Named(icon).cursor().shape(), Qt::PointingHandCursor) << icon;
  }
  EXPECT_EQ(QFontInfo(Named("lblSize").font()).pixelSize(), FormFontPixelSize);
  // Labels and the panel let the window's colour through.
  EXPECT_FALSE(recording.autoFillBackground());
  EXPECT_FALSE(Named("pnlAdvanced").autoFillBackground());
  EXPECT_TRUE(ui->Form->autoFillBackground());
}

TEST_F(FormLayout, EveryTextTheMonitorCanShowFitsItsFixedBox) {
  struct TText {
    const char* Label;
    const char* Text;
  };
  const TText texts[] = {
      {"lblRecording", "Recording"},
      {"lblRecording", "Not Recording"},
      {"lblFile", "File"},
      {"lblSizeCaption", "Size:"},
      {"lblHealthCaption", "Health"},
      {"lblHealth", "Good"},
      {"lblHealth", "Fair"},
      {"lblHealth", "Poor"},
  };
  for (const TText& t : texts) {
    auto& label = static_cast<QLabel&>(Named(t.Label));
    const int ink = InkWidth(label.font(), QString::fromLatin1(t.Text));
    EXPECT_LE(ink, label.width()) << t.Label << " \"" << t.Text << "\" in "
                                  << QFontInfo(label.font()).family().toStdString();
  }
}

}  // namespace
}  // namespace recmon::test
