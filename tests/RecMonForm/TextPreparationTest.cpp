// The window measures its texts only once it is exposed: before that nothing
// may need Qt's font database (filling it takes milliseconds, which would
// hold up the window's mapping), yet by its first paint every label must
// have the font, size and place it would have had if measured at once.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMargins>
#include <QTest>
#include <map>
#include <ostream>

#include "FormFixture.h"
#include "TypicalCall.h"

namespace recmon::test {
namespace {

// A call whose loss and delay figures are too long for the layout's place:
// "1250 (1000/250)" s dropped and "1102 (1097/5)" s behind.
TRecMonSnapshot LongFigures() {
  const TMemoryPlatform platform;
  TRecMonSnapshot s = TypicalCall(platform.Clock, platform.Ticks);
  s.BytesDropped = 1250 * AudioBytesPerSecond;
  s.BytesDropped1 = 1000 * AudioBytesPerSecond;
  s.BytesDropped2 = 250 * AudioBytesPerSecond;
  s.LastUpdateTime = platform.Clock - DaysFromSeconds(5);
  s.StartTime = s.LastUpdateTime - DaysFromSeconds(1192);
  return s;
}

QLabel& Label(const TFormUnderTest& ui, TControl control) {
  return static_cast<QLabel&>(ui.Form->ControlWidget(control));
}

// What decides how a label's text lands on the screen.
struct TLook {
  QString Text;
  QRect Geometry;
  QFont Font;
  QMargins Margins;
  bool operator==(const TLook&) const = default;
};

void PrintTo(const TLook& look, std::ostream* os) {
  *os << '"' << look.Text.toStdString() << "\" at " << look.Geometry.x() << ',' << look.Geometry.y()
      << ' ' << look.Geometry.width() << 'x' << look.Geometry.height() << " in "
      << look.Font.toString().toStdString() << ", top margin " << look.Margins.top();
}

TLook LookOf(const QLabel& label) {
  return {label.text(), label.geometry(), label.font(), label.contentsMargins()};
}

// Expects every label of both windows to look the same.
void ExpectSameLabels(const TFormUnderTest& actual, const TFormUnderTest& expected,
                      const char* what) {
  for (const TControlDef& def : FormControls) {
    if (def.Kind == TControlKind::Label) {
      EXPECT_EQ(LookOf(Label(actual, def.Id)), LookOf(Label(expected, def.Id)))
          << what << ": " << ControlName(def.Id);
    }
  }
}

// Notes how each watched label looked when it was first painted.
class TFirstPaints final : public QObject {
 public:
  void Watch(QLabel& label) { label.installEventFilter(this); }
  std::map<const QObject*, TLook> Seen;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && Seen.count(watched) == 0) {
      Seen.emplace(watched, LookOf(static_cast<const QLabel&>(*watched)));
    }
    return false;
  }
};

TEST(TextPreparation, BeforeTheWindowIsShownItsTextsAreSetButNoneIsMeasured) {
  const auto ui = MakeUnshownForm(LongFigures());
  EXPECT_EQ(Label(*ui, TControl::lblSecsDropped).text(), QStringLiteral("1250 (1000/250)"))
      << "the first refresh has run";
  EXPECT_FALSE(ui->Form->testAttribute(Qt::WA_SetFont));
  for (const TControlDef& def : FormControls) {
    if (def.Kind != TControlKind::Label) {
      continue;
    }
    const QLabel& label = Label(*ui, def.Id);
    EXPECT_FALSE(label.testAttribute(Qt::WA_SetFont)) << ControlName(def.Id);
    if (def.TakesSizeOfText()) {
      EXPECT_EQ(label.geometry(), QRect(def.Left, def.Top, 0, 0)) << ControlName(def.Id);
    }
  }
}

TEST(TextPreparation, ByItsFirstPaintEveryLabelLooksAsIfMeasuredAtOnce) {
  const auto expected = MakeForm(LongFigures());
  expected->Form->Model().imgAdvancedClick();
  const auto ui = MakeUnshownForm(LongFigures());
  ui->Form->Model().imgAdvancedClick();
  TFirstPaints paints;
  for (const TControlDef& def : FormControls) {
    if (def.Kind == TControlKind::Label) {
      paints.Watch(Label(*ui, def.Id));
    }
  }
  ui->Form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(ui->Form.get()));
  QCoreApplication::processEvents();
  for (const TControlDef& def : FormControls) {
    if (def.Kind != TControlKind::Label) {
      continue;
    }
    const auto seen = paints.Seen.find(&Label(*ui, def.Id));
    ASSERT_NE(seen, paints.Seen.end()) << ControlName(def.Id) << " never painted";
    EXPECT_EQ(seen->second, LookOf(Label(*expected, def.Id))) << ControlName(def.Id);
  }
  EXPECT_LT(Label(*ui, TControl::lblSecsDropped).x(), layout::RowValueLeft) << "fitted";
}

TEST(TextPreparation, TextsMeasuredLateMatchTextsMeasuredAsTheyChange) {
  // Measured as they change: prepared over an ordinary call, then given the
  // long figures, and back.
  const auto changing = MakeForm(TypicalCall(TMemoryPlatform().Clock, 0));
  changing->Source->Bytes = EncodeStatus(LongFigures());
  changing->Form->OnTimer();
  ExpectSameLabels(*changing, *MakeForm(LongFigures()), "long figures");
  changing->Source->Bytes = EncodeStatus(TypicalCall(TMemoryPlatform().Clock, 0));
  changing->Form->OnTimer();
  ExpectSameLabels(*changing, *MakeForm(TypicalCall(TMemoryPlatform().Clock, 0)),
                   "ordinary figures again");
}

}  // namespace
}  // namespace recmon::test
