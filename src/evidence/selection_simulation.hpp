#pragma once
// Would the same design pick the same model again? Data sets simulated from the
// run's best fit (by the textbook AICc) at the measured [S] and [I], with noise of the run's error
// model and of the size the fit left (s^2 = weighted sum of squares / (N - n)), each fitted with
// every model of the run on the fast path, in memory. The winner of a set is the model of the
// lowest textbook AICc. What comes out: how often each model and each family of models wins, and
// the 2.5 % and 97.5 % points of the best model's parameters over the sets. Nothing is written and
// the run's context is only read. Each set draws from its own generator, seeded from (seed, set
// index), so the numbers are the same for any number of threads.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/capacities.hpp"
#include "core/fit_context.hpp"
#include "fit/ezfit.hpp"

namespace inhibra::evidence {

using fit::model_result;
using fit::run_record;

// The seed when none is given.
inline constexpr std::uint64_t default_simulation_seed = 20250101;
// The lower and upper percentiles of the parameters over the sets.
inline constexpr double simulation_low_percentile = 2.5;
inline constexpr double simulation_high_percentile = 97.5;

struct simulation_options {
  int sets = 0;  // data sets to simulate, at least 1
  std::uint64_t seed = default_simulation_seed;
  int threads = 1;  // sets fitted at once
  // A stop asked from outside: when it is not 0 no further set is started (null:
  // never).
  const std::atomic<int>* stop = nullptr;
  // Called after each finished set with the count finished so far, from the thread
  // that fitted it (so it must be safe to call from several threads at once).
  std::function<void(int)> progress;
};

// A group of models and the sets one of them won.
struct family_wins {
  std::string_view name;
  std::vector<int> models;
  int wins = 0;
};

// The families of the ten models: by the kind of inhibition (linear, i.e. complete,
// models 1-4; partial, i.e. hyperbolic, models 5-10) and by where the inhibitor
// acts (competitive 1, 5; mixed with a > 1: 4, 9; noncompetitive 2, 6; mixed with
// a < 1: 3, 7, 8; general 10).
[[nodiscard]] std::vector<family_wins> families_by_kind();
[[nodiscard]] std::vector<family_wins> families_by_site();

// The 2.5 % and 97.5 % points of one parameter of the simulated model.
struct percentile_limits {
  double low = 0.0;
  double high = 0.0;
};

struct simulation_result {
  int sets = 0;  // sets simulated and fitted (fewer than asked after a stop)
  bool stopped = false;
  std::uint64_t seed = 0;
  int model = 0;                             // the model the sets were simulated from
  double noise = 0.0;                        // s, the noise size on the error model's scale
  std::vector<int> models;                   // the models fitted to each set, in the run's order
  std::array<int, core::max_models> wins{};  // sets won by model k at index k - 1
  int undecided = 0;  // sets where no model had a textbook AICc that is a number
  std::vector<family_wins> by_kind;
  std::vector<family_wins> by_site;
  int n = 0;                                  // parameters of `model`
  std::array<percentile_limits, 5> limits{};  // its parameters 1..n at index 0..n-1
};

// The p-th percentile (0..100) of `values` by linear interpolation between the
// order statistics (Hyndman and Fan's definition 7, as in R's default quantile):
// h = (count - 1) p / 100, x[floor h] + (h - floor h)(x[floor h + 1] - x[floor h]).
// Values that are not numbers are left out; none left gives NaN.
[[nodiscard]] double percentile(std::vector<double> values, double p);

// The simulation for the run in `ctx` (the observations as read: ctx.xtmp, x2tmp,
// ytmp; ctx.rows) whose record is `run` (its fitted models, weighting and error
// model), from the fit of `model` (the best by the textbook AICc, which also picks
// each set's winner). Needs that model among the fits, with more observations than
// parameters; otherwise returns a result with sets = 0.
[[nodiscard]] simulation_result simulate_selection(const core::fit_context& ctx,
                                                   const run_record& run, int model,
                                                   const simulation_options& options);

}  // namespace inhibra::evidence
