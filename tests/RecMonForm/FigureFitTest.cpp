// Detail-panel figures stay whole inside the 164-pixel window: ordinary ones
// where the layout puts them, long ones moved left and condensed.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <vector>

#include "FigureFit.h"
#include "FormFixture.h"
#include "FormFont.h"
#include "FormSurface.h"

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
      {"fits where the layout puts it", 10, 0, 10 + width, {10, 100}},
      {"moves left just enough", 10, 0, 9 + width, {9, 100}},
      {"moves left up to the caption", 10, 5, 5 + width, {5, 100}},
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
  EXPECT_EQ(FitFigure(font, text, 10, 5, 6), (TFigureFit{5, MinFigureStretch})) << "nothing fits";
}

}  // namespace
}  // namespace recmon::test
