// Cost of the derivative-free searches and of the initial estimates on the example
// data set (24 rows, 4 curves).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sstream>

#include <array>
#include <memory>
#include <string>

#include "data/data_file.hpp"
#include "fit/init_estimates.hpp"
#include "fit/search_problem.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"
#include "optim/golden_search.hpp"
#include "optim/simplex.hpp"

namespace {

using namespace inhibra;

// The bundled example, read by the program's own data reader.
std::unique_ptr<core::fit_context> example(int model) {
  auto ctx = std::make_unique<core::fit_context>();
  std::ostringstream console;
  const auto read = data::read_data_file(
      *ctx, std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in", nullptr, console);
  if (read.status != core::run_status::success) std::abort();
  ctx->model_limit = 10;
  ctx->eps = 2.8544953854119197e-15;
  ctx->big = 10.0 / ctx->eps;
  ctx->model = ctx->mdl_number = model;
  std::string name;
  models::npar(model, name, ctx->n_par);
  return ctx;
}

void init_estimates_bench(benchmark::State& state) {
  const int model = static_cast<int>(state.range(0));
  auto ctx = example(model);
  std::array<double, core::max_par> p{};
  for (auto _ : state) {
    fit::init_estimates(*ctx, p, core::max_par, model);
    benchmark::DoNotOptimize(p);
  }
  state.counters["evaluations"] = benchmark::Counter(static_cast<double>(ctx->value_evaluations),
                                                     benchmark::Counter::kAvgIterations);
}

void golden_search_bench(benchmark::State& state) {
  auto ctx = example(10);
  for (auto _ : state) {
    std::array<double, core::max_par> x{150.0, 0.15, 90.0, 2.0, 0.5};
    double f = 0;
    optim::golden_search(fit::model_value_problem(*ctx, 5), x, f);
    benchmark::DoNotOptimize(f);
  }
}

void simplex_bench(benchmark::State& state) {
  const int model = static_cast<int>(state.range(0));
  auto ctx = example(model);
  const optim::value_problem problem = fit::model_value_problem(*ctx, ctx->n_par);
  const models::model_facts& facts = models::facts_of(model);
  const optim::simplex_policy policy{1.0685e-6, 0.07, 100, facts.simplex_restarts,
                                     facts.shape_search};
  for (auto _ : state) {
    std::array<double, core::max_par> x{150.0, 0.15, 90.0, 2.0, 0.5};
    double f = 0;
    (void)optim::simplex(problem, x, f, policy, ctx->rangen_state);
    benchmark::DoNotOptimize(f);
  }
  state.counters["evaluations"] = benchmark::Counter(static_cast<double>(ctx->value_evaluations),
                                                     benchmark::Counter::kAvgIterations);
}

BENCHMARK(init_estimates_bench)->Arg(1)->Arg(4)->Arg(10);
BENCHMARK(golden_search_bench);
BENCHMARK(simplex_bench)->Arg(1)->Arg(10);

}  // namespace

BENCHMARK_MAIN();
