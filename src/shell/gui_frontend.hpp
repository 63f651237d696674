#pragma once
// The desktop program's side of a run: boxes, the main window's title, pauses and
// repaints through the toolkit, and charts in plot windows that the run waits for.
#include <functional>

#include "core/frontend.hpp"

namespace inhibra::toolkit {
class window_system;
}

namespace inhibra::shell {

class gui_frontend final : public core::frontend {
 public:
  // Shows a chart and returns once its window has been closed.
  using plot_presenter = std::function<void(toolkit::window_system&, const plotengine::pplot&)>;

  gui_frontend(toolkit::window_system& tk, int main_window, plot_presenter present_plot)
      : tk_(tk), main_window_(main_window), present_plot_(std::move(present_plot)) {}

  void message(core::box_kind kind, std::string_view text) override;
  void set_title(std::string_view text) override;
  void idle(int milliseconds) override;
  void refresh() override;
  // Hands the chart to the plot presenter (nothing when none is connected), then
  // makes the main window current again.
  void show_plot(const plotengine::pplot& plot) override;
  // Opens a plot window with a copy of the chart and returns once it is up.
  int show_plot_async(const plotengine::pplot& plot) override;
  void close_plot(int handle) override;

 private:
  toolkit::window_system& tk_;
  int main_window_;
  plot_presenter present_plot_;
};

}  // namespace inhibra::shell
