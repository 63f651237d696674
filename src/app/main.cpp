// inhibra: the desktop program.
#include <QApplication>
#include <iostream>
#include <memory>

#include "fit/fit_context.hpp"
#include "shell/desktop.hpp"

int main(int argc, char** argv) {
  using namespace inhibra;
  shell::termination_signals termination;  // before any thread exists
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Inhibra"));
  auto ctx = std::make_unique<fit::fit_context>();
  return shell::run_desktop(app, termination, *ctx, shell::desktop_services(std::cout));
}
