#pragma once
// A whole run of the fit driver on a data file, kept for the tests that look at
// what it fitted, and the small data-file edits those tests make.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/fit_context.hpp"
#include "fit/ezfit.hpp"
#include "support/model_data.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::fit {

inline const std::string example = std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in";

// A finished run: its context (the observations stay in it) and what it fitted.
struct finished_run {
  std::unique_ptr<core::fit_context> ctx = std::make_unique<core::fit_context>();
  run_record record;

  // Makes the context evaluate fit r as the driver did.
  core::fit_context& select(const model_result& r) const {
    std::copy_n(ctx->xtmp.begin(), ctx->rows, ctx->substrate.begin());
    std::copy_n(ctx->x2tmp.begin(), ctx->rows, ctx->inhibitor.begin());
    std::copy_n(ctx->ytmp.begin(), ctx->rows, ctx->rate.begin());
    ctx->model = r.model;
    ctx->n_par = r.n;
    ctx->weighting = r.weighting;
    return *ctx;
  }
};

// Fits `models` to the file at `path` with the given weighting and method.
inline finished_run fit_file(const std::string& path, const std::vector<int>& models,
                             core::weighting weighting = core::weighting::none,
                             bool chain_only = false, bool fast = false) {
  finished_run run;
  for (int m : models)
    run.ctx->selected_models[static_cast<std::size_t>(m - 1)] = true;
  run.ctx->weighting_switch = core::switch_value(weighting);
  run.ctx->chain_only = chain_only;
  run.ctx->fast = fast;
  std::string name = path;
  std::ostringstream console;
  EXPECT_EQ(ezfit(*run.ctx, name, console, &run.record), core::run_status::success) << path;
  return run;
}

// Data of model 7 (b = a) on which model 8's optimum lies on its b = a end, each
// fitted with models 7 and 8; written once into a folder that lives as long as the
// tests.
struct b_equals_a_runs {
  support::temp_dir dir;
  std::vector<finished_run> runs;
};
inline const b_equals_a_runs& model7_data_fitted_by_7_and_8() {
  static const auto fitted = [] {
    auto f = std::make_unique<b_equals_a_runs>();
    struct data_set {
      std::vector<double> truth;  // Km, Vmax, Ki, a
      double noise;
      unsigned seed;
    };
    const std::vector<data_set> sets{{{100, 1, 40, 0.2}, 0.01, 3},
                                     {{100, 1, 60, 0.4}, 0.005, 8},
                                     {{80, 2, 30, 0.5}, 0.005, 9},
                                     {{150, 0.5, 20, 0.1}, 0.01, 11}};
    for (const auto& set : sets) {
      const std::string path = f->dir.write("m7-" + std::to_string(set.seed) + ".in",
                                            support::model_data(7, set.truth, set.noise, set.seed));
      f->runs.push_back(fit_file(path, {7, 8}));
    }
    return f;
  }();
  return *fitted;
}

// The data rows of `text` (up to its first line that is not three numbers), each
// ([S], [I], rate) and its 1-based row number passed through `edit`.
inline std::string edited_rows(const std::string& text,
                               const std::function<void(int, double&, double&, double&)>& edit) {
  std::istringstream lines(text);
  std::string line;
  std::string out;
  for (int row = 1; std::getline(lines, line); ++row) {
    std::istringstream in(line);
    double s = 0, i = 0, v = 0;
    if (!(in >> s >> i >> v)) break;
    edit(row, s, i, v);
    out +=
        support::exact_text(s) + " " + support::exact_text(i) + " " + support::exact_text(v) + "\n";
  }
  return out;
}

}  // namespace inhibra::fit
