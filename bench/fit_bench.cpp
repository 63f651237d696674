// Whole runs of the fit driver, headless and without pacing pauses: all ten models
// on the bundled example (24 rows, 4 curves) and on a full file of 1000 rows in 10
// curves. Each iteration is a fresh context, as a new run of inhibra-fit would be.
// Counters: objective evaluations per run (value only, and with gradient). The
// argument 0 fits with the fixed chain of stages alone, 1 adds the refinement stage,
// 2 also the profile-likelihood limits (the default of both programs), 3 fits on the
// fast path (the refinement's solves alone, no profiles): compare 3 with 1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "fit/ezfit.hpp"
#include "models/model_library.hpp"

namespace {

using namespace inhibra;

std::string write_large_file() {
  const auto path = (std::filesystem::temp_directory_path() / "inhibra-bench-1000.in").string();
  std::ofstream out(path, std::ios::binary);
  core::fit_context ctx;
  ctx.model = 8;
  std::array<double, core::max_par> p{150.0, 0.16, 60.0, 0.4, 0.1};
  for (int curve = 0; curve < 10; ++curve) {
    const double i = 25.0 * curve;
    for (int row = 0; row < 100; ++row) {
      const double s = 10.0 + 8.0 * row;
      // A small deterministic wobble stands in for measurement noise.
      const double v =
          models::func(ctx, s, i, 0, p) * (1.0 + 0.01 * ((row * 7 + curve * 3) % 11 - 5) / 5.0);
      char line[96];
      std::snprintf(line, sizeof line, "%.6f %.6f %.9f\n", s, i, v);
      out << line;
    }
  }
  return path;
}

void run_all_models(benchmark::State& state, const std::string& file) {
  std::int64_t value_evaluations = 0;
  std::int64_t full_evaluations = 0;
  for (auto _ : state) {
    auto ctx = std::make_unique<core::fit_context>();
    ctx->chain_only = state.range(0) == 0;
    ctx->profiles = state.range(0) == 2;
    ctx->fast = state.range(0) == 3;
    ctx->selected_models.fill(true);
    std::string name = file;
    std::ostringstream console;
    const auto status = fit::ezfit(*ctx, name, console);
    if (status != core::run_status::success) state.SkipWithError("the run failed");
    value_evaluations = ctx->value_evaluations;
    full_evaluations = ctx->full_evaluations;
  }
  state.counters["value_evals"] = static_cast<double>(value_evaluations);
  state.counters["full_evals"] = static_cast<double>(full_evaluations);
}

// A copy of the bundled example in the temporary folder, so that the results file
// is not written into the source tree.
const std::string& example_copy() {
  static const std::string path = [] {
    const auto copy =
        (std::filesystem::temp_directory_path() / "inhibra-bench-example.in").string();
    std::filesystem::copy_file(std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in", copy,
                               std::filesystem::copy_options::overwrite_existing);
    return copy;
  }();
  return path;
}

void example_file(benchmark::State& state) {
  run_all_models(state, example_copy());
}

void large_file(benchmark::State& state) {
  static const std::string path = write_large_file();
  run_all_models(state, path);
}

// One model at a time on the example, with the evaluations of each stage.
void example_model(benchmark::State& state) {
  const int model = static_cast<int>(state.range(0));
  fit::run_record record;
  for (auto _ : state) {
    auto ctx = std::make_unique<core::fit_context>();
    ctx->chain_only = state.range(1) == 0;
    ctx->profiles = state.range(1) == 2;
    ctx->fast = state.range(1) == 3;
    ctx->selected_models[static_cast<std::size_t>(model - 1)] = true;
    std::string name = example_copy();
    std::ostringstream console;
    record = {};
    if (fit::ezfit(*ctx, name, console, &record) != core::run_status::success) {
      state.SkipWithError("the run failed");
    }
  }
  if (record.fitted.empty()) return;
  const auto& cost = record.fitted.front().stage_evaluations;
  const char* names[] = {"est",      "simplex", "vm",     "golden", "svd",
                         "simplex2", "sqp",     "refine", "profile"};
  for (std::size_t i = 0; i < cost.by_stage.size(); ++i)
    state.counters[names[i]] = static_cast<double>(cost.by_stage[i]);
  state.counters["refit"] = record.fitted.front().refitted ? 1 : 0;
}

BENCHMARK(example_model)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 10, 1), {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(example_file)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(large_file)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
