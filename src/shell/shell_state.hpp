#pragma once
// The desktop program's own state: the pending command and its codes, the file
// names, the menu entry ids, the child-window registry, and the services the
// shell calls for a run and for the result plots.
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
#include "shell/remembered.hpp"
#include "shell/run_choices.hpp"

namespace inhibra::plotengine {
class pplot;
}

namespace inhibra::toolkit {
class window_system;
}

namespace inhibra::shell {

// Command codes stored by the menu entries and executed by the command loop.
enum class command : std::int32_t {
  quit = 0,
  run = 1,
  save = 2,
  print = 3,
  open = 4,
  about = 5,
  models = 6,
  clear = 7,
  example = 8,
  mechanism = 9,
  plot = 10,
  none = 11,
  data = 12,
  weight_on = 13,
  weight_off = 14,
  model_lib = 15,
  resplot = 16,
  kmapplot = 17,
  help = 19,
  mc50 = 20,
  mc50plot = 21,
  chain_only = 22,       // fit with the fixed chain of stages alone
  refine = 23,           // fit with the refinement after the chain (the default)
  pause_setting = 24,    // a run pauses at each model's plot, or not
  model_plots = 25,      // the charts of the last run, each in a window
  open_named = 26,       // a dropped or recent file, opened as the open dialog would
  axis_units = 27,       // the units on the charts' axis labels
  results_table = 28,    // the table of the last run's fits
  error_model = 29,      // the error model of the next run (equal, relative, Poisson weights)
  fast_fitting = 30,     // runs fit by the refinement's solves alone, or not
  simulate = 31,         // the verdict of the last run checked on data simulated from its fit
  import_table = 32,     // a data table read through the Import Table dialog
  mean_sd = 33,          // the rate plot shows replicates as mean and SD, or a dot each
  lineweaver_burk = 34,  // the Lineweaver-Burk view of the last run's best fit
  dixon = 35,            // the Dixon view of the last run's best fit
  residual_axis = 36,    // residuals against the fitted rate, or against [S]
  // A new code comes last, and is_command accepts the codes up to the last one.
};
inline constexpr std::int32_t no_command = -1;  // pending command before the first one

[[nodiscard]] constexpr std::int32_t code(command c) {
  return static_cast<std::int32_t>(c);
}

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

// Ids of every menu and menu entry, by the menu it is in and the text the person
// sees. The menu bar holds the drop-downs File, Fit, Plots, Settings and Help; the
// tool bar under it holds the one-click commands.
struct menu_ids {
  int bar = -1;
  int file = -1;
  int file_open = -1;
  int file_import = -1;  // Import Table...
  int file_recent = -1;  // the "Recent Files" drop-down
  std::array<int, recent_count> recent{};
  int file_edit = -1;
  int file_save = -1;
  int file_print = -1;
  int file_example = -1;
  int file_quit = -1;
  int fit = -1;
  int fit_models = -1;  // the model dialog, as the tool bar's "Models"
  int fit_run = -1;
  int fit_clear = -1;
  int fit_results_table = -1;  // offered once a run has fitted a model
  int fit_simulate = -1;       // offered once a run has ranked its fits
  int fit_mc50 = -1;           // the MC50 page
  int plots = -1;
  int plots_xy = -1;
  int plots_residuals = -1;
  int plots_kmapp = -1;
  int plots_mc50 = -1;
  int plots_lineweaver_burk = -1;
  int plots_dixon = -1;
  int plots_model_plots = -1;  // the charts of the last run again
  int settings = -1;
  int weight = -1;  // the "Weight" drop-down inside Settings
  // Robust weighting on or off: two radio marks, the one in force checked.
  int weight_on = -1;
  int weight_off = -1;
  // The error model's entries, in the order of core::error_model (equal, relative,
  // Poisson): radio marks, the one in use checked.
  std::array<int, 3> error_models{-1, -1, -1};
  int method_chain = -1;   // fit with the fixed chain of stages alone
  int method_refine = -1;  // fit with the refinement after the chain (the default)
  int pause_at_plots = -1;
  int fast_fitting = -1;       // checked: runs fit without the chain of stages
  int replicate_means = -1;    // Show Replicates as Mean ± SD
  int residuals_by_rate = -1;  // checked: residuals against the fitted rate, else [S]
  int axis_units = -1;
  int help = -1;
  int help_help = -1;
  int help_mechanism = -1;
  int help_model_library = -1;
  int help_about = -1;
  int tools = -1;  // the tool bar
  int tool_open = -1;
  int tool_models = -1;
  int tool_run = -1;
  int tool_clear = -1;
  int tool_xy_plot = -1;
  int tool_residuals = -1;
  int tool_kmapp_plot = -1;
  int tool_mc50_plot = -1;
  int tool_help = -1;
  int tool_about = -1;
  int tool_quit = -1;
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
