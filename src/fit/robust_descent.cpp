#include "fit/robust_descent.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "models/model_forms.hpp"

namespace inhibra::fit {

namespace {

// The first simplex spans this much of each log-parameter (about 10 %); a restart
// spans a tenth of that.
constexpr double first_step = 0.1;
constexpr double restart_step = 0.01;
// A search ends when the simplex has shrunk to this size in the log-parameters.
constexpr double simplex_settled = 1e-9;
// Restarts from the best vertex while one still lowers the sum by more than this
// (relative).
constexpr double restart_gain = 1e-9;

struct vertex {
  std::array<double, core::max_par> theta{};
  double f = 0.0;
};

class robust_sum {
 public:
  robust_sum(const core::fit_context& ctx, std::int64_t& evaluations)
      : ctx_(ctx), box_(models::reachable_box(ctx.model)), evaluations_(evaluations) {}

  int n() const { return box_.n; }

  // The point of log-parameters theta, clipped into the box.
  parameter_vector point(const std::array<double, core::max_par>& theta) const {
    parameter_vector p{};
    for (std::size_t i = 0; i < static_cast<std::size_t>(box_.n); ++i)
      p[i] = std::exp(theta[i]);
    models::clip_to_box(ctx_.model, p);
    return p;
  }

  double operator()(const std::array<double, core::max_par>& theta) const {
    ++evaluations_;
    const double f = reported_ssr(ctx_, point(theta));
    return std::isfinite(f) ? f : HUGE_VAL;
  }

  // The step of coordinate i: inwards at the box's upper end.
  double step(const std::array<double, core::max_par>& theta, std::size_t i, double size) const {
    return theta[i] + size > std::log(box_.hi[i]) ? -size : size;
  }

 private:
  const core::fit_context& ctx_;
  models::parameter_box box_;
  std::int64_t& evaluations_;
};

// One simplex search from `from` with first steps of `size`; returns its best vertex.
vertex simplex_search(const robust_sum& f, const vertex& from, double size, int steps) {
  const int n = f.n();
  const auto count = static_cast<std::size_t>(n);
  std::vector<vertex> v(count + 1, from);
  for (std::size_t i = 0; i < count; ++i) {
    v[i + 1].theta[i] = f.step(from.theta, i, size);
    v[i + 1].f = f(v[i + 1].theta);
  }
  auto along = [&](const std::array<double, core::max_par>& centre, const vertex& worst, double t) {
    vertex out;
    for (std::size_t j = 0; j < count; ++j)
      out.theta[j] = centre[j] + t * (worst.theta[j] - centre[j]);
    out.f = f(out.theta);
    return out;
  };
  for (int iteration = 0; iteration < steps; ++iteration) {
    std::stable_sort(v.begin(), v.end(),
                     [](const vertex& a, const vertex& b) { return a.f < b.f; });
    double spread = 0.0;
    for (std::size_t k = 1; k <= count; ++k) {
      for (std::size_t j = 0; j < count; ++j)
        spread = std::fmax(spread, std::abs(v[k].theta[j] - v[0].theta[j]));
    }
    if (spread <= simplex_settled) break;
    std::array<double, core::max_par> centre{};
    for (std::size_t k = 0; k < count; ++k) {
      for (std::size_t j = 0; j < count; ++j)
        centre[j] += v[k].theta[j] / n;
    }
    vertex& worst = v[count];
    const vertex reflected = along(centre, worst, -1.0);
    if (reflected.f < v[0].f) {
      const vertex expanded = along(centre, worst, -2.0);
      worst = expanded.f < reflected.f ? expanded : reflected;
    } else if (reflected.f < v[count - 1].f) {
      worst = reflected;
    } else {
      const vertex contracted = along(centre, worst, 0.5);
      if (contracted.f < worst.f) {
        worst = contracted;
      } else {
        for (std::size_t k = 1; k <= count; ++k) {
          for (std::size_t j = 0; j < count; ++j)
            v[k].theta[j] = v[0].theta[j] + 0.5 * (v[k].theta[j] - v[0].theta[j]);
          v[k].f = f(v[k].theta);
        }
      }
    }
  }
  return *std::min_element(v.begin(), v.end(),
                           [](const vertex& a, const vertex& b) { return a.f < b.f; });
}

}  // namespace

scored_point descend_robust_sum(const core::fit_context& ctx, const parameter_vector& start,
                                std::int64_t& evaluations, const descent_effort& effort) {
  const robust_sum f(ctx, evaluations);
  parameter_vector clipped = start;
  models::clip_to_box(ctx.model, clipped);
  vertex best;
  for (std::size_t i = 0; i < static_cast<std::size_t>(f.n()); ++i)
    best.theta[i] = std::log(clipped[i]);
  best.f = f(best.theta);
  double size = first_step;
  for (int restart = 0; restart <= effort.restarts; ++restart) {
    const vertex found = simplex_search(f, best, size, effort.steps_per_parameter * f.n());
    const bool gained = found.f < best.f - restart_gain * std::abs(best.f);
    if (found.f < best.f) best = found;
    if (!gained && restart > 0) break;
    size = restart_step;
  }
  const parameter_vector p = f.point(best.theta);
  return {p, reported_ssr(ctx, p)};
}

}  // namespace inhibra::fit
