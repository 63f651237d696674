// inhibra: the desktop program.
#include <QApplication>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "core/fit_context.hpp"
#include "shell/desktop.hpp"
#include "shell/display_check.hpp"
#include "strings/classic_numbers.hpp"

int main(int argc, char** argv) {
  using namespace inhibra;
  // Answered before the window system starts, so that it works without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--version") {
      std::cout << "inhibra " INHIBRA_VERSION "\n";
      return 0;
    }
  }
  // Without a display the window system would abort the program: say why instead.
  const shell::display_environment display = shell::current_display_environment(argc, argv);
  if (const auto problem = shell::missing_display(display)) {
    std::cerr << *problem << "\n";
    return 1;
  }
  shell::termination_signals termination;  // before any thread exists
  // A display that is named but cannot be used (no server, an unknown platform) ends
  // the window system's start with a fatal message: one line and status 1 instead.
  shell::window_system_start start(display);
  QApplication app(argc, argv);
  start.started();
  // QApplication has set the C library's locale from the environment; the report,
  // the plots and the results table write their numbers with printf, which would
  // then take a decimal comma from a German or French locale.
  strings::keep_numbers_classic();
  QApplication::setApplicationName(QStringLiteral("Inhibra"));
  QApplication::setApplicationVersion(QStringLiteral(INHIBRA_VERSION));
  // Qt has taken its own options out; the first argument left names a data file.
  std::string start_file;
  const QStringList arguments = QApplication::arguments();
  for (qsizetype i = 1; i < arguments.size() && start_file.empty(); ++i) {
    if (!arguments.at(i).startsWith(QChar('-'))) start_file = arguments.at(i).toStdString();
  }
  auto ctx = std::make_unique<core::fit_context>();
  return shell::run_desktop(app, termination, *ctx, shell::desktop_services(std::cout), start_file);
}
