// Texts from the record are shown literally in tooltips, and a long path
// wraps inside the screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <string>

#include "FormFixture.h"
#include "ToolTipText.h"
#include "TypicalCall.h"

namespace recmon::test {
namespace {

TEST(LiteralToolTip, ShowsEveryTextAsItIs) {
  const char* texts[] = {
      "<h1><font color=red>Recording STOPPED</font></h1>",
      "<img src=/usr/share/pixmaps/debian-logo.png>",
      "/home/me/Calls/a & b <x>.wav",
      "Recording buffer is 60% full.  Close other apps to improve recording health.",
      "/home/me/Calls/&lt;not an entity&gt;.wav",
  };
  for (const char* text : texts) {
    QLabel shown;
    shown.setToolTip(LiteralToolTip(QString::fromUtf8(text)));
    EXPECT_EQ(ToolTipShown(shown), QString::fromUtf8(text)) << text;
  }
  EXPECT_TRUE(LiteralToolTip({}).isEmpty());
}

TEST(LiteralToolTip, OffersABreakAtLeastEveryFortyCharacters) {
  const QString tip = LiteralToolTip(QString(200, u'x') + u'/' + QString(10, u'y'));
  int run = 0;
  int longest = 0;
  for (const QChar c : tip.mid(tip.indexOf(u'>') + 1)) {
    run = c == QChar(0x200B) ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  EXPECT_LE(longest, ToolTipLongestRun);
}

// The tooltip window as it shows on screen.
QWidget* ToolTipWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->inherits("QTipLabel") && w->isVisible()) {
      return w;
    }
  }
  return nullptr;
}

TEST(FileToolTip, AMarkupOrOverlongNameShowsLiterallyAndInsideTheScreen) {
  TRecMonSnapshot call = TypicalCall(46000.5, 0);
  const std::string folder = "/home/me/<h1><font color=red>Recording STOPPED</font></h1>/";
  call.FileName = folder + std::string(RecMonFileNameSize - folder.size() - 4, 'n') + ".wav";
  const auto ui = MakeForm(call);
  ASSERT_TRUE(ui->Errors.empty());
  ui->Form->show();
  QWidget& file = ui->Form->ControlWidget(TControl::lblFile);
  EXPECT_EQ(ToolTipShown(file), QString::fromStdString(call.FileName));

  QToolTip::showText(file.mapToGlobal(QPoint(2, 2)), file.toolTip(), &file);
  const QWidget* tip = ToolTipWindow();
  ASSERT_NE(tip, nullptr);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_TRUE(screen.contains(tip->geometry())) << tip->width() << "x" << tip->height();
  QToolTip::hideText();
}

}  // namespace
}  // namespace recmon::test
