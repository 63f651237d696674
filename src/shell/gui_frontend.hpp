#pragma once
// The desktop program's side of a run: the main window's title, its progress,
// pauses and repaints through the toolkit, and charts in the Plots tab. With
// pausing the run waits at each model's chart until the person continues (the
// title says so meanwhile); without, the charts of the run are put in the Plots tab
// when it ends. The messages of a run are kept for the window to show when the run
// has ended, not put in boxes one by one; outside a run they are boxes. Charts
// asked for outside a run are shown at once, without waiting. Charts are shown
// with the axis units the person chose.
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
inline constexpr std::string_view plot_wait_title =
    "Paused at a chart: Continue in the Plots tab goes on";

class gui_frontend final : public core::frontend {
 public:
  // Shows a chart; with `wait`, returns once the person goes on.
  using plot_presenter =
      std::function<void(toolkit::window_system&, const plotengine::pplot&, bool wait)>;

  // `pause_at_plots` says whether a run waits at each chart; it may change at any time.
  gui_frontend(toolkit::window_system& tk, int main_window, plot_presenter present_plot,
               const std::atomic<bool>& pause_at_plots);
  ~gui_frontend() override;

  void message(core::box_kind kind, std::string_view text) override;
  void set_title(std::string_view text) override;
  void idle(int milliseconds) override;
  void refresh() override;
  // Hands the chart to the plot presenter (nothing when none is connected). In a
  // run the chart is kept and, when pausing, the presenter waits for the person;
  // without pausing it is only kept. Outside a run nothing waits.
  void show_plot(const plotengine::pplot& plot) override;
  // Opens a plot window with a copy of the chart and returns once it is up.
  int show_plot_async(const plotengine::pplot& plot) override;
  void close_plot(int handle) override;
  void progress(int model, int done, int total) override;

  // Around a run: its start forgets the charts and messages of the run before.
  void begin_run();
  void end_run();
  // The messages of the last run, in order.
  struct shown_message {
    core::box_kind kind;
    std::string text;
  };
  [[nodiscard]] const std::vector<shown_message>& run_messages() const { return messages_; }
  // Forgets the charts of the last run and takes them off the Plots tab (another
  // file was opened, or the run failed).
  void forget_kept_plots();
  // The charts of the last run in place of the charts shown; returns how many.
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
  std::size_t paused_at_ = 0;  // charts of the run shown with a pause
  std::vector<std::shared_ptr<const plotengine::pplot>> kept_;
  std::vector<shown_message> messages_;
};

}  // namespace inhibra::shell
