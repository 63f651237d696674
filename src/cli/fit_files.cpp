#include "cli/fit_files.hpp"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "cli/cli_frontend.hpp"
#include "cli/stop_signals.hpp"
#include "data/output_file.hpp"
#include "evidence/simulation_summary.hpp"
#include "imaging/plot_image.hpp"
#include "models/model_library.hpp"
#include "plots/figure_units.hpp"
#include "plots/kmapp_plot.hpp"
#include "plots/mc50plot.hpp"
#include "plots/reciprocal_plots.hpp"
#include "plots/resplot.hpp"
#include "plots/xyplot.hpp"

namespace inhibra::cli {

namespace {

// Image files are drawn one at a time: the drawing back end is shared by the runs.
std::mutex& drawing_lock() {
  static std::mutex lock;
  return lock;
}

bool stop_asked() {
  return stop_signal().load() != 0;
}

imaging::image_format format_of(const plot_output& plots) {
  return imaging::format_for_path("." + plots.format).value_or(imaging::image_format::png);
}

// The plot files of one run, each written to its temporary file as it is drawn and
// put in place together when the run has ended without a stop.
class run_plots {
 public:
  run_plots(const plot_output& plots, const std::string& stem, core::frontend& fe)
      : plots_(plots), stem_(stem), fe_(fe) {}

  // Draws the chart into the temporary file of <stem>-<what>; a message when it could
  // not be written.
  void write(const plotengine::pplot& chart, std::string_view what) {
    const std::string path = plot_file_name(plots_, stem_, what);
    std::optional<std::string> bytes;
    {
      const std::lock_guard guard(drawing_lock());
      const picture_pixels size = picture_size(plots_);
      bytes = imaging::encode_plot(
          plots::with_units(chart, {plots_.concentration_unit, plots_.rate_unit}),
          format_of(plots_), size.width, size.height, plots_.dpi);
    }
    auto file = std::make_unique<data::output_file>();
    if (bytes && file->open(path)) {
      *file << *bytes;
      if (file->seal()) {
        waiting_.push_back(std::move(file));
        return;
      }
    }
    not_written(*file, path);
  }

  // Renames every waiting file into place. False when one could not be.
  bool commit() {
    for (auto& file : waiting_) {
      const std::string path = file->final_name();
      if (!file->commit()) not_written(*file, path);
    }
    waiting_.clear();
    return all_written_;
  }

 private:
  void not_written(const data::output_file& file, const std::string& path) {
    fe_.message(core::box_kind::error, "Plot file not written: " + path +
                                           (file.error().empty() ? "" : " (" + file.error() + ")"));
    all_written_ = false;
  }

