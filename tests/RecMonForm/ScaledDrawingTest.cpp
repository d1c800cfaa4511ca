// The window drawn at the scales desktops use: meter borders of whole,
// equal device pixels on every side.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <vector>

#include "DevicePlacement.h"
#include "FormFixture.h"

namespace recmon::test {
namespace {

bool IsBorder(QRgb pixel) {
  return qGray(pixel) < 60;
}

// Lengths of the runs of border pixels met along a line of pixels.
std::vector<int> BorderRuns(const std::vector<QRgb>& line) {
  std::vector<int> runs;
  int run = 0;
  for (const QRgb pixel : line) {
    if (IsBorder(pixel)) {
      ++run;
    } else if (run > 0) {
      runs.push_back(run);
      run = 0;
    }
  }
  if (run > 0) {
    runs.push_back(run);
  }
  return runs;
}

TEST(ScaledDrawing, MeterBordersAreEvenWholeDevicePixelsAtEveryScale) {
  const auto ui = MakeForm({}, false);
  const QWidget& meter = ui->Form->ControlWidget(TControl::rectMeterMeBackground);
  for (const double scale : {1.0, 1.25, 1.5, 1.75, 2.0}) {
    QImage image(static_cast<int>(std::ceil(ui->Form->width() * scale)),
                 static_cast<int>(std::ceil(ui->Form->height() * scale)), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::gray);
    ui->Form->render(&image);
    const QRect m = meter.geometry();
    // Across the middle of the background, a little beyond either side.
    std::vector<QRgb> row;
    const int y = static_cast<int>((m.top() + m.height() / 2.0) * scale);
    for (int x = static_cast<int>((m.left() - 2) * scale); x < (m.right() + 3) * scale; ++x) {
      row.push_back(image.pixel(x, y));
    }
    // Down the middle, from above the top border to the shared row with the
    // "them" meter below.
    std::vector<QRgb> column;
    const int x = static_cast<int>((m.left() + m.width() / 2.0) * scale);
    for (int yy = static_cast<int>((m.top() - 2) * scale); yy < (m.bottom() - 2) * scale; ++yy) {
      column.push_back(image.pixel(x, yy));
    }
    const int expected = std::max(1, static_cast<int>(std::floor(scale)));
    EXPECT_EQ(BorderRuns(row), (std::vector<int>{expected, expected})) << "scale " << scale;
    EXPECT_EQ(BorderRuns(column), (std::vector<int>{expected})) << "scale " << scale;
  }
}

// A 1280 x 800 work area as Qt reports it at each scale: logical lengths are
// the device lengths divided by the scale, rounded.
TEST(DevicePlacement, TheOuterCornerLandsOnTheWorkAreasLastDevicePixel) {
  struct Row {
    const char* name;
    TAxisSpan span;
    int outerEnd, frameAfter, client;
    int start;
  };
  const std::vector<Row> rows = {
      {"unscaled", {0, 1280, 0, 1280}, 1280, 1, 164, 1115},
      {"1.25: 164 logical are 205 device", {0, 1024, 0, 1280}, 1024, 1, 205, 1074},
      {"1.5: 853 logical stand for 1280 device", {0, 853, 0, 1280}, 853, 1, 246, 1033},
      {"1.5 vertically: 533 for 800", {0, 533, 0, 800}, 533, 1, 106, 693},
      {"2: an odd device position no logical one reaches", {0, 640, 0, 1280}, 640, 1, 328, 951},
      {"1.75: 731 logical would give 1279 by scaling alone", {0, 731, 0, 1280}, 731, 1, 287, 992},
      {"a work area that starts after a left panel", {40, 600, 80, 1200}, 640, 2, 328, 950},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DeviceClientStart(row.outerEnd, row.span, row.frameAfter, row.client), row.start)
        << row.name;
  }
  // A monitor's usable edges in logical pixels: Qt keeps the screen's
  // origin and scales from it.
  EXPECT_EQ(LogicalEdge(1240, 0, 1.0), 1240) << "unscaled";
  EXPECT_EQ(LogicalEdge(770, 0, 2.0), 385) << "2, first monitor";
  EXPECT_EQ(LogicalEdge(2560, 1280, 1.5), 2133) << "1.5, the monitor right of the first";
  EXPECT_EQ(LogicalEdge(1280, 1280, 1.5), 1280) << "the origin itself";
  // Inside the area a logical edge lands within a device pixel of its
  // scaled position.
  const TAxisSpan span{0, 853, 0, 1280};
  for (int logical = 0; logical <= 853; ++logical) {
    EXPECT_NEAR(DeviceEdge(logical, span), logical * 1.5, 1.0) << logical;
  }
}

}  // namespace
}  // namespace recmon::test
