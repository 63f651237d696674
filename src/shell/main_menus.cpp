// The main window's menus: building them, the menu-state table, and the entries
// that show a setting (weighting, fitting method, plot pausing) or a list (the
// recent files).
#include <array>
#include <mutex>
#include <string_view>
#include <vector>

#include "shell/main_window.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

namespace {

// One row of the menu-state table: its entries and, per column (start, open, open
// cancelled, clear with a file open, run done, save), E enabled, D disabled, a
// blank for unchanged, * for the Ca/Sp rule after a run. A command reached from a
// menu and from the tool bar is one row: both follow the same rule.
struct menu_row {
  std::array<int menu_ids::*, 3> entries;
  int count;
  std::string_view states;
};

constexpr std::array<menu_row, 20> menu_table = {{
    {{&menu_ids::file}, 1, "EE EEE"},
    {{&menu_ids::tool_open}, 1, "EEEEEE"},
    {{&menu_ids::weight}, 1, "DE EEE"},
    {{&menu_ids::tool_run}, 1, "DEDEED"},
    {{&menu_ids::tool_clear}, 1, "DEEDEE"},
    {{&menu_ids::tool_xy_plot}, 1, "DD DEE"},
    {{&menu_ids::tool_residuals, &menu_ids::plots_residuals}, 2, "DD DEE"},
    {{&menu_ids::tool_kmapp_plot, &menu_ids::plots_kmapp}, 2, "DD D*E"},
    {{&menu_ids::tool_mc50_plot, &menu_ids::plots_mc50}, 2, "DD DEE"},
    {{&menu_ids::tool_about, &menu_ids::tool_quit}, 2, "EE EEE"},
    {{&menu_ids::file_open}, 1, "EEEEEE"},
    {{&menu_ids::file_edit}, 1, "DE DE "},
    {{&menu_ids::fit_run}, 1, "DEDEED"},
    {{&menu_ids::plots_xy}, 1, "DD DEE"},
    {{&menu_ids::plots_lineweaver_burk, &menu_ids::plots_dixon}, 2, "DD DEE"},
    {{&menu_ids::fit_clear}, 1, "DEEDEE"},
    {{&menu_ids::file_save}, 1, "DD DED"},
    {{&menu_ids::file_print}, 1, "DD DEE"},
    {{&menu_ids::help_mechanism, &menu_ids::file_example}, 2, "E     "},
    {{&menu_ids::help_model_library, &menu_ids::help_about, &menu_ids::file_quit}, 3, "EE EEE"},
}};

}  // namespace

