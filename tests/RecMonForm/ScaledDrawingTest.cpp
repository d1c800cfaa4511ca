// The window drawn at the scales desktops use: meter borders of whole,
// equal device pixels on every side.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <vector>

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

}  // namespace
}  // namespace recmon::test
