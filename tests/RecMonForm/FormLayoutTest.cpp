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

// Columns from the pen position to the last clearly visible pixel of the
// text as the font really renders it (faint antialiasing does not count).
int InkWidth(const QFont& font, const QString& text) {
  return InkColumns(font, text).second;
}

// Fully dark pixels of the text drawn black on white: how heavy the face
// really renders.
int DarkPixels(const QFont& font, const QString& text) {
  const QImage image = DrawnText(font, text, QSize(200, 40), QPoint(2, 30));
  int dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
  }
  return dark;
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

TEST_F(FormLayout, EveryControlIsBuiltAsTheLayoutTableSays) {
  QWidget& panel = Named("pnlAdvanced");
  for (const TControlDef& def : FormControls) {
    const std::string_view name = ControlName(def.Id);
    auto* w = ui->Form->findChild<QWidget*>(QString::fromLatin1(name.data(), std::ssize(name)));
    ASSERT_NE(w, nullptr) << name;
    EXPECT_EQ(w, &ui->Form->ControlWidget(def.Id)) << name;
    EXPECT_EQ(w->parentWidget(), def.InPanel ? &panel : ui->Form.get()) << name;
    if (def.TakesSizeOfText()) {
      EXPECT_EQ(w->pos(), QPoint(def.Left, def.Top)) << name;
    } else if (def.Id != TControl::rectMeterMe && def.Id != TControl::rectMeterThem) {
      // The bars move onto their backgrounds when the window is shown.
      EXPECT_EQ(w->geometry(), QRect(def.Left, def.Top, def.Width, def.Height)) << name;
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
      EXPECT_EQ(QFontInfo(label->font()).bold(), def.Bold) << name;
      EXPECT_EQ(label->textFormat(), Qt::PlainText) << name;
    }
    EXPECT_EQ(w->cursor().shape() == Qt::PointingHandCursor, def.HandCursor) << name;
  }
  EXPECT_EQ(ui->Form->width(), FormClientWidth);
  EXPECT_EQ(ui->Form->height(), FormClientHeight);
  EXPECT_EQ(ui->Form->windowTitle(), QStringLiteral("Kestrum Call Monitor"));
}

TEST_F(FormLayout, EachPanelCaptionEndsBeforeItsValueBegins) {
  for (const TControlDef& def : FormControls) {
    if (def.InPanel && def.Bold) {
      auto& caption = static_cast<QLabel&>(ui->Form->ControlWidget(def.Id));
      EXPECT_LE(def.Left + QFontMetrics(caption.font()).horizontalAdvance(caption.text()),
                layout::RowValueLeft)
          << ControlName(def.Id);
    }
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

// The bold labels must look bold at the layout's 8 points: a bold face that
// carries the regular outlines draws as many dark pixels as the regular one.
TEST_F(FormLayout, BoldLabelsRenderVisiblyHeavierWithTheAdvancesOfTheBoldFace) {
  const QString sample = QStringLiteral("Recording");
  const QFont regular = FormFont();
  QFont designedBold = FormFont();
  designedBold.setBold(true);
  const int regularInk = DarkPixels(regular, sample);
  for (const TControlDef& def : FormControls) {
    if (def.Kind != TControlKind::Label || !def.Bold) {
      continue;
    }
    const QFont font = static_cast<QLabel&>(ui->Form->ControlWidget(def.Id)).font();
    EXPECT_GE(DarkPixels(font, sample), regularInk * 13 / 10)
        << ControlName(def.Id) << " in " << QFontInfo(font).family().toStdString() << " "
        << QFontInfo(font).styleName().toStdString();
    // Near-identical advances: the boxes were made for the bold face's.
    const int designed = QFontMetrics(designedBold).horizontalAdvance(sample);
    EXPECT_NEAR(QFontMetrics(font).horizontalAdvance(sample), designed, designed / 20)
        << ControlName(def.Id);
  }
}

TEST_F(FormLayout, BoldAndRegularLabelsOnOneRowShareTheirBaseline) {
  const auto baseline = [](const QLabel& label) {
    return label.y() + label.contentsRect().top() + QFontMetrics(label.font()).ascent();
  };
  int rows = 0;
  for (const TControlDef& caption : FormControls) {
    for (const TControlDef& value : FormControls) {
      if (caption.Kind == TControlKind::Label && value.Kind == TControlKind::Label &&
          caption.Bold && !value.Bold && caption.Top == value.Top &&
          caption.InPanel == value.InPanel) {
        ++rows;
        EXPECT_EQ(baseline(static_cast<QLabel&>(ui->Form->ControlWidget(caption.Id))),
                  baseline(static_cast<QLabel&>(ui->Form->ControlWidget(value.Id))))
            << ControlName(caption.Id) << " beside " << ControlName(value.Id);
      }
    }
  }
  EXPECT_EQ(rows, 6) << "five panel rows and the size beside the grade";
}

}  // namespace
}  // namespace recmon::test
