#pragma once
// The desktop program's side of a run: boxes, the main window's title, pauses and
// repaints through the toolkit, and charts in plot windows that the run waits for
// (while it waits, the main window's title says so). With pausing switched off a
// run shows no plot windows; the charts of the last run are kept either way and can
// be opened afterwards. Charts are shown with the axis units the person chose.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/frontend.hpp"
#include "shell/axis_units.hpp"

namespace inhibra::toolkit {
class window_system;
}

namespace inhibra::shell {

// The main window's title while a plot window holds the program up.
inline constexpr std::string_view plot_wait_title = "Close the plot window to continue";

class gui_frontend final : public core::frontend {
 public:
  // Shows a chart and returns once its window has been closed.
  using plot_presenter = std::function<void(toolkit::window_system&, const plotengine::pplot&)>;

  // `pause_at_plots` says whether a run waits at each chart; it may change at any time.
  gui_frontend(toolkit::window_system& tk, int main_window, plot_presenter present_plot,
               const std::atomic<bool>& pause_at_plots);
  ~gui_frontend() override;

  void message(core::box_kind kind, std::string_view text) override;
  void set_title(std::string_view text) override;
  void idle(int milliseconds) override;
  void refresh() override;
  // Hands the chart to the plot presenter (nothing when none is connected), then
  // makes the main window current again. During a run the chart is also kept, and
  // without pausing it is only kept.
  void show_plot(const plotengine::pplot& plot) override;
  // Opens a plot window with a copy of the chart and returns once it is up.
  int show_plot_async(const plotengine::pplot& plot) override;
  void close_plot(int handle) override;

  // Around a run: its start forgets the charts and messages of the run before.
  void begin_run();
  void end_run();
  // The boxes shown during the last run, in order.
  struct shown_message {
    core::box_kind kind;
    std::string text;
  };
  [[nodiscard]] const std::vector<shown_message>& run_messages() const { return messages_; }
  // Forgets the charts of the last run (another file was opened).
  void forget_kept_plots() { kept_.clear(); }
  // The charts of the last run, each in a plot window left open; returns how many.
  int show_kept_plots();
  [[nodiscard]] int kept_plot_count() const { return static_cast<int>(kept_.size()); }
  // Units shown on the axis labels of every chart shown from now on.
  void set_units(axis_units units) { units_ = std::move(units); }

 private:
  toolkit::window_system& tk_;
  int main_window_;
  plot_presenter present_plot_;
  const std::atomic<bool>& pause_at_plots_;
  axis_units units_;
  bool in_run_ = false;
  std::vector<std::shared_ptr<const plotengine::pplot>> kept_;
  std::vector<shown_message> messages_;
};

}  // namespace inhibra::shell
