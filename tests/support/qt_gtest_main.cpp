// GoogleTest main for tests that need a QApplication (widgets run on the offscreen platform,
// set by the test properties).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
  // Listing the tests for ctest needs no display.
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  std::unique_ptr<QApplication> app;
  if (!listing) app = std::make_unique<QApplication>(argc, argv);
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
