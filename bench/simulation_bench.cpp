// The selection by simulation on the bundled example: all ten models fitted on the
// fast path, then N simulated sets (the argument), each refitted with all ten models,
// on one thread. The run itself is outside the timing.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "evidence/selection_simulation.hpp"
#include "fit/ezfit.hpp"

namespace {

using namespace inhibra;

void example_simulation(benchmark::State& state) {
  const auto copy = (std::filesystem::temp_directory_path() / "inhibra-bench-sim.in").string();
  std::filesystem::copy_file(std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in", copy,
                             std::filesystem::copy_options::overwrite_existing);
  auto ctx = std::make_unique<core::fit_context>();
  ctx->fast = true;
  ctx->profiles = false;
  ctx->selected_models.fill(true);
  std::string name = copy;
  std::ostringstream console;
  fit::run_record record;
  if (fit::ezfit(*ctx, name, console, &record) != core::run_status::success) {
    state.SkipWithError("the run failed");
    return;
  }
  const int sets = static_cast<int>(state.range(0));
  evidence::simulation_result result;
  for (auto _ : state)
    result = evidence::simulate_selection(
        *ctx, record, record.best_model, {sets, evidence::default_simulation_seed, 1, nullptr, {}});
  state.counters["best_model_wins"] =
      static_cast<double>(result.wins[static_cast<std::size_t>(result.model - 1)]);
}

BENCHMARK(example_simulation)->Arg(200)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
