#include "fit/profile.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "fit/refine.hpp"
#include "fit/row_weights.hpp"
#include "fit/student_t.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"

namespace inhibra::fit {

namespace {

constexpr double confidence = 0.95;
// The first step away from the estimate, in log units, when no standard error
// suggests one; steps double until the level is passed.
constexpr double first_step = 0.1;
constexpr int expansions = 40;
// The crossing is located to this width in log units (a relative 1e-5).
constexpr double crossing_width = 1e-5;
constexpr int crossing_iterations = 60;

struct profile_side {
  double limit = 0.0;
  bool open = false;
};

// One side (direction +1 or -1) of the profile of parameter j.
profile_side profile_one_side(const core::fit_context& ctx, const model_result& r,
                              std::span<const double> weights, int j, int direction, double level,
                              std::int64_t& evaluations) {
  const auto k = static_cast<std::size_t>(j);
  const models::parameter_box box = models::reachable_box(r.model);
  const double lo = box.lo[k];
  // Model 8's b stays below a, which stays at most its own upper end.
  const double hi = models::upper_end(r.model, box.hi, k);
  const double end = std::log(direction > 0 ? hi : lo);
  const double start = std::log(r.p[k]);
  if (direction * (end - start) <= crossing_width) return {direction > 0 ? hi : lo, true};

  // The path: log p_j moves away from the estimate, the other parameters follow from
  // the last point solved.
  parameter_vector p = r.p;
  auto solve_at = [&](double theta, const parameter_vector& from) {
    parameter_vector s = from;
    s[k] = std::clamp(std::exp(theta), lo, hi);
    return solve_pinned(ctx, s, weights, j, evaluations);
  };

  double step = first_step;
  if (r.se_produced && r.se[k] > 0.0 && std::isfinite(r.se[k])) {
    step = std::clamp(r.se[k] / r.p[k], 1e-4, 1.0);
  }
  double inside = start;  // last theta below the level
  double inside_value = r.ssr;
  parameter_vector inside_point = p;
  for (int e = 0; e < expansions; ++e) {
    double theta = start + direction * step;
    if (direction * (theta - end) >= 0.0) theta = end;
    const scored_point at = solve_at(theta, inside_point);
    if (at.ssr >= level) {
      // Bracketed between inside and theta: regula falsi with the Illinois rule.
      double a = inside;
      double fa = inside_value - level;
      double b = theta;
      double fb = at.ssr - level;
      parameter_vector from = inside_point;
      int side = 0;
      for (int i = 0; i < crossing_iterations && std::abs(b - a) > crossing_width; ++i) {
        double c = (a * fb - b * fa) / (fb - fa);
        if (!(std::min(a, b) < c && c < std::max(a, b))) c = 0.5 * (a + b);
        const scored_point mid = solve_at(c, from);
        const double fc = mid.ssr - level;
        if (fc < 0.0) {
          a = c;
          fa = fc;
          from = mid.p;
          if (side == -1) fb *= 0.5;
          side = -1;
        } else {
          b = c;
          fb = fc;
          if (side == 1) fa *= 0.5;
          side = 1;
        }
      }
      return {std::clamp(std::exp(0.5 * (a + b)), lo, hi), false};
    }
    if (theta == end) return {direction > 0 ? hi : lo, true};
    inside = theta;
    inside_value = at.ssr;
    inside_point = at.p;
    step *= 2.0;
  }
  return {std::exp(inside), true};
}

}  // namespace

std::int64_t profile_limits(const core::fit_context& ctx, model_result& r) {
  std::int64_t evaluations = 0;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  r.profile = {};
  r.profiled = false;
  const int dof = ctx.rows - r.n;
  if (dof <= 0 || !std::isfinite(r.ssr)) {
    for (auto& limits : r.profile) {
      limits.low = nan;
      limits.high = nan;
    }
    return 0;
  }
  // The weights are held at the estimate's along every path.
  row_weight_array w{};
  row_weights(ctx, r.p, w);
  const double ssr = weighted_ssr(ctx, r.p, w);
  const double level = ssr * (1.0 + f1_quantile(confidence, dof) / dof);
  model_result at_estimate = r;
  at_estimate.ssr = ssr;
  for (int j = 0; j < r.n; ++j) {
    const auto k = static_cast<std::size_t>(j);
    const profile_side low = profile_one_side(ctx, at_estimate, w, j, -1, level, evaluations);
    const profile_side high = profile_one_side(ctx, at_estimate, w, j, +1, level, evaluations);
    r.profile[k] = {low.limit, high.limit, low.open, high.open};
  }
  r.profiled = true;
  return evaluations;
}

}  // namespace inhibra::fit