void main_window::build_menus() {
  menu_ids& m = st_.menus;
  auto on = [this](void (main_window::*handler)()) {
    return [this, handler] { (this->*handler)(); };
  };
  m.bar = tk_.addmenu("", -1);

  // File: the data file in, the results out, and the end.
  m.file = tk_.addmenu("File", m.bar);
  m.file_open = tk_.addmenuitem("Open Data File", m.file, on(&main_window::handle_open));
  m.file_import =
      tk_.addmenuitem("Import Table\u2026", m.file, on(&main_window::handle_import_table));
  m.file_recent = tk_.addmenu("Recent Files", m.file);
  for (int i = 0; i < recent_count; ++i) {
    m.recent[static_cast<std::size_t>(i)] =
        tk_.addmenuitem("", m.file_recent, [this, i] { handle_recent(i); });
  }
  m.file_edit = tk_.addmenuitem("Edit Data File", m.file, on(&main_window::handle_data));
  tk_.addmenuseparator(m.file);
  m.file_save = tk_.addmenuitem("Save Results", m.file, on(&main_window::handle_save));
  m.file_print = tk_.addmenuitem("Print Results", m.file, on(&main_window::handle_print));
  tk_.addmenuseparator(m.file);
  m.file_example = tk_.addmenuitem("Example Data File", m.file, on(&main_window::handle_example));
  tk_.addmenuseparator(m.file);
  m.file_quit = tk_.addmenuitem("Quit", m.file, on(&main_window::handle_quit));

  // Fit: the models, the run and what it found.
  m.fit = tk_.addmenu("Fit", m.bar);
  m.fit_models = tk_.addmenuitem("Models\u2026", m.fit, on(&main_window::handle_model_lib));
  m.fit_run = tk_.addmenuitem("Run Curve-fit", m.fit, on(&main_window::handle_run));
  m.fit_clear = tk_.addmenuitem("Clear Display", m.fit, on(&main_window::handle_clear));
  tk_.addmenuseparator(m.fit);
  m.fit_results_table =
      tk_.addmenuitem("Results Table", m.fit, on(&main_window::handle_results_table));
  m.fit_simulate = tk_.addmenuitem("Check the Verdict by Simulation\u2026", m.fit,
                                   on(&main_window::handle_simulate));
  tk_.addmenuseparator(m.fit);
  m.fit_mc50 = tk_.addmenuitem("MC50", m.fit, on(&main_window::handle_mc50));

  // Plots: the charts of the last run's best model.
  m.plots = tk_.addmenu("Plots", m.bar);
  m.plots_xy = tk_.addmenuitem("XY Plot", m.plots, on(&main_window::handle_plot));
  m.plots_residuals = tk_.addmenuitem("Residuals", m.plots, on(&main_window::handle_resplot));
  m.plots_kmapp = tk_.addmenuitem("Ca/Sp Plot", m.plots, on(&main_window::handle_kmapplot));
  m.plots_mc50 = tk_.addmenuitem("MC50 Plot", m.plots, on(&main_window::handle_mc50plot));
  m.plots_lineweaver_burk =
      tk_.addmenuitem("Lineweaver-Burk Plot", m.plots, on(&main_window::handle_lineweaver_burk));
  m.plots_dixon = tk_.addmenuitem("Dixon Plot", m.plots, on(&main_window::handle_dixon));
  tk_.addmenuseparator(m.plots);
  m.plots_model_plots = tk_.addmenuitem("Show Model Plots of Last Run", m.plots,
                                        on(&main_window::handle_model_plots));

  // Settings: what the next run does and how charts are shown. The weighting, the
  // error model and the fitting method are radio marks, the one in force checked.
  m.settings = tk_.addmenu("Settings", m.bar);
  m.weight = tk_.addmenu("Weight", m.settings);
  m.weight_on = tk_.addmenuitem("Turn-ON Robust Wt", m.weight, on(&main_window::handle_weight_on));
  m.weight_off =
      tk_.addmenuitem("Turn-OFF Robust Wt", m.weight, on(&main_window::handle_weight_off));
  tk_.addmenuradiogroup({m.weight_on, m.weight_off});
  tk_.addmenuseparator(m.weight);
  constexpr std::array<std::pair<std::string_view, core::error_model>, 3> error_entries{{
      {"Equal Weights", core::error_model::equal},
      {"Relative Weights (1/v\u00b2)", core::error_model::relative},
      {"Poisson Weights (1/v)", core::error_model::poisson},
  }};
  for (std::size_t k = 0; k < error_entries.size(); ++k) {
    const core::error_model errors = error_entries[k].second;
    m.error_models[k] = tk_.addmenuitem(std::string(error_entries[k].first), m.weight,
                                        [this, errors] { handle_error_model(errors); });
  }
  tk_.addmenuradiogroup(std::vector<int>(m.error_models.begin(), m.error_models.end()));
  tk_.addmenuseparator(m.weight);
  m.method_chain = tk_.addmenuitem("Chain Only (Reproduce Earlier Results)", m.weight,
                                   on(&main_window::handle_chain_only));
  m.method_refine =
      tk_.addmenuitem("Refine Fits (Default)", m.weight, on(&main_window::handle_refine));
  tk_.addmenuradiogroup({m.method_chain, m.method_refine});
  tk_.addmenuseparator(m.settings);
  m.pause_at_plots = tk_.addmenuitem("Pause at Each Model's Plot", m.settings,
                                     on(&main_window::handle_pause_setting));
  m.fast_fitting =
      tk_.addmenuitem("Fast Fitting", m.settings, on(&main_window::handle_fast_fitting));
  m.replicate_means = tk_.addmenuitem("Show Replicates as Mean \u00b1 SD", m.settings,
                                      on(&main_window::handle_replicate_means));
  m.residuals_by_rate = tk_.addmenuitem("Residuals Against Fitted Rate", m.settings,
                                        on(&main_window::handle_residual_axis));
  tk_.addmenuseparator(m.settings);
  m.axis_units = tk_.addmenuitem("Axis Units...", m.settings, on(&main_window::handle_axis_units));

  // Help: the pages that explain the program and its models.
  m.help = tk_.addmenu("Help", m.bar);
  m.help_help = tk_.addmenuitem("Help", m.help, on(&main_window::handle_help));
  tk_.addmenuseparator(m.help);
  m.help_mechanism =
      tk_.addmenuitem("Mechanism of Inhibition", m.help, on(&main_window::handle_mechanism));
  m.help_model_library = tk_.addmenuitem("Model Library", m.help, on(&main_window::handle_models));
  tk_.addmenuseparator(m.help);
  m.help_about = tk_.addmenuitem("About", m.help, on(&main_window::handle_about));

  // The one-click commands stay one click away, with their texts, on a tool bar
  // under the menus: people who know them find them where a desktop program keeps
  // such buttons, and the drop-downs keep one entry per command.
  m.tools = tk_.addtoolbar("Toolbar");
  m.tool_open = tk_.addmenuitem("OpenData", m.tools, on(&main_window::handle_open));
  m.tool_models = tk_.addmenuitem("Models", m.tools, on(&main_window::handle_model_lib));
  m.tool_run = tk_.addmenuitem("Run", m.tools, on(&main_window::handle_run));
  m.tool_clear = tk_.addmenuitem("Clear", m.tools, on(&main_window::handle_clear));
  tk_.addmenuseparator(m.tools);
  m.tool_xy_plot = tk_.addmenuitem("XY_Plot", m.tools, on(&main_window::handle_plot));
  m.tool_residuals = tk_.addmenuitem("Residuals", m.tools, on(&main_window::handle_resplot));
  m.tool_kmapp_plot = tk_.addmenuitem("Ca/Sp_Plot", m.tools, on(&main_window::handle_kmapplot));
  m.tool_mc50_plot = tk_.addmenuitem("MC50_Plot", m.tools, on(&main_window::handle_mc50plot));
  tk_.addmenuseparator(m.tools);
  m.tool_help = tk_.addmenuitem("Help", m.tools, on(&main_window::handle_help));
  m.tool_about = tk_.addmenuitem("About", m.tools, on(&main_window::handle_about));
  m.tool_quit = tk_.addmenuitem("Quit", m.tools, on(&main_window::handle_quit));

  // The standard keys reach the entries; their texts stay as they are.
  tk_.setmenuitemshortcut(m.file_open, toolkit::shortcut::open);
  tk_.setmenuitemshortcut(m.file_save, toolkit::shortcut::save);
  tk_.setmenuitemshortcut(m.file_print, toolkit::shortcut::print);
  tk_.setmenuitemshortcut(m.file_quit, toolkit::shortcut::quit);
  tk_.setmenuitemshortcut(m.help_help, toolkit::shortcut::help);
}

