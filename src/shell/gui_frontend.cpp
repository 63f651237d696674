#include "shell/gui_frontend.hpp"

#include "toolkit/window_system.hpp"

namespace inhibra::shell {

void gui_frontend::message(fit::box_kind kind, std::string_view text) {
  tk_.dlgmessage(static_cast<int>(kind), text);
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

}  // namespace inhibra::shell
