#pragma once
// Qt Test classes of one test program register themselves by name; the program runs
// the class named by its first argument (each is its own CTest test), or all of them.
#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace inhibra::support {

using qt_test_factory = std::function<std::unique_ptr<QObject>()>;

// Registers a Qt Test class under `name`; returns true (for static initialisation).
bool register_qt_test(const std::string& name, qt_test_factory make);

}  // namespace inhibra::support

// Put after a test class definition: INHIBRA_QT_TEST(ClassName)
#define INHIBRA_QT_TEST(Class)                                                     \
  namespace {                                                                      \
  const bool registered_##Class = ::inhibra::support::register_qt_test(            \
      #Class, [] { return std::unique_ptr<QObject>(std::make_unique<Class>()); }); \
  }
