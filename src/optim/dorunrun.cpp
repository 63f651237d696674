#include "optim/dorunrun.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/capacities.hpp"
#include "core/one_based.hpp"
#include "optim/rangen.hpp"

namespace inhibra::optim {

namespace {

// A value the search can compare: below eps, above big and NaN all become big.
double checked(const machine_limits& limits, double value) {
  if (value < limits.eps || value > limits.big || std::isnan(value)) return limits.big;
  return value;
}

}  // namespace

void dorunrun(const value_problem& p, double& seed, int& maxruns, std::span<double> x, double& f,
              double& rng) {
  const int n = p.n;
  if (maxruns <= 9) maxruns = 100;
  const int nruns = maxruns;
  const int ntrial = 10 * n;
  double frac = 80.0 / 100.0;
  constexpr double frac_step = 0.04;

  f = p.value(x);
  std::array<double, core::max_par> b_store{};
  const auto b_span = std::span(b_store).first(std::min(x.size(), b_store.size()));
  std::copy_n(x.begin(), b_span.size(), b_span.begin());
  const core::vec1 b(b_span);
  std::array<double, core::max_par> lo_store{};
  std::array<double, core::max_par> hi_store{};
  const core::vec1 lo(lo_store);
  const core::vec1 hi(hi_store);

  seed = rangen(rng, seed);
  int successes = 0;
  int run = 0;
  while (run < nruns && frac > 0.21) {
    ++run;
    int trials = 0;
    int failures = 0;
    int j = 1;
    double fbest = checked(p.limits, p.value(b_span));
    for (int i = 1; i <= n; ++i) {
      lo(i) = b(i) * (1.0 - frac);
      hi(i) = b(i) * (frac + 1.0);
    }
    while (trials <= ntrial) {
      ++trials;
      if (successes > 5 || failures > 2) {
        j = static_cast<int>(rangen(rng, seed) * n + 1.0);
        failures = 0;
      }
      const double old = b(j);
      b(j) = std::abs(rangen(rng, seed) - 0.5) * (hi(j) - lo(j)) + lo(j);
      const double t = b(j);
      b(j) = std::abs(rangen(rng, seed) - 0.5) * t * frac + t;
      const double value = checked(p.limits, p.value(b_span));
      if (value >= fbest) {
        b(j) = old;
        ++failures;
        successes = 0;
      } else {
        fbest = value;
        failures = 0;
        ++successes;
      }
    }
    frac = std::abs(frac - frac_step) + 1e-6;
    project(p, b_span);
    f = p.value(b_span);
  }
  std::copy(b_span.begin(), b_span.end(), x.begin());
}

}  // namespace inhibra::optim
