#include "fit/ezfit.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "data/data_file.hpp"
#include "fit/covariance.hpp"
#include "fit/exact_statistics.hpp"
#include "fit/fast_fit.hpp"
#include "fit/fit_checks.hpp"
#include "fit/fit_results.hpp"
#include "fit/init_estimates.hpp"
#include "fit/jacobian.hpp"
#include "fit/profile.hpp"
#include "fit/refine.hpp"
#include "fit/report.hpp"
#include "fit/residual_diagnostics.hpp"
#include "fit/row_influence.hpp"
#include "fit/row_weights.hpp"
#include "fit/unit_checks.hpp"
#include "models/bound_point.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"
#include "models/objective.hpp"
#include "plots/xyplot.hpp"
#include "strings/text.hpp"

namespace inhibra::fit {

namespace {

constexpr double no_best_aicc = 1e16;  // best AICc before the first model
// The run's pacing: a pause after each fit's statistics, and around its plot.
constexpr int pause_after_fit_ms = 1000;
constexpr int pause_around_plot_ms = 500;
// Rounds of the consistency sweep after the last model (each round that changes a
// model lowers its sum of squares, so few are ever needed).
constexpr int consistency_rounds = 10;

// Everything a run keeps between its models.
struct run_state {
  run_state(core::fit_context& context, std::ostream& console_stream)
      : ctx(context), console(console_stream), k(compute_run_constants()) {}

  core::fit_context& ctx;
  std::ostream& console;  // the terminal's lines of the run
  data::output_file results;
  std::string results_name;
  run_constants k;
  std::int32_t weighting_switch = 0;                    // the switch as the front end set it
  core::error_model errors = core::error_model::equal;  // the run's error model
  bool refine = true;    // the refinement stage after the chain (off: the chain alone)
  bool fast = false;     // the refinement's solves alone, without the chain before them
  bool profiles = true;  // profile-likelihood limits of the refined fits

  par_array x{};  // the parameter vector, kept across models as one run array
  models::gradient_array g{};
  models::constraint_array c{};
  models::cjac_array cjac{};
  std::vector<double> jac =
      std::vector<double>(static_cast<std::size_t>(core::max_rows * core::max_par));

  // Every model fitted, in the order of fitting, with its report section and the
  // date line of that section.
  std::vector<model_result> fitted;
  std::vector<std::string> sections;
  std::vector<std::string> dates;
  std::vector<std::string> warnings;  // every warning of the run, in the order shown
  bool results_written = false;       // the results file was put in place

