#pragma once
// The one application object of a window-test program, made by whichever test needs it first.
#include <QApplication>

namespace vexa::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "vexa_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = QApplication::instance() != nullptr
                                 ? static_cast<QApplication*>(QApplication::instance())
                                 : new QApplication(argc, argv);
  return *app;
}

}  // namespace vexa::test
