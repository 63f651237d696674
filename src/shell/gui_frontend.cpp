#include "shell/gui_frontend.hpp"

#include <memory>

#include "plotengine/pplot.hpp"
#include "toolkit/plot_image.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

void gui_frontend::message(core::box_kind kind, std::string_view text) {
  tk_.dlgmessage(kind, text);
}

void gui_frontend::set_title(std::string_view text) {
  tk_.setwindowtitle(main_window_, text);
}

void gui_frontend::idle(int milliseconds) {
  tk_.startidle(milliseconds);
}

void gui_frontend::refresh() {
  tk_.refreshall();
}

void gui_frontend::show_plot(const plotengine::pplot& plot) {
  if (present_plot_) present_plot_(tk_, plot);
  tk_.setcurrentwindow(main_window_);
}

int gui_frontend::show_plot_async(const plotengine::pplot& plot) {
  // The window outlives this call, so it draws its own copy of the chart.
  auto chart = std::make_shared<const plotengine::pplot>(plot);
  const int id = tk_.open_plot_window(plot.title, [chart](QPainter& painter, const QRect& area) {
    toolkit::paint_plot(painter, *chart, area);
  });
  tk_.setcurrentwindow(main_window_);
  return id > 0 ? id : -1;
}

void gui_frontend::close_plot(int handle) {
  if (handle > 0) tk_.close_plot_window(handle);
}

}  // namespace inhibra::shell
