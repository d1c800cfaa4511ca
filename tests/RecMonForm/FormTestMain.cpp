// One application object for every widget test, on the offscreen platform
// that the test registration selects.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "MonitorStyle.h"

int main(int argc, char** argv) {
  // Listing the tests at build time runs this program too, without the
  // test's environment.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) {
    // Listing needs no widgets, and an application object would complain
    // about the build's environment (no runtime folder) in the build log.
    return RUN_ALL_TESTS();
  }
  QApplication app(argc, argv);
  QApplication::setStyle(new recmon::TMonitorStyle);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
