#include "ErrorBox.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QRect>
#include <QScreen>

namespace recmon {

TErrorBox::TErrorBox(const QString& text) {
  setIcon(QMessageBox::Critical);
  setWindowTitle(QString::fromLatin1(ErrorBoxCaption));
  setText(text);
  QPushButton* ok = addButton(QString::fromLatin1(ErrorBoxButton), QMessageBox::AcceptRole);
  setDefaultButton(ok);
  setEscapeButton(ok);
}

void TErrorBox::showEvent(QShowEvent* event) {
  // The box has its final size only once QMessageBox has laid it out here;
  // moving it now, before it is mapped, avoids a visible jump.
  QMessageBox::showEvent(event);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

}  // namespace recmon