void main_window::set_menu_state(menu_column column) {
  const menu_ids& m = st_.menus;
  const auto index = static_cast<std::size_t>(column);
  for (const menu_row& row : menu_table) {
    const char state = row.states[index];
    if (state == ' ') continue;
    bool flag = state == 'E';
    if (state == '*') {
      // One curve shows no dependence on [I]: the Ca/Sp plot needs two or more.
      flag = st_.choices.model_count() >= 1 && ctx_.idatasets >= 2;
    }
    for (int e = 0; e < row.count; ++e)
      tk_.enablemenuitem(m.*row.entries[e], flag);
  }
}

// The weighting's radio marks follow the switch; both entries stay enabled. A choice
// made while another command ran has set the switch although its command was lost;
// the menu must show it.
void main_window::set_weight_entries() {
  const bool on = st_.choices.weighting_switch.load() != 0;
  tk_.setmenuitemchecked(st_.menus.weight_on, on);
  tk_.setmenuitemchecked(st_.menus.weight_off, !on);
  set_method_entries();
  set_error_model_entries();
}

// The entry of the error model in use carries the radio mark.
void main_window::set_error_model_entries() {
  const auto in_use = static_cast<std::size_t>(st_.choices.errors.load());
  for (std::size_t k = 0; k < st_.menus.error_models.size(); ++k)
    tk_.setmenuitemchecked(st_.menus.error_models[k], k == in_use);
}

// The entry of the fitting method in use carries the radio mark.
void main_window::set_method_entries() {
  const bool chain = st_.choices.chain_only.load();
  tk_.setmenuitemchecked(st_.menus.method_chain, chain);
  tk_.setmenuitemchecked(st_.menus.method_refine, !chain);
  // The chain alone has no fast variant: fast fitting leaves the chain out.
  tk_.enablemenuitem(st_.menus.fast_fitting, !chain);
}

// The pause and fast-fitting entries show their settings with a check mark; the
// charts of the last run can be shown once there are any.
void main_window::set_settings_entries() {
  tk_.setmenuitemchecked(st_.menus.pause_at_plots, pause_at_plots_.load());
  tk_.setmenuitemchecked(st_.menus.fast_fitting, st_.choices.fast.load());
  tk_.setmenuitemchecked(st_.menus.replicate_means, st_.choices.replicate_means.load());
  tk_.setmenuitemchecked(st_.menus.residuals_by_rate, residuals_by_rate_.load());
  tk_.enablemenuitem(st_.menus.plots_model_plots, frontend_ && frontend_->kept_plot_count() > 0);
}

// One entry per recent file, most recent first; unused entries are hidden and the
// drop-down is greyed out while the list is empty.
void main_window::set_recent_entries() {
  for (int i = 0; i < recent_count; ++i) {
    const int id = st_.menus.recent[static_cast<std::size_t>(i)];
    const bool used = i < static_cast<int>(st_.recent.size());
    if (used) tk_.setmenuitemtext(id, st_.recent[static_cast<std::size_t>(i)]);
    tk_.setmenuitemvisible(id, used);
  }
  tk_.enablemenuitem(st_.menus.file_recent, !st_.recent.empty());
  std::lock_guard lock(files_mutex_);
  recent_shown_ = st_.recent;
}

}  // namespace inhibra::shell
