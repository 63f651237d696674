#pragma once
// Shared pieces of the minimiser tests: an objective that records where it is
// asked, and problems that know no model.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <span>
#include <vector>

#include "optim/problem.hpp"

namespace inhibra::optim::testing {

using point = std::vector<double>;

// The box [1e-6, 1e6] of every parameter; a value v outside is folded back as the fit folds
// its parameters: to |lo + t| or |hi - t|, t = v·atan(v)/(2π) (a huge v lands far outside).
inline optim::box_projection wide_box() {
  return [](std::span<double> x) {
    constexpr double lo = 1e-6, hi = 1e6;
    for (double& v : x) {
      const double fold = 0.5 * v * std::atan(v) / std::numbers::pi;
      v = v < lo ? std::abs(lo + fold) : v > hi ? std::abs(hi - fold) : v;
    }
  };
}

// An objective that keeps every point it is asked about.
struct recorder {
  std::function<double(const point&)> f;
  std::vector<point> points;
  value_function fn() {
    return [this](std::span<const double> x) {
      points.emplace_back(x.begin(), x.end());
      return f(points.back());
    };
  }
  // The objective over n parameters in the wide box.
  value_problem problem(int n) { return {n, fn(), wide_box(), {}}; }
};

// A value-only problem over n parameters whose value is `f` of the first n
// coordinates, counting its evaluations; no box unless one is set.
struct counted_problem {
  std::function<double(std::span<const double>)> f;
  std::int64_t evaluations = 0;
  optim::value_problem problem(int n, optim::box_projection bound = {},
                               optim::machine_limits limits = {}) {
    return {n,
            [this, n](std::span<const double> x) {
              ++evaluations;
              return f(x.first(static_cast<std::size_t>(
                  std::min<std::ptrdiff_t>(n, static_cast<std::ptrdiff_t>(x.size())))));
            },
            std::move(bound), limits};
  }
};

// Every point has the value 0: every comparison ties, so the evaluation counts of a
// search follow from its structure alone.
inline double flat(std::span<const double>) {
  return 0.0;
}

// Sum of (x(i) - centre(i))^2 over the coordinates given.
inline std::function<double(std::span<const double>)> bowl(std::vector<double> centre) {
  return [centre = std::move(centre)](std::span<const double> x) {
    double s = 0.0;
    for (std::size_t i = 0; i < x.size() && i < centre.size(); ++i)
      s += (x[i] - centre[i]) * (x[i] - centre[i]);
    return s;
  };
}

// A box [lo, hi] for every coordinate, points clamped into it.
inline optim::box_projection clamp_box(double lo, double hi) {
  return [lo, hi](std::span<double> x) {
    for (double& v : x)
      v = std::clamp(v, lo, hi);
  };
}

}  // namespace inhibra::optim::testing
