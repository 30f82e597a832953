// The window tests share one executable: each test class registers itself here, and the runner
// starts the one named on the command line (ctest gives each its own process, so no class sees
// another's settings, hooks or screen).
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace tessaly::testing {

struct UiTestClass {
  const char* name;
  std::function<std::unique_ptr<QObject>()> make;
  // Runs before the application is made (a class that needs its own screen sets it up here).
  std::function<void()> prepare;
};

inline std::vector<UiTestClass>& UiTestClasses() {
  static std::vector<UiTestClass> classes;
  return classes;
}

struct RegisterUiTest {
  RegisterUiTest(const char* name, std::function<std::unique_ptr<QObject>()> make,
                 std::function<void()> prepare = {}) {
    UiTestClasses().push_back({name, std::move(make), std::move(prepare)});
  }
};

}  // namespace tessaly::testing

// Registers test class `Class` with the runner.
#define TESSALY_UI_TEST(Class)                                      \
  static const ::tessaly::testing::RegisterUiTest kRegister##Class( \
      #Class, [] { return std::unique_ptr<QObject>(new Class); })
