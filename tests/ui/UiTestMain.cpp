// Runs one registered window test class: `ui_tests Class [Qt Test options]`; without a class it
// lists them.
#include "UiTestMain.h"

#include <QApplication>
#include <QtTest>

#include <cstdio>
#include <cstring>

using tessaly::testing::UiTestClass;
using tessaly::testing::UiTestClasses;

int main(int argc, char* argv[]) {
  const UiTestClass* chosen = nullptr;
  if (argc > 1)
    for (const UiTestClass& test : UiTestClasses())
      if (std::strcmp(test.name, argv[1]) == 0) chosen = &test;
  if (!chosen) {
    std::fprintf(stderr, "usage: %s CLASS [Qt Test options]; classes:\n", argv[0]);
    for (const UiTestClass& test : UiTestClasses()) std::fprintf(stderr, "  %s\n", test.name);
    return 2;
  }
  if (chosen->prepare) chosen->prepare();
  // The class name is the runner's; Qt Test sees the program name and the options after it.
  argv[1] = argv[0];
  int qtArgc = argc - 1;
  QApplication app(qtArgc, argv + 1);
  std::unique_ptr<QObject> test = chosen->make();
  return QTest::qExec(test.get(), qtArgc, argv + 1);
}
