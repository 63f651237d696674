#include "shell/desktop.hpp"

#include <QApplication>
#include <QMetaObject>
#include <QPainter>
#include <QRect>
#include <QSocketNotifier>
#include <QWidget>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "fit/ezfit.hpp"
#include "imaging/plot_image.hpp"
#include "models/model_library.hpp"
#include "plotengine/pplot.hpp"
#include "plots/kmapp_plot.hpp"
#include "plots/mc50plot.hpp"
#include "plots/reciprocal_plots.hpp"
#include "plots/resplot.hpp"
#include "plots/xyplot.hpp"
#include "shell/main_window.hpp"
#include "toolkit/settings_file.hpp"
#include "toolkit/window_system.hpp"
#include "workbook/xlsx_sheet.hpp"

#ifdef __linux__
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#endif

namespace inhibra::shell {

#ifdef __linux__
termination_signals::termination_signals() {
  sigemptyset(&set_);
  sigaddset(&set_, SIGTERM);
  sigaddset(&set_, SIGINT);
  if (pthread_sigmask(SIG_BLOCK, &set_, &previous_) == 0) {
    blocked_ = true;
    fd_ = signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC);
  }
}

termination_signals::~termination_signals() {
  notifier_.reset();
  if (fd_ >= 0) close(fd_);
  if (blocked_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void termination_signals::watch(std::function<void()> on_signal) {
  if (fd_ < 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [fd = fd_, on_signal = std::move(on_signal)] {
                     signalfd_siginfo info;
                     while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                     }
                     on_signal();
                   });
}
#else
termination_signals::termination_signals() = default;
termination_signals::~termination_signals() = default;
void termination_signals::watch(std::function<void()>) {}
#endif

namespace {

// The Lineweaver-Burk or Dixon view of the fit held in the context, in the Plots tab;
// a box says why when the data give none (a Dixon view needs a level of [S]
// measured at two [I] or more).
void show_reciprocal_plot(core::fit_context& ctx, result_plot kind) {
  if (ctx.fe == nullptr) return;
  const bool dixon = kind == result_plot::dixon;
  const auto rate = models::held_model_rate(ctx);
  const auto chart =
      dixon ? plots::dixon_chart(ctx, rate) : plots::lineweaver_burk_chart(ctx, rate);
  if (chart) {
    ctx.fe->show_plot(*chart);
  } else {
    ctx.fe->message(core::box_kind::information,
                    dixon ? "No Dixon plot: no [S] was measured at two [I] or more."
                          : "No Lineweaver-Burk plot: no row has [S] and rate above 0.");
  }
}

}  // namespace

services desktop_services(std::ostream& console) {
  services s;
  s.run = [&console](core::fit_context& ctx, std::string& data_file, fit::run_record& record) {
    // Workbooks are opened like any data table, through the workbook library.
    ctx.table.workbook = workbook::read_xlsx_sheet;
    return fit::ezfit(ctx, data_file, console, &record);
  };
  s.make_plot = [](core::fit_context& ctx, result_plot kind) {
    switch (kind) {
      case result_plot::xy:
        plots::xyplot(ctx, models::held_model_rate(ctx));
        break;
      case result_plot::residuals:
        plots::resplot(ctx);
        break;
      case result_plot::residuals_by_rate:
        plots::resplot(ctx, plots::residual_axis::fitted_rate);
        break;
      case result_plot::lineweaver_burk:
      case result_plot::dixon:
        show_reciprocal_plot(ctx, kind);
        break;
      case result_plot::kmapp_linear:
        plots::lin_kmapp_i_plot(ctx);
        break;
      case result_plot::kmapp_hyperbolic:
        plots::hyper_kmapp_i_plot(ctx);
        break;
      case result_plot::mc50:
        plots::mc50plot(ctx);
        break;
    }
  };
  s.present_plot = [](toolkit::window_system& tk, const plotengine::pplot& plot, bool wait) {
    // The chart stays in the Plots tab after the run has gone on: it draws a copy,
    // whose texts the Figure dialog edits.
    auto chart = std::make_shared<plotengine::pplot>(plot);
    auto draw = [chart](QPainter& painter, const QRect& area) {
      imaging::paint_plot(painter, *chart, area);
    };
    if (wait) {
      tk.show_plot_window(plot.title, draw, toolkit::figure_of(chart));
    } else {
      (void)tk.open_plot_window(plot.title, draw, toolkit::figure_of(chart));
    }
  };
  s.simulate = evidence::simulate_selection;
  return s;
}

int run_desktop(QApplication& app, termination_signals& termination, core::fit_context& ctx,
                services svc, const std::string& start_file, timings pause,
                std::chrono::milliseconds grace) {
  toolkit::window_system tk([] {
    // Queued: the event loop may not be running yet when the program ends early.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  });
  toolkit::settings_file settings;  // the person's own, kept between sessions
  main_window shell(tk, ctx, std::move(svc), pause);
  shell.set_settings(&settings);
  shell.set_start_file(start_file);

  std::promise<int> finished;
  std::future<int> exit_code = finished.get_future();
  std::thread command_thread([&shell, &finished] { finished.set_value(shell.run()); });

  termination.watch([&tk, &shell] {
    if (QWidget* w = tk.widget(shell.main_window_id())) {
      w->close();
    } else {
      tk.shut_down();
    }
  });

  app.exec();
  // Once the window is gone, a run ends before its next model; its unfinished
  // results file is dropped and an earlier one stays.
  shell.request_stop();
  tk.shut_down();  // every wait of the command thread returns now

  if (exit_code.wait_for(grace) != std::future_status::ready) {
    // The command thread is inside a computation that cannot be interrupted.
    std::quick_exit(0);
  }
  command_thread.join();
  return exit_code.get();
}

}  // namespace inhibra::shell
