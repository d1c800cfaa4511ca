// Detail-panel figures stay whole inside the 164-pixel window: ordinary ones
// where the layout puts them, long ones moved left and condensed.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "FigureFit.h"
#include "FormFixture.h"
#include "FormFont.h"
#include "FormSurface.h"
#include "TimeReadouts.h"
#include "ToolTipText.h"

namespace recmon::test {
namespace {

class FigureFitInPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    ui = MakeForm({}, false);
    ui->Form->Model().imgAdvancedClick();
    TControlWidgets widgets{};
    for (const TControlDef& def : FormControls) {
      widgets[ControlIndex(def.Id)] = &ui->Form->ControlWidget(def.Id);
    }
    surface = std::make_unique<TFormSurface>(*ui->Form, widgets);
    surface->MeasureTexts();
  }
  QLabel& Label(TControl control) { return static_cast<QLabel&>(ui->Form->ControlWidget(control)); }
  std::unique_ptr<TFormUnderTest> ui;
  std::unique_ptr<TFormSurface> surface;
};

TEST_F(FigureFitInPanel, EveryFigureStaysWholeInsideTheWindowAndClearOfItsCaption) {
  struct Row {
    const char* name;
    TControl value;
    TControl caption;
    const char* text;
    bool atLayoutPlace;  // ordinary figures keep the layout's left and width
  };
  const std::vector<Row> rows = {
      {"no loss", TControl::lblSecsDropped, TControl::lblSecsDroppedCaption, "0", true},
      {"a day's elapsed time", TControl::lblTimeElapsed, TControl::lblTimeElapsedCaption,
       "23:59:58", true},
      {"a full buffer", TControl::lblPctBufFull, TControl::lblBufPctFullCaption, "100%", true},
      {"a short loss with its parts", TControl::lblSecsDropped, TControl::lblSecsDroppedCaption,
       "12 (10/2)", true},
      {"1250 s dropped, 1000 of them ours", TControl::lblSecsDropped,
       TControl::lblSecsDroppedCaption, "1250 (1000/250)", false},
      {"1102 s behind", TControl::lblSecondsBehind, TControl::lblSecondsDroppedCaption,
       "1102 (1097/5)", false},
      {"a long call behind by hours", TControl::lblSecondsBehind,
       TControl::lblSecondsDroppedCaption, "13000 (12990/10)", false},
  };
  for (const Row& row : rows) {
    surface->SetCaption(row.value, row.text);
    QLabel& value = Label(row.value);
    const QWidget& caption = Label(row.caption);
    const auto [first, last] = InkColumns(value.font(), value.text());
    const int captionEnd = caption.x() + caption.width();
    EXPECT_EQ(value.text().toStdString(), row.text);
    EXPECT_GT(value.x() + first, captionEnd) << row.name << ": touches its caption";
    EXPECT_LE(value.x() + last, FormClientWidth - 1) << row.name << ": cut at the window's edge";
    EXPECT_LE(last, value.width()) << row.name << ": cut by its own box";
    if (row.atLayoutPlace) {
      EXPECT_EQ(value.x(), layout::RowValueLeft) << row.name;
      EXPECT_EQ(value.font(), FormFont()) << row.name;
    }
  }
}

TEST_F(FigureFitInPanel, AFigureThatShrinksAgainReturnsToTheLayoutsPlaceAndFace) {
  surface->SetCaption(TControl::lblSecsDropped, "1250 (1000/250)");
  ASSERT_LT(Label(TControl::lblSecsDropped).x(), layout::RowValueLeft);
  surface->SetCaption(TControl::lblSecsDropped, "3 (2/1)");
  EXPECT_EQ(Label(TControl::lblSecsDropped).x(), layout::RowValueLeft);
  EXPECT_EQ(Label(TControl::lblSecsDropped).font(), FormFont());
}

TEST(FitFigure, PrefersTheLayoutsPlaceThenMovingLeftThenCondensing) {
  const QFont font = FormFont();
  const QString text = QStringLiteral("1250 (1000/250)");
  const int width = QFontMetrics(font).horizontalAdvance(text);
  struct Row {
    const char* name;
    int layoutLeft, leftmost, rightEdge;
    TFigureFit expected;
  };
  const std::vector<Row> rows = {
      {"fits where the layout puts it", 10, 0, 10 + width, {10, 100, text}},
      {"moves left just enough", 10, 0, 9 + width, {9, 100, text}},
      {"moves left up to the caption", 10, 5, 5 + width, {5, 100, text}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FitFigure(font, text, row.layoutLeft, row.leftmost, row.rightEdge), row.expected)
        << row.name;
  }
  const TFigureFit condensed = FitFigure(font, text, 10, 5, 4 + width);
  EXPECT_EQ(
      condensed.Left + 0, 4 + width -
                              [&] {
                                QFont f = font;
                                f.setStretch(condensed.Stretch);
                                return QFontMetrics(f).horizontalAdvance(text);
                              }())
      << "right-aligned once condensed";
  EXPECT_LT(condensed.Stretch, 100);
  const TFigureFit elided = FitFigure(font, text, 10, 5, 40);
  EXPECT_EQ(elided.Left, 5) << "elided from the caption on";
  EXPECT_EQ(elided.Stretch, MinFigureStretch) << "elided only once condensed as far as it goes";
  EXPECT_TRUE(elided.Elided);
  EXPECT_TRUE(elided.Shown.endsWith(QChar(0x2026))) << elided.Shown.toStdString();
  QFont narrowest = font;
  narrowest.setStretch(MinFigureStretch);
  EXPECT_LE(QFontMetrics(narrowest).horizontalAdvance(elided.Shown), 35);
  // A font condensed by an earlier fit measures at its normal width again.
  QFont condensedBefore = font;
  condensedBefore.setStretch(70);
  EXPECT_EQ(FitFigure(condensedBefore, text, 10, 0, 9 + width), (TFigureFit{9, 100, text}));
}

