// The window tests need one QApplication for the whole run, offscreen, with the program's
// page scheme registered before it, as the program does.

#include <gtest/gtest.h>

#include <QApplication>

#include "widgets/page_scheme.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  trevalo::RegisterPageScheme();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
