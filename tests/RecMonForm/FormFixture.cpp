#include "FormFixture.h"

#include <algorithm>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPainter>
#include <QTextDocument>
#include <QTimer>

namespace recmon::test {

namespace {

void Construct(TFormUnderTest& into, const TRecMonSnapshot& record, bool valid, bool realBoxes) {
  auto platform = std::make_unique<TMemoryPlatform>();
  into.Platform = platform.get();
  auto* out = &into;
  TChannelFactory makeChannel = [out, record, valid] {
    auto source = std::make_unique<TMemoryStatusSource>();
    if (valid) {
      source->Bytes = EncodeStatus(record);
    }
    out->Source = source.get();
    return std::unique_ptr<IStatusSource>(std::move(source));
  };
  TErrorPresenter present;
  if (!realBoxes) {
    present = [out](const QString& text) { out->Errors.push_back(text); };
  }
  into.Form = std::make_unique<TRecMonForm_>(std::move(platform), std::move(makeChannel), present);
}

}  // namespace

void BuildForm(TFormUnderTest& into, const TRecMonSnapshot& record, bool valid, bool realBoxes) {
  Construct(into, record, valid, realBoxes);
  into.Form->PrepareTexts();
}

std::unique_ptr<TFormUnderTest> MakeForm(const TRecMonSnapshot& record, bool valid,
                                         bool realBoxes) {
  auto result = std::make_unique<TFormUnderTest>();
  BuildForm(*result, record, valid, realBoxes);
  return result;
}

std::unique_ptr<TFormUnderTest> MakeUnshownForm(const TRecMonSnapshot& record) {
  auto result = std::make_unique<TFormUnderTest>();
  Construct(*result, record, true, false);
  return result;
}

TRecMonForm_* OpenForm() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* form = qobject_cast<TRecMonForm_*>(w)) {
      return form;
    }
  }
  return nullptr;
}

std::string TextOf(const TRecMonForm_& form, TControl control) {
  const auto* label = qobject_cast<const QLabel*>(&form.ControlWidget(control));
  return label == nullptr ? std::string() : label->text().toStdString();
}

QString ToolTipShown(const QWidget& widget) {
  QTextDocument document;
  document.setHtml(widget.toolTip());
  return document.toPlainText().remove(QChar(0x200B));
}

QImage DrawnText(const QFont& font, const QString& text, QSize size, QPoint pen) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setFont(font);
  p.setPen(Qt::black);
  p.drawText(pen, text);
  return image;
}

std::pair<int, int> InkColumns(const QFont& font, const QString& text) {
  constexpr int VisibleBelow = 160;  // grey level a reader still sees on white
  const QImage image = DrawnText(font, text, QSize(300, 40), QPoint(0, 30));
  int first = image.width();
  int last = -1;
  for (int x = 0; x < image.width(); ++x) {
    for (int y = 0; y < image.height(); ++y) {
      if (qGray(image.pixel(x, y)) < VisibleBelow) {
        first = std::min(first, x);
        last = x;
      }
    }
  }
  return {first, last + 1};
}

void Wait(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace recmon::test