// The longest texts each figure can show: a record's byte counts up to
// 4294967295, signed 32-bit results down to -2147483648, durations past a
// day. Each stays inside the window and clear of its caption as drawn; it is
// elided only when even the most condensed text does not fit, and then the
// whole text is in its tooltip and accessible name.
TEST_F(FigureFitInPanel, TheLongestTextOfEveryFigureStaysInsideTheWindow) {
  const std::string int32Min = std::to_string(std::numeric_limits<std::int32_t>::min());
  const std::string int32Max = std::to_string(std::numeric_limits<std::int32_t>::max());
  constexpr std::uint32_t MaxBytes = std::numeric_limits<std::uint32_t>::max();
  constexpr double Day = 1.0;
  struct Row {
    const char* name;
    TControl value;
    TControl caption;
    std::string text;
  };
  const std::vector<Row> rows = {
      {"25 hours elapsed", TControl::lblTimeElapsed, TControl::lblTimeElapsedCaption,
       FormatDuration(Extended{25.0L / 24}, ":")},
      {"a long time separator", TControl::lblTimeElapsed, TControl::lblTimeElapsedCaption,
       FormatDuration(Extended{Day - 1.0L / 86400}, " h ")},
      {"all of the record's bytes recorded", TControl::lblTimeRecorded,
       TControl::lblTimeRecordedCaption, FormatDuration(AudioSpanDays(MaxBytes), ":")},
      {"all of the record's bytes dropped", TControl::lblSecsDropped,
       TControl::lblSecsDroppedCaption, SecondsDroppedText(MaxBytes, MaxBytes, MaxBytes)},
      {"behind by the most a 32-bit count holds", TControl::lblSecondsBehind,
       TControl::lblSecondsDroppedCaption, int32Max + " (" + int32Min + "/" + int32Min + ")"},
      {"a day behind", TControl::lblSecondsBehind, TControl::lblSecondsDroppedCaption,
       SecondsBehindText(2 * Day, Day, Day, 0)},
      {"the lowest buffer percentage", TControl::lblPctBufFull, TControl::lblBufPctFullCaption,
       int32Min + "%"},
      {"the highest buffer percentage", TControl::lblPctBufFull, TControl::lblBufPctFullCaption,
       int32Max + "%"},
  };
  for (const Row& row : rows) {
    surface->SetCaption(row.value, row.text);
    QLabel& value = Label(row.value);
    const QWidget& caption = Label(row.caption);
    const QString whole = QString::fromStdString(row.text);
    const auto [first, last] = InkColumns(value.font(), value.text());
    const int captionEnd = caption.x() + caption.width();
    EXPECT_GT(value.x() + first, captionEnd) << row.name << ": touches its caption";
    EXPECT_LE(value.x() + last, FormClientWidth - 1) << row.name << ": cut at the window's edge";
    EXPECT_LE(last, value.width()) << row.name << ": cut by its own box";
    EXPECT_TRUE(value.accessibleName().endsWith(whole))
        << row.name << ": " << value.accessibleName().toStdString();
    if (value.text() == whole) {
      EXPECT_TRUE(value.toolTip().isEmpty()) << row.name << ": a whole figure needs no tooltip";
    } else {
      // Elided only when the whole text, condensed as far as it goes, is
      // wider than the room beside the caption.
      QFont narrowest = FormFont();
      narrowest.setStretch(MinFigureStretch);
      EXPECT_GT(QFontMetrics(narrowest).horizontalAdvance(whole),
                FormClientWidth - FigureEdgeMargin - captionEnd - FigureGap)
          << row.name << ": elided as " << value.text().toStdString();
      EXPECT_TRUE(value.text().endsWith(QChar(0x2026))) << row.name;
      EXPECT_EQ(value.toolTip(), LiteralToolTip(whole)) << row.name;
      EXPECT_EQ(value.accessibleDescription(), whole) << row.name << ": plain text, no markup";
      EXPECT_EQ(value.font().stretch(), MinFigureStretch) << row.name;
    }
  }
  // The same figure short again: whole, in the layout's place and face, no
  // tooltip.
  surface->SetCaption(TControl::lblSecondsBehind, "3 (3/0)");
  EXPECT_EQ(Label(TControl::lblSecondsBehind).text(), QStringLiteral("3 (3/0)"));
  EXPECT_EQ(Label(TControl::lblSecondsBehind).x(), layout::RowValueLeft);
  EXPECT_EQ(Label(TControl::lblSecondsBehind).font(), FormFont());
  EXPECT_TRUE(Label(TControl::lblSecondsBehind).toolTip().isEmpty());
  EXPECT_TRUE(Label(TControl::lblSecondsBehind).accessibleDescription().isEmpty());
}

// While a figure grows past the window's width, each new text is fitted
// from the normal width again: a text condensed for one value is not taken
// as already narrow enough for the next.
TEST_F(FigureFitInPanel, ARisingFigureStaysWholeEverySecond) {
  for (int behind = 3590; behind <= 3610; ++behind) {
    const std::string text = std::to_string(behind) + " (0/" + std::to_string(behind) + ")";
    surface->SetCaption(TControl::lblSecondsBehind, text);
    QLabel& value = Label(TControl::lblSecondsBehind);
    const auto [first, last] = InkColumns(value.font(), value.text());
    EXPECT_EQ(value.text().toStdString(), text);
    EXPECT_LE(value.x() + last, FormClientWidth - 1) << text;
  }
}

}  // namespace
}  // namespace recmon::test
