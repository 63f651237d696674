// main() of the Qt Test programs: sets up a headless Qt, then runs the named test
// class (or every registered class) with the remaining arguments.
#include "support/qt_test_main.hpp"

#include <unistd.h>
#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <vector>

#include "strings/classic_numbers.hpp"

namespace inhibra::support {

namespace {

std::map<std::string, qt_test_factory>& registry() {
  static std::map<std::string, qt_test_factory> tests;
  return tests;
}

}  // namespace

bool register_qt_test(const std::string& name, qt_test_factory make) {
  registry()[name] = std::move(make);
  return true;
}

}  // namespace inhibra::support

int main(int argc, char** argv) {
  // Headless unless told otherwise, with a private runtime folder so that Qt stays quiet.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("inhibra-qt-runtime-" + std::to_string(getuid()));
    std::filesystem::create_directories(dir);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  QApplication app(argc, argv);
  // As the program does: numbers keep their point whatever the machine's locale.
  inhibra::strings::keep_numbers_classic();
  // Windows open and close all the time here; the application must not end with them.
  QApplication::setQuitOnLastWindowClosed(false);

  const auto& tests = inhibra::support::registry();
  std::vector<char*> rest{argv[0]};
  std::vector<std::string> chosen;
  if (argc > 1 && argv[1][0] != '-') {
    if (tests.count(argv[1]) == 0) {
      std::cerr << "no test class " << argv[1] << "\n";
      return 2;
    }
    chosen.emplace_back(argv[1]);
    for (int i = 2; i < argc; ++i)
      rest.push_back(argv[i]);
  } else {
    for (const auto& [name, make] : tests)
      chosen.push_back(name);
    for (int i = 1; i < argc; ++i)
      rest.push_back(argv[i]);
  }
  int failures = 0;
  for (const auto& name : chosen) {
    auto test = tests.at(name)();
    failures += QTest::qExec(test.get(), static_cast<int>(rest.size()), rest.data());
  }
  return failures == 0 ? 0 : 1;
}
