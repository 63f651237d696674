// inhibra: the desktop program.
#include <QApplication>
#include <iostream>
#include <memory>
#include <string_view>

#include "core/fit_context.hpp"
#include "shell/desktop.hpp"

int main(int argc, char** argv) {
  using namespace inhibra;
  // Answered before the window system starts, so that it works without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--version") {
      std::cout << "inhibra " INHIBRA_VERSION "\n";
      return 0;
    }
  }
  shell::termination_signals termination;  // before any thread exists
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Inhibra"));
  QApplication::setApplicationVersion(QStringLiteral(INHIBRA_VERSION));
  auto ctx = std::make_unique<core::fit_context>();
  return shell::run_desktop(app, termination, *ctx, shell::desktop_services(std::cout));
}
