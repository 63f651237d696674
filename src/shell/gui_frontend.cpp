#include "shell/gui_frontend.hpp"

#include <memory>
#include <string>

#include "imaging/plot_image.hpp"
#include "plotengine/pplot.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

gui_frontend::gui_frontend(toolkit::window_system& tk, int main_window, plot_presenter present_plot,
                           const std::atomic<bool>& pause_at_plots)
    : tk_(tk),
      main_window_(main_window),
      present_plot_(std::move(present_plot)),
      pause_at_plots_(pause_at_plots) {}

gui_frontend::~gui_frontend() = default;

void gui_frontend::message(core::box_kind kind, std::string_view text) {
  if (in_run_) {
    messages_.push_back({kind, std::string(text)});
    return;
  }
  tk_.dlgmessage(kind, text);
}

void gui_frontend::set_title(std::string_view text) {
  tk_.setwindowtitle(main_window_, text);
}

// The run's pacing pauses let a person follow each model's fit; without pausing at
// the plots there is nothing to follow and the run goes on at once.
void gui_frontend::idle(int milliseconds) {
  if (in_run_ && !pause_at_plots_.load()) return;
  tk_.startidle(milliseconds);
}

void gui_frontend::refresh() {
  tk_.refreshall();
}

void gui_frontend::show_plot(const plotengine::pplot& plot) {
  if (!in_run_) {
    if (present_plot_) present_plot_(tk_, with_units(plot, units_), false);
    tk_.setcurrentwindow(main_window_);
    return;
  }
  kept_.push_back(std::make_shared<const plotengine::pplot>(plot));
  if (!pause_at_plots_.load()) return;
  ++paused_at_;
  const std::string title = tk_.getwindowtitle(main_window_);
  tk_.setwindowtitle(main_window_, plot_wait_title);
  if (present_plot_) present_plot_(tk_, with_units(plot, units_), true);
  tk_.setwindowtitle(main_window_, title);
  tk_.setcurrentwindow(main_window_);
}

int gui_frontend::show_plot_async(const plotengine::pplot& plot) {
  // The window outlives this call, so it draws its own copy of the chart.
  auto chart = std::make_shared<plotengine::pplot>(with_units(plot, units_));
  const int id = tk_.open_plot_window(
      plot.title,
      [chart](QPainter& painter, const QRect& area) { imaging::paint_plot(painter, *chart, area); },
      toolkit::figure_of(chart));
  tk_.setcurrentwindow(main_window_);
  return id > 0 ? id : -1;
}

void gui_frontend::close_plot(int handle) {
  if (handle > 0) tk_.close_plot_window(handle);
}

void gui_frontend::progress(int model, int done, int total) {
  tk_.set_run_progress(done, "Model " + std::to_string(model) + " (" + std::to_string(done + 1) +
                                 " of " + std::to_string(total) + ")");
}

void gui_frontend::begin_run() {
  kept_.clear();
  messages_.clear();
  tk_.clear_plots();
  paused_at_ = 0;
  in_run_ = true;
}

void gui_frontend::end_run() {
  in_run_ = false;
  // A run that paused at every chart has put them up one by one already.
  if (paused_at_ != kept_.size()) show_kept_plots();
}

void gui_frontend::forget_kept_plots() {
  kept_.clear();
  tk_.clear_plots();
}

int gui_frontend::show_kept_plots() {
  tk_.clear_plots();
  int shown = 0;
  for (const auto& chart : kept_) {
    if (show_plot_async(*chart) > 0) ++shown;
  }
  return shown;
}

}  // namespace inhibra::shell
