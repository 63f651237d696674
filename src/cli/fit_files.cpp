#include "cli/fit_files.hpp"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include <fmt/format.h>

#include "cli/cli_frontend.hpp"
#include "cli/stop_signals.hpp"
#include "data/output_file.hpp"
#include "imaging/plot_image.hpp"
#include "models/model_library.hpp"
#include "plots/kmapp_plot.hpp"
#include "plots/mc50plot.hpp"
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

// Draws a chart into its file, whole or not at all. False (with a message) when the
// file could not be written.
bool write_chart(const plotengine::pplot& chart, const plot_output& plots, const std::string& path,
                 core::frontend& fe) {
  std::optional<std::string> bytes;
  {
    const std::lock_guard guard(drawing_lock());
    bytes = imaging::encode_plot(chart, format_of(plots));
  }
  data::output_file file;
  if (bytes && file.open(path)) {
    file << *bytes;
    if (file.commit()) return true;
  }
  fe.message(core::box_kind::error, "Plot file not written: " + path +
                                        (file.error().empty() ? "" : " (" + file.error() + ")"));
  return false;
}

std::string plot_path(const plot_output& plots, const std::string& stem, std::string_view what) {
  return (std::filesystem::path(plots.dir) / fmt::format("{}-{}.{}", stem, what, plots.format))
      .string();
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
  for (std::size_t i = 0; i < settings.models.size(); ++i)
    ctx->imdl[i] = settings.models[i] ? 1 : 0;
  ctx->nwt_global = settings.robust ? 2 : 0;
  ctx->chain_only = settings.chain_only;
  ctx->profiles = settings.profiles;
  ctx->stop = &stop_signal();
  ctx->fe = &fe;
  if (settings.progress) fe.set_progress(file);

  const plot_output& plots = settings.plots;
  bool plots_written = true;
  auto write = [&](const plotengine::pplot& chart, std::string_view what) {
    if (stop_asked()) return;
    plots_written =
        write_chart(chart, plots, plot_path(plots, plan.plot_stem, what), fe) && plots_written;
  };
  if (!plots.dir.empty()) {
    fe.set_plot_sink([&](const plotengine::pplot& chart) {
      write(chart, fmt::format("model{:02}-xy", ctx->model));
    });
  }

  std::string name = file;
  out.status = core::code(fit::ezfit(*ctx, name, fe.console(), &out.record));
  out.rows = ctx->idat;
  out.curves = ctx->idatasets;

  if (!plots.dir.empty() && out.status == 0 && out.record.best_model != 0) {
    if (auto chart = plots::xy_chart(*ctx, models::held_model_rate(*ctx))) write(*chart, "best-xy");
    if (auto chart = plots::residual_chart(*ctx)) write(*chart, "best-residuals");
    if (ctx->idatasets >= 2) {
      if (auto chart = plots::kmapp_chart(*ctx)) write(*chart, "best-kmapp");
    }
    if (auto chart = plots::mc50_chart(*ctx)) write(*chart, "best-mc50");
  }
  if (!plots_written) {
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