  // The best model (chosen when the run ends).
  double best_aicc = no_best_aicc;
  bool have_best = false;
  int best_model = 0;
  std::size_t best_index = 0;        // into fitted
  std::vector<flagged_row> flagged;  // rows of the best fit worth a look
};

void set_title_and_refresh(const core::fit_context& ctx, int model) {
  if (ctx.fe == nullptr) return;
  ctx.fe->set_title("Wait, computing model #" + strings::int_text(model));
  ctx.fe->refresh();
}

void idle(const core::fit_context& ctx, int milliseconds) {
  if (ctx.fe != nullptr) ctx.fe->idle(milliseconds);
}

void write_sections(run_state& run) {
  for (const auto& section : run.sections)
    run.results << section;
}

// An ordered stop before a model is fitted. A run that has fitted nothing writes
// nothing: an earlier results file stays as it was. Models already fitted before
// the stop keep their sections: the results file then holds them and the closing
// line, and is put in place.
core::run_status abort_with(run_state& run, core::box_kind kind, const std::string& text,
                            core::run_status status) {
  core::show_message(run.ctx, kind, text);
  if (run.sections.empty()) {
    data::abort_run(run.ctx, &run.results, run.results_name, &run.console);
    return status;
  }
  core::show_message(run.ctx, core::box_kind::error, "* * * ERROR: RUN ABORTED * * *");
  write_sections(run);
  write_closing_line(run.results, run.results_name);
  data::console_closing_line(run.console, run.results_name);
  run.results_written = data::commit_results(run.ctx, run.results);
  return status;
}

// A write to the results file failed: the run stops, and the file is not put in
// place (an earlier one stays).
core::run_status results_not_written(run_state& run) {
  data::warn_results_not_written(run.ctx, run.results);
  core::show_message(run.ctx, core::box_kind::error, "* * * ERROR: RUN ABORTED * * *");
  run.results.discard();
  return core::run_status::file_not_opened;
}

// Statistics of the fit in run.x: gradient, fitted rates, weighted SSR, standard
// errors, limits and correlations.
void statistics(run_state& run, model_result& r) {
  core::fit_context& ctx = run.ctx;
  const int n = r.n;
  const int rows = ctx.rows;
  double f = 0.0;
  models::derivatives(ctx, run.g, f, run.x);
  std::copy(run.g.begin(), run.g.end(), r.gradient.begin());
  double ssr = 0.0;
  jacobian(ctx, rows, n, run.jac, ssr, run.x, ctx.fitted);
  r.ssr = ssr;
  const auto outcome = stderrpar(rows, n, run.jac, r.normal, ssr, r.se, r.correlation, r.cl);
  r.se_produced = outcome == stderr_outcome::produced;
  r.inverse_unusable = outcome == stderr_outcome::diagonal_not_positive;
  r.t = tvalue(rows - n);
  std::copy(run.x.begin(), run.x.end(), r.p.begin());
}

// The best model of the run (none when nothing was fitted).
void choose_best(run_state& run) {
  const auto best = best_fitted(run.fitted);
  if (!best) return;
  const model_result& r = run.fitted[*best];
  run.have_best = true;
  run.best_aicc = r.aicc;
  run.best_model = r.model;
  run.best_index = *best;
}

void leave_best_model(run_state& run) {
  core::fit_context& ctx = run.ctx;
  if (!run.have_best) return;
  const model_result& best = run.fitted[run.best_index];
  restore_observations(ctx);
  leave_fit_in_context(ctx, best);
  ctx.model = run.best_model;
  ctx.mdl_number = run.best_model;
  std::copy(best.mc50.substrate.begin(), best.mc50.substrate.end(), ctx.mc50_substrate.begin());
  std::copy(best.mc50.value.begin(), best.mc50.value.end(), ctx.mc50_value.begin());
  std::string name;
  models::npar(run.best_model, name, ctx.n_par);
  ctx.strmdl = std::string(strings::trim_both(name));
}

// The fitted models' optima carried into `model` through the general form.
std::vector<par_array> borrowed_starts(const run_state& run, int model) {
  std::vector<par_array> starts;
  for (const auto& other : run.fitted) {
    if (other.model == model) continue;
    starts.push_back(models::carry_into(model, models::general_form(other.model, other.p)));
  }
  return starts;
}

// The fit moves to p (the refinement's or the consistency sweep's point): the
// statistics are computed again there.
void adopt_point(run_state& run, model_result& r, const par_array& p) {
  run.x.fill(0.0);
  std::copy_n(p.begin(), r.n, run.x.begin());
  statistics(run, r);
  // The chain's statistics know robust weights only; an error model's weighted sum
  // is the one the statistics, the criterion and the report go by.
  if (r.errors != core::error_model::equal) r.ssr = reported_ssr(run.ctx, r.p);
  exact_statistics(run.ctx, r);
  r.refined = true;
}

// The criteria of a finished fit. The report's AICc from its sum of squares and
// standard errors, plus, with an error model other than equal weights, the
// likelihood's sum of the log error sizes, which differs between models; beside it
// the textbook criteria from the same weighted sum.
void score(const core::fit_context& ctx, model_result& r) {
  r.ratio_sum = ratio_sum(r.n, r.p, r.se, r.se_produced);
  aicc(ctx.rows, r.n, r.ratio_sum, r.ssr, r.aicc);
  r.error_log = error_log_term(ctx, r.p);
  if (r.aicc < aicc_cap) r.aicc += r.error_log;
  r.textbook = textbook_criteria(ctx.rows, r.n, r.ssr, r.error_log);
}

void warn(run_state& run, const std::string& text) {
  core::show_message(run.ctx, core::box_kind::warning, text);
  run.warnings.push_back(text);
}

void warn_solver_failed(run_state& run, int model) {
  warn(run, "Model " + strings::int_text(model) +
                ": the refinement met parameter values where the rates cannot be computed "
                "(numbers out of range; are the data in sensible units?) and kept the best "
                "point it could compute");
}

// The weighting switch of the run for the context's next fit; a switch out of range
// fits without robust weights, and says so.
void set_fit_weighting(run_state& run) {
  const std::optional<core::weighting> switched = core::switched_weighting(run.weighting_switch);
  const bool switch_valid = switched.has_value();
  run.ctx.weighting = switched.value_or(core::weighting::none);
  if (!switch_valid) {
    core::show_message(run.ctx, core::box_kind::warning, "Value of weight out of range of [0-2]!");
  }
}

// Profile limits of every fitted model, then one warning box naming every Km, Vmax
// and Ki that ended at an end of its range.
void after_the_fits(run_state& run) {
  std::vector<std::string> at_ends;
  for (auto& r : run.fitted) {
    select_fitted(run.ctx, r);
    if (run.profiles) r.stage_evaluations[stage::profiles] = profile_limits(run.ctx, r);
    r.warnings = box_end_warnings(r);
    at_ends.insert(at_ends.end(), r.warnings.begin(), r.warnings.end());
  }
  if (at_ends.empty()) return;
  std::string text;
  for (const auto& line : at_ends)
    text += (text.empty() ? "" : "\n") + line;
  core::show_message(run.ctx, core::box_kind::warning, text);
  run.warnings.insert(run.warnings.end(), at_ends.begin(), at_ends.end());
}

// The model's report section as text; the report also leaves the MC50 table in r
// and the printable fitted rates in the context.
std::string section_text(run_state& run, model_result& r, const std::string& date) {
  complete_result(run.ctx, r);
  r.at_bound = parameters_at_bound(r);
  conditional_statistics(run.ctx, r);
  std::ostringstream out;
  write_model_section(out, run.ctx, r, date);
  leave_fit_in_context(run.ctx, r);
  return out.str();
}

// No model may report a sum of squares above the one another model's optimum,
// carried into its box, gives it. A model that loses this comparison is solved
// again from the better point, and its statistics, AICc and section follow.
void make_consistent(run_state& run) {
  core::fit_context& ctx = run.ctx;
  for (int round = 1; round <= consistency_rounds; ++round) {
    bool changed = false;
    for (std::size_t k = 0; k < run.fitted.size(); ++k) {
      model_result& r = run.fitted[k];
      select_fitted(ctx, r);
      std::int64_t evaluations = 0;
      const scored_point best =
          consistent_point(ctx, {r.p, r.ssr}, borrowed_starts(run, r.model), evaluations);
      r.stage_evaluations[stage::refinement] += evaluations;
      if (best.p == r.p) continue;
      adopt_point(run, r, best.p);
      score(ctx, r);
      run.sections[k] = section_text(run, r, run.dates[k]);
      changed = true;
    }
    if (!changed) break;
  }
}

// Checks that `model` can be fitted to the data read; sets the model's name and
// parameter count in the context.
core::run_status check_model(run_state& run, int model, int& n) {
  core::fit_context& ctx = run.ctx;
  ctx.model = model;
  ctx.mdl_number = model;
  if (data::ncolmdl(ctx, ctx.columns, model) != core::run_status::success) {
    return abort_with(run, core::box_kind::warning,
                      "Number of variables not compatible with model: " + strings::int_text(model),
                      core::run_status::model_not_usable);
  }
  std::string name;
  models::npar(model, name, n);
  ctx.strmdl = std::string(strings::trim_both(name));
  ctx.n_par = n;
  if (n > core::max_par) {
    return abort_with(run, core::box_kind::warning,
                      "Number of variables exceeded limit: " + strings::int_text(core::max_par),
                      core::run_status::too_many_parameters);
  }
  if (n > ctx.rows) {
    return abort_with(run, core::box_kind::warning,
                      "Not enough data points to fit model: " + strings::int_text(ctx.rows),
                      core::run_status::too_many_parameters);
  }
  return core::run_status::success;
}

// Initial estimates and the chain of stages for one model, with the chain's statistics.
model_result fit_by_chain(run_state& run, int model, int n, bool refitted) {
  core::fit_context& ctx = run.ctx;
  // The weighting of this run applies from the start, also to the polish of the
  // initial estimates, so a run never depends on the one before it.
  set_fit_weighting(run);
  // The chain always fits with equal weights; the error model starts to act in the
  // refinement from the chain's point.
  ctx.errors = core::error_model::equal;

  if (refitted) run.x.fill(1.0);
  stage_costs cost{};
  const std::int64_t before_estimates = evaluations(ctx);
  init_estimates(ctx, std::span(run.x).first(static_cast<std::size_t>(n)), core::max_par, model);
  models::bound_point(n, run.x, model);
  for (int i = 0; i < n; ++i)
    run.x[static_cast<std::size_t>(i)] = std::abs(run.x[static_cast<std::size_t>(i)]);

  cost[stage::estimates] = evaluations(ctx) - before_estimates;
  const chain_outcome chain = fit_chain(ctx, run.k, n, model, run.x, cost);

  model_result r;
  r.model = model;
  r.name = ctx.strmdl;
  r.n = n;
  r.weighting = ctx.weighting;
  r.errors = run.errors;
  r.ssr_objective = chain.f;
  r.sqp_info = chain.sqp_info;
  r.sqp_iteration_limit = chain.sqp_iteration_limit;
  r.refitted = refitted;
  r.stage_evaluations = cost;
  statistics(run, r);
  r.chain_ssr = r.ssr;
  return r;
}

// The fast path: the refinement's solves alone from the data's starts and the other
// models' optima, with the statistics at the point found. No chain ran: its sum and
// its constrained stage's outcome are left as not run.
model_result fit_fast(run_state& run, int model) {
  set_fit_weighting(run);
  run.ctx.errors = run.errors;
  const fast_outcome found = fast_fit(run.ctx, borrowed_starts(run, model));
  if (found.solver_failed) warn_solver_failed(run, model);
  model_result r = found.fit;
  adopt_point(run, r, r.p);
  r.refined = false;  // nothing to improve on
  return r;
}

// The refinement from the chain's point and the other models' optima; the
// statistics follow the point kept.
void refine_fit(run_state& run, int model, model_result& r) {
  const auto borrowed = borrowed_starts(run, model);
  run.ctx.errors = r.errors;
  if (r.errors != core::error_model::equal) r.ssr = reported_ssr(run.ctx, r.p);
  // Robust weighting also searches from fits that outliers have not pulled and
  // descends on the robust sum itself.
  const refinement found = r.weighting == core::weighting::robust
                               ? refine_robust(run.ctx, r.p, r.ssr, borrowed)
                               : refine(run.ctx, r.p, r.ssr, borrowed);
  r.stage_evaluations[stage::refinement] = found.evaluations;
  if (found.solver_failed) warn_solver_failed(run, model);
  if (found.improved) {
    adopt_point(run, r, found.best.p);
  } else {
    exact_statistics(run.ctx, r);
  }
}

// AICc, the report section and the plot of a finished fit.
void keep_fit(run_state& run, int model, model_result& r) {
  core::fit_context& ctx = run.ctx;
  set_title_and_refresh(ctx, model);
  score(ctx, r);
  if (r.inverse_unusable) {
    warn(run, "Model " + strings::int_text(model) +
                  ": Mat Inversion: Matrix diagonal = 0! The data do not determine its "
                  "parameters: no standard errors, confidence limits or correlations");
  }
  if (r.ssr == 0.0) {
    core::show_message(ctx, core::box_kind::warning,
                       "Model " + strings::int_text(model) +
                           " fits every rate exactly (residual sum of squares 0): its AICc is "
                           "-Infinity");
  }
  idle(ctx, pause_after_fit_ms);

  run.dates.push_back(report_date_time());
  run.sections.push_back(section_text(run, r, run.dates.back()));
  run.fitted.push_back(r);

  idle(ctx, pause_around_plot_ms);
  plots::xyplot(ctx, models::held_model_rate(ctx));
  idle(ctx, pause_around_plot_ms);
  if (ctx.fe != nullptr) ctx.fe->refresh();
}

// The ranking by AICc, the best model and what the caller keeps of the run.
std::vector<ranking_row> rank_fits(run_state& run) {
  std::vector<ranking_row> ranking;
  if (run.fitted.size() > 1) {
    std::vector<double> raic;
    std::vector<double> ridx;
    for (const auto& r : run.fitted) {
      raic.push_back(r.aicc);
      ridx.push_back(static_cast<double>(raic.size()));
    }
    ranking = rank_models(raic, ridx, static_cast<int>(raic.size()));
    write_summary(run.results, ranking, run.fitted);
  }
  choose_best(run);
  leave_best_model(run);
  if (run.have_best) {
    run.flagged = flag_rows(run.fitted[run.best_index].influence);
    for (const auto& f : run.flagged)
      run.ctx.flagged_rows.push_back(f.row);
  }
  return ranking;
}

}  // namespace

core::run_status ezfit(core::fit_context& ctx, std::string& file_name, std::ostream& console,
                       run_record* record) {
  const auto state = std::make_unique<run_state>(ctx, console);
  run_state& run = *state;
  ctx.eps = run.k.eps;
  ctx.big = run.k.big;
  ctx.model_limit = core::max_models;
  // The run's own copy of the settings: the refinement's switches follow from the
  // fitting method.
  run.weighting_switch = ctx.weighting_switch;
  run.errors = ctx.error_switch;
  run.refine = !ctx.chain_only;
  run.fast = run.refine && ctx.fast;
  run.profiles = run.refine && ctx.profiles;
  ctx.flagged_rows.clear();  // an earlier run's rows are not this run's

  const auto read = data::read_data_file(ctx, file_name, &run.results, console);
  file_name = read.data_name;
  run.results_name = read.results_name;
  run.warnings = read.warnings;
  if (record != nullptr) {
    record->data_name = read.data_name;
    record->results_name = read.results_name;
    record->weighting =
        core::switched_weighting(run.weighting_switch).value_or(core::weighting::none);
    record->errors = run.errors;
    record->method = run.fast     ? fit_method::fast
                     : run.refine ? fit_method::chain_and_refinement
                                  : fit_method::chain_only;
    record->curves_found = read.curves_found;
    if (read.table) record->units = read.table->units;
    record->warnings = run.warnings;
    record->rows_left_out = ctx.rows_left_out;
  }
  if (read.status != core::run_status::success) return read.status;
  if (!run.refine && run.errors != core::error_model::equal) {
    warn(run, "Fitting with the chain of stages alone uses equal weights: " +
                  std::string(core::error_model_name(run.errors)) +
                  " weights act in the refinement after it, which this run leaves out");
    run.errors = core::error_model::equal;
  }
  if (const std::string units = magnitude_warning(ctx); !units.empty()) warn(run, units);

  std::vector<int> selected;
  for (int i = 1; i <= core::max_models; ++i) {
    if (ctx.selected_models[static_cast<std::size_t>(i - 1)]) selected.push_back(i);
  }
  ctx.global_mdl_count = static_cast<int>(selected.size());

  int done = 0;
  for (const int model : selected) {
    if (ctx.stop != nullptr && ctx.stop->load() != 0) return core::run_status::interrupted;
    if (ctx.fe != nullptr) ctx.fe->progress(model, done++, ctx.global_mdl_count);
    if (run.results.failed()) return results_not_written(run);
    bool refitted = false;
    while (true) {
      restore_observations(ctx);
      int n = 0;
      if (const auto status = check_model(run, model, n); status != core::run_status::success) {
        if (record != nullptr) record->results_written = run.results_written;
        return status;
      }
      if (run.fast) {
        model_result r = fit_fast(run, model);
        keep_fit(run, model, r);
        break;
      }
      model_result r = fit_by_chain(run, model, n, refitted);
      // The refit decision is the chain's own, so the chain and its random sequence
      // are the same with or without the refinement that follows.
      if (!refitted && poorly_determined_count(n, r.p, r.se, r.se_produced) > 2) {
        // Too many poorly determined parameters: fit once more; the random
        // sequences have moved on, so the new attempt explores differently.
        refitted = true;
        set_title_and_refresh(ctx, model);
        continue;
      }
      if (run.refine) refine_fit(run, model, r);
      keep_fit(run, model, r);
      break;
    }
  }

  if (run.refine) {
    make_consistent(run);
    after_the_fits(run);
  }
  diagnose_fits(run.ctx, run.fitted);
  write_sections(run);
  const std::vector<ranking_row> ranking = rank_fits(run);
  if (record != nullptr) {
    record->fitted = run.fitted;
    record->errors = run.errors;
    record->ranking = ranking;
    record->design = design_of(ctx, run.errors);
    record->best_model = run.have_best ? run.best_model : 0;
    record->flagged_rows = run.flagged;
    // Counted among all rows of the file, as the person finds them there.
    if (!read.source_rows.empty()) {
      for (flagged_row& f : record->flagged_rows)
        f.row = read.source_rows[static_cast<std::size_t>(f.row) - 1];
    }
    record->warnings = run.warnings;
  }
  if (ctx.stop != nullptr && ctx.stop->load() != 0) return core::run_status::interrupted;
  write_closing_line(run.results, run.results_name);
  if (!data::commit_results(ctx, run.results)) {
    core::show_message(ctx, core::box_kind::error, "* * * ERROR: RUN ABORTED * * *");
    return core::run_status::file_not_opened;
  }
  if (record != nullptr) record->results_written = true;
  return core::run_status::success;
}

}  // namespace inhibra::fit
