// What the menus offer as a person goes along: start-up, opening a file, a run and
// what may follow it (a save, Clear, another file, a cancelled open dialog), and what
// Edit and Print find missing. Each case lists the commands offered beyond those
// offered whatever the steps were; every other command must be greyed out.
#include "shell/menu_commands.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

namespace inhibra::shell {
namespace {

using enum menu_command;
using offer = std::set<menu_command>;

// Offered whatever the steps were (fast fitting as long as runs refine their fits).
const offer always = {open,
                      import_table,
                      example,
                      models,
                      mc50,
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
                      quit};

offer operator+(offer a, const offer& b) {
  a.insert(b.begin(), b.end());
  return a;
}

offer operator-(offer a, const offer& b) {
  for (const menu_command c : b)
    a.erase(c);
  return a;
}

// The steps.
const auto opened = on_open;
const auto cancelled = on_open_cancelled;
const auto cleared = on_clear;
const auto saved = on_save;
const auto started = on_run_start;
void ran(menu_state& s) {
  on_run_start(s);
  on_run_end(s, {.in_order = true, .curves = 4, .fitted = true, .ranked = true});
}
void ran_one_curve(menu_state& s) {
  on_run_start(s);
  on_run_end(s, {.in_order = true, .curves = 1, .fitted = true, .ranked = true});
}
void fitted_one_model(menu_state& s) {
  on_run_start(s);
  on_run_end(s, {.in_order = true, .curves = 4, .fitted = true, .ranked = false});
}
void stopped(menu_state& s) {  // a run that did not end in order, after fitting a model
  on_run_start(s);
  on_run_end(s, {.in_order = false, .curves = 4, .fitted = true, .ranked = true});
}
void no_data_file(menu_state& s) {
  s.data_file_missing = true;
}
void no_results_file(menu_state& s) {
  s.results_file_missing = true;
}

struct walk {
  const char* name;
  std::vector<std::function<void(menu_state&)>> steps;
  offer offered;
};

TEST(MenuCommands, OfferWhatTheStepsSoFarAllow) {
  const offer file = {weight, run, clear, edit};
  const offer report = {save, print};
  const offer plots = {xy_plot, residuals, kmapp_plot, mc50_plot, lineweaver_burk, dixon};
  const offer fits = {results_table, simulate};
  const offer after_run = file + report + plots + fits;
  const walk walks[] = {
      {"start-up", {}, {}},
      {"open", {opened}, file},
      {"cancelled open", {cancelled}, {clear}},
      {"open, then a cancelled open", {opened, cancelled}, file - offer{run}},
      {"a run going on", {opened, started}, file - offer{run}},
      {"a second run going on", {opened, ran, started}, after_run - offer{run}},
      {"run, four curves", {opened, ran}, after_run},
      {"run, one curve", {opened, ran_one_curve}, after_run - offer{kmapp_plot}},
      {"run that ranked nothing", {opened, fitted_one_model}, after_run - offer{simulate}},
      {"run not in order", {opened, stopped}, file + report},
      {"save after a run", {opened, ran, saved}, after_run - offer{run, save}},
      {"save after a run not in order",
       {opened, stopped, saved},
       file + plots + offer{print} - offer{run}},
      {"save after a run with one curve",
       {opened, ran_one_curve, saved},
       after_run - offer{run, save}},
      {"clear after a run", {opened, ran, cleared}, offer{weight, run} + fits},
      {"clear after a save", {opened, ran, saved, cleared}, offer{weight, run} + fits},
      {"cancelled open after a run", {opened, ran, cancelled}, after_run - offer{run}},
      {"clear without a file", {cancelled, cleared}, {}},
      {"another file after a run", {opened, ran, opened}, file},
      {"edit finds no data file", {opened, no_data_file}, file - offer{edit}},
      {"a save keeps that", {opened, ran, no_data_file, saved}, after_run - offer{run, save, edit}},
      {"a run looks again", {opened, no_data_file, ran}, after_run},
      {"print finds no results file", {opened, ran, no_results_file}, after_run - offer{print}},
      {"a save looks again", {opened, ran, no_results_file, saved}, after_run - offer{run, save}},
  };
  for (const walk& w : walks) {
    SCOPED_TRACE(w.name);
    menu_state s;
    for (const auto& step : w.steps)
      step(s);
    for (const command_entry& e : commands()) {
      const bool want = always.contains(e.id) || w.offered.contains(e.id);
      EXPECT_EQ(enabled(e, s), want) << e.in_menus.text;
    }
  }
}

// What the window sets as it changes: the fitting method, the charts kept of the last
// run, the recent files.
TEST(MenuCommands, FollowTheMethodTheChartsAndTheRecentFiles) {
  menu_state s;
  s.chain_only = true;
  s.charts_kept = true;
  s.recent_files = true;
  for (const command_entry& e : commands()) {
    const bool want = (always.contains(e.id) && e.id != fast_fitting) || e.id == model_plots ||
                      e.id == recent_files;
    EXPECT_EQ(enabled(e, s), want) << e.in_menus.text;
  }
}

}  // namespace
}  // namespace inhibra::shell