  const plot_output& plots_;
  const std::string& stem_;
  core::frontend& fe_;
  std::vector<std::unique_ptr<data::output_file>> waiting_;  // discarded unless committed
  bool all_written_ = true;
};

// One line for each residual check of each model that advises something, such as
// "Model 3: residuals grow with the rate (p = 0.002): fit with relative weights".
void tell_advice(const fit::run_record& record, std::ostream& console) {
  for (const fit::model_result& r : record.fitted) {
    const fit::residual_diagnostics& d = r.diagnostics;
    for (const fit::diagnostic_test* t : {&d.runs, &d.normality, &d.spread, &d.lack_of_fit}) {
      if (!t->advice.empty()) console << "Model " << r.model << ": " << t->advice << '\n';
    }
  }
}

}  // namespace

file_outcome fit_file(const std::string& file, const planned_input& plan,
                      const run_settings& settings, std::ostream& err, std::mutex& lock) {
  file_outcome out;
  out.file = file;
  out.record.data_name = plan.data_name;
  out.record.results_name = plan.results_name;

  cli_frontend fe(err, lock);
  if (settings.name_files) fe.set_file_label(plan.data_name);
  if (!plan.refusal.empty()) {
    fe.message(core::box_kind::warning, plan.refusal);
    out.status = core::code(core::run_status::file_not_opened);
    return out;
  }
  if (stop_asked()) {
    out.status = core::code(core::run_status::interrupted);
    return out;
  }

  auto ctx = std::make_unique<core::fit_context>();
  ctx->selected_models = settings.models;
  ctx->weighting_switch =
      core::switch_value(settings.robust ? core::weighting::robust : core::weighting::none);
  ctx->error_switch = settings.errors;
  ctx->chain_only = settings.chain_only;
  ctx->fast = settings.fast;
  ctx->replicate_means = settings.plots.mean_sd;
  ctx->profiles = settings.profiles;
  ctx->stop = &stop_signal();
  ctx->table = settings.table;
  ctx->leave_out.assign(settings.leave_out.begin(), settings.leave_out.end());
  ctx->fe = &fe;
  if (settings.progress) fe.set_progress(file);

  const plot_output& plots = settings.plots;
  run_plots written(plots, plan.plot_stem, fe);
  if (!plots.dir.empty()) {
    fe.set_plot_sink([&](const plotengine::pplot& chart) {
      // A run that is stopping keeps none of its plots: no need to draw more.
      if (!stop_asked()) written.write(chart, model_plot_kind(ctx->model));
    });
  }

  std::string name = file;
  out.status = core::code(fit::ezfit(*ctx, name, fe.console(), &out.record));
  out.rows = ctx->idat;
  out.curves = ctx->idatasets;
  // A stopped run puts nothing in place; its plot files go with `written`.
  if (out.status == core::code(core::run_status::interrupted)) return out;
  out.evidence = evidence::weigh_evidence(out.record);
  if (settings.advice) tell_advice(out.record, fe.console());
  if (settings.simulate > 0 && out.status == 0 && !out.evidence.ranking.empty()) {
    out.simulation = evidence::simulate_selection(
        *ctx, out.record, out.evidence.ranking.front().model,
        {settings.simulate, settings.seed, settings.jobs, &stop_signal(), {}});
    if (stop_asked()) return out;
    if (settings.advice)
      fe.console() << evidence::simulation_summary(*out.simulation, out.record.errors);
  }
  if (settings.verdict && !out.record.fitted.empty())
    fe.console() << "Verdict: " << out.evidence.mechanism.sentence << '\n';

  // The run has ended (its results file is in place): its plots are completed and put
  // in place even when a stop comes meanwhile, so that they match the results.
  if (!plots.dir.empty() && out.status == 0 && out.record.best_model != 0) {
    if (auto chart = plots::xy_chart(*ctx, models::held_model_rate(*ctx))) {
      written.write(*chart, "best-xy");
    }
    const auto against = plots.residuals_against_rate ? plots::residual_axis::fitted_rate
                                                      : plots::residual_axis::substrate;
    if (auto chart = plots::residual_chart(*ctx, against)) written.write(*chart, "best-residuals");
    if (ctx->idatasets >= 2) {
      if (auto chart = plots::kmapp_chart(*ctx)) written.write(*chart, "best-kmapp");
    }
    if (auto chart = plots::mc50_chart(*ctx)) written.write(*chart, "best-mc50");
    const auto rate = models::held_model_rate(*ctx);
    if (auto chart = plots::lineweaver_burk_chart(*ctx, rate))
      written.write(*chart, "best-lineweaver-burk");
    if (auto chart = plots::dixon_chart(*ctx, rate)) written.write(*chart, "best-dixon");
  }
  if (!written.commit()) {
    out.status = std::max(out.status, core::code(core::run_status::file_not_opened));
  }
  return out;
}

std::vector<file_outcome> fit_files(const std::vector<std::string>& files,
                                    const std::vector<planned_input>& plan,
                                    const run_settings& settings, std::ostream& err) {
  std::vector<file_outcome> outcomes(files.size());
  std::mutex lock;
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < files.size(); i = next++) {
      outcomes[i] = fit_file(files[i], plan[i], settings, err, lock);
    }
  };
  const auto threads = static_cast<std::size_t>(std::max(1, settings.jobs));
  if (threads == 1 || files.size() <= 1) {
    worker();
    return outcomes;
  }
  std::vector<std::jthread> pool;
  for (std::size_t t = 0; t < std::min(threads, files.size()); ++t)
    pool.emplace_back(worker);
  pool.clear();  // joins
  return outcomes;
}

}  // namespace inhibra::cli
