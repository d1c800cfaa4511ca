// The yardstick for the monitor's cost on a desktop: a bare Qt tool window of
// the monitor's size that updates three labels every 200 ms.

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
  window.setWindowTitle("Baseline Tool Window");
  window.setFixedSize(164, 169);

  QLabel first(&window);
  QLabel second(&window);
  QLabel third(&window);
  first.setGeometry(12, 10, 140, 13);
  second.setGeometry(12, 32, 140, 13);
  third.setGeometry(12, 50, 140, 13);

  int ticks = 0;
  const auto update = [&] {
    ++ticks;
    first.setText(QString::number(ticks));
    second.setText(QDateTime::currentDateTime().toString("hh:mm:ss.zzz"));
    third.setText(QString::number(ticks * 95232LL / 1024) + " KB");
  };
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, update);
  timer.start(200);
  update();
  window.show();
  // Like the monitor, end the program when the tool window closes.
  QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
  return QApplication::exec();
}
