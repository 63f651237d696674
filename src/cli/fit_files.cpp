#include "cli/fit_files.hpp"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include <fmt/format.h>

#include "cli/cli_frontend.hpp"
#include "plots/kmapp_plot.hpp"
#include "plots/mc50plot.hpp"
#include "plots/resplot.hpp"
#include "plots/xyplot.hpp"
#include "toolkit/plot_image.hpp"

namespace inhibra::cli {

namespace {

// Image files are drawn one at a time: the drawing back end is shared by the runs.
std::mutex& drawing_lock() {
  static std::mutex lock;
  return lock;
}

void write_chart(const plotengine::pplot& chart, const std::string& path, std::ostream& err,
                 std::mutex& lock) {
  bool written = false;
  {
    const std::lock_guard guard(drawing_lock());
    written = toolkit::save_plot(chart, path);
  }
  if (!written) {
    const std::lock_guard guard(lock);
    err << "Warning: could not write the plot file " << path << "\n";
  }
}

std::string plot_path(const plot_output& plots, const std::string& data_name,
                      std::string_view what) {
  const std::string stem = std::filesystem::path(data_name).stem().string();
  return (std::filesystem::path(plots.dir) / fmt::format("{}-{}.{}", stem, what, plots.format))
      .string();
}

}  // namespace

file_outcome fit_file(const std::string& file, const model_selection& models,
                      const fit_method& method, const plot_output& plots, bool progress,
                      std::ostream& err, std::ostream& console, std::mutex& lock) {
  auto ctx = std::make_unique<fit::fit_context>();
  for (std::size_t i = 0; i < models.size(); ++i)
    ctx->imdl[i] = models[i] ? 1 : 0;
  ctx->nwt_global = method.robust ? 2 : 0;
  ctx->chain_only = method.chain_only;

  cli_frontend fe(err, lock);
  ctx->fe = &fe;
  if (progress) fe.set_progress(file);
  std::string data_name = file;
  if (!plots.dir.empty()) {
    fe.set_plot_sink([&](const plotengine::pplot& chart) {
      write_chart(chart, plot_path(plots, data_name, fmt::format("model{:02}-xy", ctx->model)), err,
                  lock);
    });
  }

  file_outcome out;
  out.file = file;
  std::string name = file;
  out.status = fit::code(fit::ezfit(*ctx, name, console, &out.record));
  out.rows = ctx->idat;
  out.curves = ctx->idatasets;

  if (!plots.dir.empty() && out.status == 0 && out.record.best_model != 0) {
    data_name = out.record.data_name;
    if (auto chart = plots::xy_chart(*ctx)) {
      write_chart(*chart, plot_path(plots, data_name, "best-xy"), err, lock);
    }
    if (auto chart = plots::residual_chart(*ctx)) {
      write_chart(*chart, plot_path(plots, data_name, "best-residuals"), err, lock);
    }
    if (ctx->idatasets >= 2) {
      if (auto chart = plots::kmapp_chart(*ctx)) {
        write_chart(*chart, plot_path(plots, data_name, "best-kmapp"), err, lock);
      }
    }
    if (auto chart = plots::mc50_chart(*ctx)) {
      write_chart(*chart, plot_path(plots, data_name, "best-mc50"), err, lock);
    }
  }
  return out;
}

std::vector<file_outcome> fit_files(const std::vector<std::string>& files,
                                    const model_selection& models, const fit_method& method,
                                    const plot_output& plots, bool progress, int jobs,
                                    std::ostream& err, std::ostream& console) {
  std::vector<file_outcome> outcomes(files.size());
  std::mutex lock;
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < files.size(); i = next++) {
      outcomes[i] = fit_file(files[i], models, method, plots, progress, err, console, lock);
    }
  };
  const auto threads = static_cast<std::size_t>(std::max(1, jobs));
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
