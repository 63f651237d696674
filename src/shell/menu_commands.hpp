#pragma once
// The desktop program's commands as its menus and tool bar offer them, described
// once: each command's text, where it sits, what it needs before it is offered and
// the radio group it belongs to; and the plain facts about the window that decide
// what is offered. No Qt here: the main window makes the entries from this table and
// greys them out by `enabled`.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

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

// Whether a command shows an information page (Help, About, the model library, the
// example file, the mechanism, MC50); a page blocks nothing and may show during a run.
[[nodiscard]] constexpr bool shows_page(command c) {
  switch (c) {
    case command::about:
    case command::models:
    case command::example:
    case command::mechanism:
    case command::help:
    case command::mc50:
      return true;
    default:
      return false;
  }
}

// The drop-downs of the menu bar in their order, the two inside them, and the tool
// bar of one-click commands under the bar.
enum class menu : std::uint8_t {
  none,
  file,
  fit,
  plots,
  settings,
  help,
  recent_files,
  weight,
  tool_bar
};

// The bar's drop-downs, in the order the bar shows them.
inline constexpr std::array<menu, 5> bar_menus = {menu::file, menu::fit, menu::plots,
                                                  menu::settings, menu::help};
[[nodiscard]] std::string_view menu_title(menu m);

// Settings that exclude each other: one entry of a group carries the radio mark.
enum class radio_group : std::uint8_t { none, weighting, error_model, fitting_method };

// The platform's standard keys an entry also answers to.
enum class standard_key : std::uint8_t { none, open, save, print, quit, help };

// What a command needs before the menus offer it (greyed out otherwise).
enum class needs : std::uint8_t {
  nothing,             // always offered
  file_chosen,         // a data file has been opened since start-up
  file_to_run,         // a data file is open, no run is going on, the report is not saved yet
  something_to_clear,  // a step since start-up or the last Clear
  file_to_edit,        // a file opened or run, not cleared, and not found missing by Edit
  unsaved_results,     // a run has finished and its report is not saved yet
  results_file,        // a run has finished, and Print has not found its results file missing
  result_plots,        // the last run ended in order (or its report was saved)
  inhibitor_curves,    // the same, with two or more curves: one shows no dependence on [I]
  fitted_models,       // the last run of the file open fitted a model
  ranked_fits,         // ... and ranked its fits
  kept_charts,         // charts of the last run are kept
  recent_files,        // the recent files' list is not empty
  refinement,          // runs refine their fits (the chain alone has no fast variant)
};

// One per entry of the table, in the table's order.
enum class menu_command : std::uint8_t {
  open,
  import_table,
  recent_files,
  edit,
  save,
  print,
  example,
  models,
  run,
  clear,
  results_table,
  simulate,
  mc50,
  xy_plot,
  residuals,
  kmapp_plot,
  mc50_plot,
  lineweaver_burk,
  dixon,
  model_plots,
  weight,
  weight_on,
  weight_off,
  equal_weights,
  relative_weights,
  poisson_weights,
  chain_only,
  refine,
  pause_at_plots,
  fast_fitting,
  replicate_means,
  residuals_by_rate,
  axis_units,
  help,
  mechanism,
  model_library,
  about,
  quit,
  count
};
inline constexpr std::size_t command_count = static_cast<std::size_t>(menu_command::count);

[[nodiscard]] constexpr std::size_t index(menu_command c) {
  return static_cast<std::size_t>(c);
}

// Where an entry is shown: its menu (none: not there), its text exactly as shown,
// and whether a separating line comes before it.
struct place {
  menu where = menu::none;
  std::string_view text;
  bool line_before = false;
};

struct command_entry {
  menu_command id;
  command code;       // what choosing it runs; none for a drop-down
  place in_menus;     // every command sits in a menu
  place on_tool_bar;  // and the one-click ones on the tool bar too, as one command
  needs needed = needs::nothing;
  radio_group group = radio_group::none;
  menu opens = menu::none;  // a drop-down inside a menu: the menu it opens
  standard_key key = standard_key::none;
};

// Every command, in the order of menu_command. Each menu and the tool bar show their
// entries in this order.
[[nodiscard]] std::span<const command_entry> commands();
[[nodiscard]] const command_entry& entry(menu_command c);
// The entry's place among its radio group's entries, counted from 0 (the error
// models' entries in the order of core::error_model).
[[nodiscard]] int place_in_group(menu_command c);

// The last of the steps that decide what the report, the results and the plots on
// offer are; a cancelled open dialog is none of them.
enum class last_step : std::uint8_t { start_up, opened, cleared, ran, saved };

// The facts about the window that `enabled` reads; the window keeps them up to date
// through the steps below and sets the rest as they change.
struct menu_state {
  bool file_open = false;    // a data file is open
  bool file_chosen = false;  // a data file has been opened since start-up
  last_step last = last_step::start_up;
  bool running = false;               // a run is going on
  bool run_in_order = false;          // the last run ended in order
  int run_curves = 0;                 // the curves the last run read
  bool fitted = false;                // the last run of the file open fitted a model
  bool ranked = false;                // ... and ranked its fits (never without fitted)
  bool display_cleared = true;        // start-up or Clear, and no step since
  bool data_file_missing = false;     // Edit found no data file since the last open, clear or run
  bool results_file_missing = false;  // Print found no results file since the last step
  bool charts_kept = false;           // charts of the last run are kept
  bool recent_files = false;          // the recent files' list is not empty
  bool chain_only = false;            // runs fit with the chain of stages alone
};

// Whether `c` is offered in `s`; a command on the tool bar and in a menu follows one
// rule in both places.
[[nodiscard]] bool enabled(const command_entry& c, const menu_state& s);

// The steps. A data file opened (by the dialog, by name or by Import Table): nothing
// of the last run stays on offer.
void on_open(menu_state& s);
// The open dialog cancelled: no file is open, Run goes until a file is opened again.
void on_open_cancelled(menu_state& s);
// Clear: with a file open, the report goes and the file can be run again.
void on_clear(menu_state& s);
void on_run_start(menu_state& s);
struct run_end {
  bool in_order = false;  // the run ended with success
  int curves = 0;         // the curves it read
  bool fitted = false;    // it fitted a model
  bool ranked = false;    // and ranked its fits
};
void on_run_end(menu_state& s, const run_end& r);
// Save Results chosen (also when its dialog was cancelled).
void on_save(menu_state& s);

}  // namespace inhibra::shell
