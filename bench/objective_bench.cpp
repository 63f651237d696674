// Cost of one objective evaluation with and without the gradient sweeps, on the
// example data set (24 rows) and on a full 1000-row file.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>

#include "models/model_library.hpp"
#include "models/objective.hpp"

namespace {

using namespace inhibra;

std::unique_ptr<core::fit_context> context(int model, int rows) {
  auto ctx = std::make_unique<core::fit_context>();
  for (int k = 0; k < rows; ++k) {
    const auto i = static_cast<std::size_t>(k);
    ctx->substrate[i] = 50.0 + 10.0 * (k % 100);
    ctx->inhibitor[i] = 40.0 * (k / 100);
    ctx->rate[i] = 0.13 * ctx->substrate[i] / (150.0 + ctx->substrate[i]);
  }
  ctx->rows = ctx->idat = rows;
  ctx->model = model;
  ctx->model_limit = 10;
  std::string name;
  models::npar(model, name, ctx->n_par);
  return ctx;
}

void calcfg_bench(benchmark::State& state) {
  auto ctx = context(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const std::array<double, core::max_par> x{150.0, 0.15, 90.0, 0.5, 0.2};
  double f = 0;
  models::gradient_array g{};
  models::constraint_array c{};
  models::cjac_array cjac{};
  for (auto _ : state) {
    models::calcfg(*ctx, ctx->n_par, x, f, g, c, cjac);
    benchmark::DoNotOptimize(f);
  }
}

void value_bench(benchmark::State& state) {
  auto ctx = context(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const std::array<double, core::max_par> x{150.0, 0.15, 90.0, 0.5, 0.2};
  for (auto _ : state)
    benchmark::DoNotOptimize(models::objective_value(*ctx, x));
}

BENCHMARK(calcfg_bench)->Args({1, 24})->Args({10, 24})->Args({10, 1000});
BENCHMARK(value_bench)->Args({1, 24})->Args({10, 24})->Args({10, 1000});

}  // namespace

BENCHMARK_MAIN();
