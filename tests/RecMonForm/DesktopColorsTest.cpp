// Labels in the desktop's colours stay readable on every health colour,
// whatever palette the desktop brings.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QStyle>
#include <vector>

#include "FormFixture.h"
#include "ReadableColor.h"

namespace recmon::test {
namespace {

TColor ToTColor(const QColor& c) {
  return static_cast<TColor>(c.rgb() & 0xFFFFFF);
}

// A dark scheme as qt6ct's "darker" brings it: white text, a dark blue
// highlight, and an inactive group that differs from the active one.
QPalette DarkPalette() {
  QPalette p(QColor(0x42, 0x42, 0x45));
  p.setColor(QPalette::WindowText, Qt::white);
  p.setColor(QPalette::Inactive, QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
  p.setColor(QPalette::Highlight, QColor(0x12, 0x60, 0x8A));
  p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0x30, 0x8C, 0xC6));
  return p;
}

// The palette's own colours where they already pass: a black text and a
// dark link stay exactly as the desktop has them.
QPalette DarkEnoughPalette() {
  QPalette p = QApplication::style()->standardPalette();
  p.setColor(QPalette::WindowText, Qt::black);
  p.setColor(QPalette::Highlight, QColor(0x00, 0x00, 0xAA));
  return p;
}

class DesktopColors : public ::testing::Test {
 protected:
  void SetUp() override { Saved = QApplication::palette(); }
  void TearDown() override { QApplication::setPalette(Saved); }

  // Every label whose colour the layout leaves to the desktop, with the
  // contrast it has on each health colour in each colour group.
  static void ExpectReadable(const TRecMonForm_& form, const char* scheme) {
    int themed = 0;
    for (const TControlDef& def : FormControls) {
      auto* label = qobject_cast<const QLabel*>(&form.ControlWidget(def.Id));
      if (label == nullptr || def.TextColor) {
        continue;
      }
      ++themed;
      for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        const QColor text = label->palette().color(group, label->foregroundRole());
        for (const TColor bg : HealthColors) {
          EXPECT_GE(ContrastRatio(ToTColor(text), bg), MinTextContrast)
              << scheme << ": " << ControlName(def.Id) << " " << text.name().toStdString()
              << " on #" << std::hex << bg << " (group " << group << ")";
        }
      }
    }
    EXPECT_EQ(themed, 15) << "every label but the red Recording";
  }

  QPalette Saved;
};

TEST_F(DesktopColors, EveryThemedLabelIsReadableOnEveryHealthColour) {
  struct Row {
    const char* name;
    QPalette palette;
  };
  const std::vector<Row> rows = {
      {"the style's standard palette", QApplication::style()->standardPalette()},
      {"a dark scheme", DarkPalette()},
      {"a scheme dark enough already", DarkEnoughPalette()},
  };
  for (const Row& row : rows) {
    QApplication::setPalette(row.palette);
    const auto ui = MakeForm({}, false);
    ExpectReadable(*ui->Form, row.name);
  }
}

TEST_F(DesktopColors, KeepsTheDesktopsColoursWhereTheyPassAndDarkensTheLinkOtherwise) {
  QApplication::setPalette(DarkEnoughPalette());
  auto ui = MakeForm({}, false);
  auto& file = static_cast<QLabel&>(ui->Form->ControlWidget(TControl::lblFile));
  auto& size = static_cast<QLabel&>(ui->Form->ControlWidget(TControl::lblSizeCaption));
  EXPECT_EQ(size.palette().color(QPalette::WindowText), QColor(Qt::black));
  EXPECT_EQ(file.palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0xAA));

  QApplication::setPalette(DarkPalette());
  ui = MakeForm({}, false);
  auto& link = static_cast<QLabel&>(ui->Form->ControlWidget(TControl::lblFile));
  const QColor blue = link.palette().color(QPalette::Active, QPalette::WindowText);
  EXPECT_NE(blue, QColor(0x12, 0x60, 0x8A)) << "too light on the pale red window";
  EXPECT_GT(blue.blue(), blue.red()) << "still the highlight's blue, darker";
  EXPECT_TRUE(link.font().underline());
}

TEST_F(DesktopColors, AThemeSwitchedWhileTheWindowIsOpenIsFollowed) {
  QApplication::setPalette(DarkEnoughPalette());
  const auto ui = MakeForm({}, false);
  QApplication::setPalette(DarkPalette());
  ExpectReadable(*ui->Form, "switched to a dark scheme");
  // Fixed colours stay: the red caption and the health colour of the window.
  auto& recording = static_cast<QLabel&>(ui->Form->ControlWidget(TControl::lblRecording));
  EXPECT_EQ(recording.palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
  EXPECT_EQ(ui->Form->palette().color(QPalette::Window), QColor(0xCC, 0xFF, 0xCC));
}

}  // namespace
}  // namespace recmon::test
