#pragma once
// The desktop program's own state: the pending command, the file names, the menu
// entry ids and the facts that decide what they offer, the child-window registry,
// and the services the shell calls for a run and for the result plots.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/fit_context.hpp"
#include "core/run_status.hpp"
#include "evidence/selection_simulation.hpp"
#include "fit/ezfit.hpp"
#include "shell/menu_commands.hpp"
#include "shell/remembered.hpp"
#include "shell/run_choices.hpp"

namespace inhibra::plotengine {
class pplot;
}

namespace inhibra::toolkit {
class window_system;
}

namespace inhibra::shell {

// The result plots the shell's plot commands draw from the fit context. The
// residuals are drawn against [S], or against the fitted rate by a setting.
enum class result_plot {
  xy,
  residuals,
  kmapp_linear,
  kmapp_hyperbolic,
  mc50,
  residuals_by_rate,
  lineweaver_burk,
  dixon
};

// What the shell calls outside itself. Empty functions do nothing (a run then
// succeeds without writing anything).
struct services {
  // The fit of the selected models on `data_file` (which the run may normalise in
  // place); returns the run status and leaves what it fitted in `record`.
  std::function<core::run_status(core::fit_context&, std::string& data_file,
                                 fit::run_record& record)>
      run;
  // Draws one result plot from the fit context and shows it through its front end.
  std::function<void(core::fit_context&, result_plot)> make_plot;
  // Shows a finished chart (every chart shown through the fit context's front end).
  // With `wait` (a run pausing at its charts) it returns once the person goes on;
  // without, at once, the chart staying on show.
  std::function<void(toolkit::window_system&, const plotengine::pplot&, bool wait)> present_plot;
  // The selection by simulation from `model`'s fit of the run in the context.
  std::function<evidence::simulation_result(const core::fit_context&, const fit::run_record&,
                                            int model, const evidence::simulation_options&)>
      simulate;
};

// The program's pauses in milliseconds. Tests shorten them.
struct timings {
  int poll = 3;           // longest wait of the command loop between two passes
  int splash = 2000 * 4;  // how long the splash screen stays unless dismissed
  int settle = 500;       // pause before a plot and after loading the results
  int flush = 1000;       // each of the two pauses while the results file is loaded
};

// Ids of the menu entries: per command of the table its entry in the menus and on
// the tool bar (-1 where it has none), and the recent files' entries.
struct menu_ids {
  struct places {
    int in_menus = -1;
    int on_tool_bar = -1;
  };
  std::array<places, command_count> entries{};
  std::array<int, recent_count> recent{};

  [[nodiscard]] const places& operator[](menu_command c) const { return entries[index(c)]; }
  [[nodiscard]] places& operator[](menu_command c) { return entries[index(c)]; }
};

// Open child windows (dialogs) by slot: slot_count 1 to 255 hold a window id or -1 (free);
// slot 256 holds the main window's id.
class child_windows {
 public:
  static constexpr int slot_count = 256;

  // Frees every slot and stores the main window in the last one.
  void reset(int main_window);
  // Stores `id` in the first free slot 1..255; returns the slot, or 0 when none is free.
  int add(int id);
  // The id in `slot` (1..256), -1 when free.
  [[nodiscard]] int at(int slot) const;
  // Frees `slot`.
  void free(int slot);
  // The first slot 1..255 that holds a window, 0 when none does.
  [[nodiscard]] int first_used() const;
  // closeallchilds: closes every registered child window, frees its slot and makes
  // the main window current.
  void close_all(toolkit::window_system& tk);

 private:
  std::array<int, slot_count> ids_ = [] {
    std::array<int, slot_count> a{};
    a.fill(-1);
    return a;
  }();
};

// The shell's state for the program's whole life. Only `pending` and `choices` are
// touched by the window thread (menu and dialog callbacks); everything else belongs
// to the command thread.
struct shell_state {
  std::atomic<std::int32_t> pending{no_command};  // code of the command to execute next
  run_choices choices;                            // the settings the next run takes
  std::int32_t data_file_open = 0;                // 1 after a data file was chosen
  std::string data_file_name = "data.in";         // the name a run is given
  std::string editor_file_name;                   // the file the edit command opens
  std::string results_file_name;                  // the last results file shown (print)
  int text_panel = -1;                            // id of the results text panel
  std::string main_title = "Inhibra: Enzyme Inhibition Modeling Software";
  menu_ids menus;
  menu_state offers;  // what the menus offer is read from these facts
  int main_window = -1;

  std::string filenamedata = "Data.in";         // data file name of the last open or run
  std::string filenameresults = "Results.out";  // results file name of the last load
  std::string filenamepath;                     // folder of the data file chosen last
  std::string exepath;                          // working folder at start-up, with separator
  child_windows children;
  int idactivewin = 0;              // the main window's active drawing page
  std::vector<std::string> recent;  // recent data files, most recent first
};

}  // namespace inhibra::shell
