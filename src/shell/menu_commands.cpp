#include "shell/menu_commands.hpp"

namespace inhibra::shell {

namespace {

using enum menu_command;
using m = menu;
using n = needs;
using g = radio_group;
using key = standard_key;

// Where an entry is shown: in `where`, after a separating line or not.
constexpr place at(menu where, std::string_view text) {
  return {where, text, false};
}
constexpr place after_line(menu where, std::string_view text) {
  return {where, text, true};
}
constexpr place nowhere{};

// File's Quit comes last: it also ends the tool bar, which shows its entries in this
// order too.
constexpr std::array<command_entry, command_count> table = {{
    // File: the data file in, the results out, and the end.
    {open, command::open, at(m::file, "Open Data File"), at(m::tool_bar, "OpenData"), n::nothing,
     g::none, m::none, key::open},
    {import_table, command::import_table, at(m::file, "Import Table\u2026"), nowhere},
    {recent_files, command::none, at(m::file, "Recent Files"), nowhere, n::recent_files, g::none,
     m::recent_files},
    {edit, command::data, at(m::file, "Edit Data File"), nowhere, n::file_to_edit},
    {save, command::save, after_line(m::file, "Save Results"), nowhere, n::unsaved_results, g::none,
     m::none, key::save},
    {print, command::print, at(m::file, "Print Results"), nowhere, n::results_file, g::none,
     m::none, key::print},
    {example, command::example, after_line(m::file, "Example Data File"), nowhere},
    // Fit: the models, the run and what it found.
    {models, command::model_lib, at(m::fit, "Models\u2026"), at(m::tool_bar, "Models")},
    {run, command::run, at(m::fit, "Run Curve-fit"), at(m::tool_bar, "Run"), n::file_to_run},
    {clear, command::clear, at(m::fit, "Clear Display"), at(m::tool_bar, "Clear"),
     n::something_to_clear},
    {results_table, command::results_table, after_line(m::fit, "Results Table"), nowhere,
     n::fitted_models},
    {simulate, command::simulate, at(m::fit, "Check the Verdict by Simulation\u2026"), nowhere,
     n::ranked_fits},
    {mc50, command::mc50, after_line(m::fit, "MC50"), nowhere},
    // Plots: the charts of the last run's best model.
    {xy_plot, command::plot, at(m::plots, "XY Plot"), after_line(m::tool_bar, "XY_Plot"),
     n::result_plots},
    {residuals, command::resplot, at(m::plots, "Residuals"), at(m::tool_bar, "Residuals"),
     n::result_plots},
    {kmapp_plot, command::kmapplot, at(m::plots, "Ca/Sp Plot"), at(m::tool_bar, "Ca/Sp_Plot"),
     n::inhibitor_curves},
    {mc50_plot, command::mc50plot, at(m::plots, "MC50 Plot"), at(m::tool_bar, "MC50_Plot"),
     n::result_plots},
    {lineweaver_burk, command::lineweaver_burk, at(m::plots, "Lineweaver-Burk Plot"), nowhere,
     n::result_plots},
    {dixon, command::dixon, at(m::plots, "Dixon Plot"), nowhere, n::result_plots},
    {model_plots, command::model_plots, after_line(m::plots, "Show Model Plots of Last Run"),
     nowhere, n::kept_charts},
    // Settings: what the next run does and how charts are shown. The weighting, the
    // error model and the fitting method are radio marks, the one in force checked.
    {weight, command::none, at(m::settings, "Weight"), nowhere, n::file_chosen, g::none, m::weight},
    {weight_on, command::weight_on, at(m::weight, "Turn-ON Robust Wt"), nowhere, n::nothing,
     g::weighting},
    {weight_off, command::weight_off, at(m::weight, "Turn-OFF Robust Wt"), nowhere, n::nothing,
     g::weighting},
    {equal_weights, command::error_model, after_line(m::weight, "Equal Weights"), nowhere,
     n::nothing, g::error_model},
    {relative_weights, command::error_model, at(m::weight, "Relative Weights (1/v\u00b2)"), nowhere,
     n::nothing, g::error_model},
    {poisson_weights, command::error_model, at(m::weight, "Poisson Weights (1/v)"), nowhere,
     n::nothing, g::error_model},
    {chain_only, command::chain_only,
     after_line(m::weight, "Chain Only (Reproduce Earlier Results)"), nowhere, n::nothing,
     g::fitting_method},
    {refine, command::refine, at(m::weight, "Refine Fits (Default)"), nowhere, n::nothing,
     g::fitting_method},
    {pause_at_plots, command::pause_setting, after_line(m::settings, "Pause at Each Model's Plot"),
     nowhere},
    {fast_fitting, command::fast_fitting, at(m::settings, "Fast Fitting"), nowhere, n::refinement},
    {replicate_means, command::mean_sd, at(m::settings, "Show Replicates as Mean \u00b1 SD"),
     nowhere},
    {residuals_by_rate, command::residual_axis, at(m::settings, "Residuals Against Fitted Rate"),
     nowhere},
    {axis_units, command::axis_units, after_line(m::settings, "Axis Units..."), nowhere},
    // Help: the pages that explain the program and its models.
    {help, command::help, at(m::help, "Help"), after_line(m::tool_bar, "Help"), n::nothing, g::none,
     m::none, key::help},
    {mechanism, command::mechanism, after_line(m::help, "Mechanism of Inhibition"), nowhere},
    {model_library, command::models, at(m::help, "Model Library"), nowhere},
    {about, command::about, after_line(m::help, "About"), at(m::tool_bar, "About")},
    {quit, command::quit, after_line(m::file, "Quit"), at(m::tool_bar, "Quit"), n::nothing, g::none,
     m::none, key::quit},
}};

constexpr bool in_order() {
  for (std::size_t k = 0; k < table.size(); ++k) {
    if (index(table[k].id) != k) return false;
  }
  return true;
}
static_assert(in_order(), "the table lists the commands in the order of menu_command");

// The plots of the last run are on offer: it ended in order, or its report was
// saved. The plot commands draw the fit left in the context, which after a run that
// did not end in order may be another file's or half of this one's; a save offers
// them whatever the run was, as it always has.
bool results_on_show(const menu_state& s) {
  return s.last == last_step::saved || (s.last == last_step::ran && s.run_in_order);
}

// A step that decides what is on offer: there is something to clear, and a results
// file Print found missing is looked for again.
void step(menu_state& s, last_step last) {
  s.last = last;
  s.display_cleared = false;
  s.results_file_missing = false;
}

}  // namespace

std::string_view menu_title(menu which) {
  switch (which) {
    case menu::file:
      return "File";
    case menu::fit:
      return "Fit";
    case menu::plots:
      return "Plots";
    case menu::settings:
      return "Settings";
    case menu::help:
      return "Help";
    case menu::tool_bar:
      return "Toolbar";
    default:
      return {};
  }
}

std::span<const command_entry> commands() {
  return table;
}

const command_entry& entry(menu_command c) {
  return table[index(c)];
}

int place_in_group(menu_command c) {
  const radio_group group = entry(c).group;
  int place = 0;
  for (std::size_t k = 0; k < index(c); ++k)
    place += table[k].group == group ? 1 : 0;
  return place;
}

bool enabled(const command_entry& c, const menu_state& s) {
  const bool report = s.last == last_step::ran || s.last == last_step::saved;
  switch (c.needed) {
    case needs::nothing:
      return true;
    case needs::file_chosen:
      return s.file_chosen;
    case needs::file_to_run:
      return s.file_open && !s.running && s.last != last_step::saved;
    case needs::something_to_clear:
      return !s.display_cleared;
    case needs::file_to_edit:
      return (s.last == last_step::opened || report) && !s.data_file_missing;
    case needs::unsaved_results:
      return s.last == last_step::ran;
    case needs::results_file:
      return report && !s.results_file_missing;
    case needs::result_plots:
      return results_on_show(s);
    case needs::inhibitor_curves:
      return results_on_show(s) && (s.last == last_step::saved || s.run_curves >= 2);
    case needs::fitted_models:
      return s.fitted;
    case needs::ranked_fits:
      return s.ranked;
    case needs::kept_charts:
      return s.charts_kept;
    case needs::recent_files:
      return s.recent_files;
    case needs::refinement:
      return !s.chain_only;
  }
  return false;
}

void on_open(menu_state& s) {
  step(s, last_step::opened);
  s.data_file_missing = false;
  s.file_open = true;
  s.file_chosen = true;
  s.fitted = false;
  s.ranked = false;
}

void on_open_cancelled(menu_state& s) {
  s.file_open = false;
  s.display_cleared = false;
}

void on_clear(menu_state& s) {
  if (s.file_open) {
    step(s, last_step::cleared);
    s.data_file_missing = false;
  }
  s.display_cleared = true;
}

void on_run_start(menu_state& s) {
  s.running = true;
}

void on_run_end(menu_state& s, const run_end& r) {
  step(s, last_step::ran);
  s.data_file_missing = false;
  s.running = false;
  s.run_in_order = r.in_order;
  s.run_curves = r.curves;
  s.fitted = r.in_order && r.fitted;
  s.ranked = s.fitted && r.ranked;
}

void on_save(menu_state& s) {
  // Edit keeps what it found: a save says nothing about the data file.
  step(s, last_step::saved);
}

}  // namespace inhibra::shell
