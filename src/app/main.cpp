// inhibra: the desktop program.
#include <QApplication>
#include <QPainter>
#include <QRect>
#include <iostream>
#include <memory>
#include <string>

#include "fit/ezfit.hpp"
#include "fit/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/kmapp_plot.hpp"
#include "plots/mc50plot.hpp"
#include "plots/resplot.hpp"
#include "plots/xyplot.hpp"
#include "shell/desktop.hpp"
#include "toolkit/plot_image.hpp"
#include "toolkit/window_system.hpp"

namespace {

using namespace inhibra;

shell::services desktop_services() {
  shell::services s;
  // The data reader's console lines go to the terminal the program was started from.
  s.run = [](fit::fit_context& ctx, std::string& data_file) {
    return fit::ezfit(ctx, data_file, std::cout);
  };
  // The plot commands: each shows its chart through the context's front end.
  s.make_plot = [](fit::fit_context& ctx, shell::result_plot kind) {
    switch (kind) {
      case shell::result_plot::xy:
        plots::xyplot(ctx);
        break;
      case shell::result_plot::residuals:
        plots::resplot(ctx);
        break;
      case shell::result_plot::kmapp_linear:
        plots::lin_kmapp_i_plot(ctx);
        break;
      case shell::result_plot::kmapp_hyperbolic:
        plots::hyper_kmapp_i_plot(ctx);
        break;
      case shell::result_plot::mc50:
        plots::mc50plot(ctx);
        break;
    }
  };
  // Every chart gets a plot window; the command waits until it is closed.
  s.present_plot = [](toolkit::window_system& tk, const plotengine::pplot& plot) {
    tk.show_plot_window(plot.title, [&plot](QPainter& painter, const QRect& area) {
      toolkit::paint_plot(painter, plot, area);
    });
  };
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  shell::termination_signals termination;  // before any thread exists
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Inhibra"));
  auto ctx = std::make_unique<fit::fit_context>();
  return shell::run_desktop(app, termination, *ctx, desktop_services());
}
