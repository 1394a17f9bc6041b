// The one QApplication of the GUI tests. It lives from the first test that needs it to the end of
// the run and goes before exit, while the libraries it uses are still there.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

namespace kx7 {

inline void EnsureApplication() {
  struct ApplicationEnvironment : ::testing::Environment {
    void TearDown() override { delete QCoreApplication::instance(); }
  };
  if (QCoreApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tests_gui";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
  ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);
}

}  // namespace kx7
