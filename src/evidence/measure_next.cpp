#include "evidence/detail/measure_next.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/fit_context.hpp"
#include "evidence/detail/verdict_wording.hpp"
#include "fit/row_weights.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"

namespace inhibra::evidence {

namespace {

// The grid searched for the next measurement: [S] geometric from half the smallest to
// twice the largest measured, [I] from 0 to twice the largest.
constexpr int grid_points = 41;
constexpr double grid_reach = 2.0;

double rate(int model, std::span<const double> p, double s, double i) {
  core::fit_context ctx;
  ctx.model = model;
  models::parameter_vector q{};
  std::copy_n(p.begin(), std::min(p.size(), q.size()), q.begin());
  return models::func(ctx, s, i, 0.0, q);
}

// |v_a - v_b| / sigma at (s, i), sigma from model a's fit and the error model.
double separation(const model_result& a, const model_result& b, const measured_design& d, double s,
                  double i) {
  const double va = rate(a.model, a.p, s, i);
  const double vb = rate(b.model, b.p, s, i);
  const double scale = std::sqrt(a.ssr / static_cast<double>(d.N - a.n));
  const double sigma = scale / std::sqrt(fit::error_weight(d.errors, va, d.rate_floor));
  return std::abs(va - vb) / sigma;
}

}  // namespace

next_measurement suggest(const model_result& a, const model_result& b, const measured_design& d,
                         std::string_view first, std::string_view second) {
  next_measurement out;
  if (d.N <= a.n || !(a.ssr > 0.0) || !(d.s_min > 0.0) || !(d.s_max >= d.s_min) ||
      !(d.i_max >= 0.0))
    return out;
  const double s_lo = std::log(d.s_min / grid_reach);
  const double s_hi = std::log(d.s_max * grid_reach);
  double best = -1.0;
  for (int u = 0; u < grid_points; ++u) {
    const double s = std::exp(s_lo + (s_hi - s_lo) * u / (grid_points - 1));
    for (int w = 0; w < grid_points; ++w) {
      const double i = d.i_max * grid_reach * w / (grid_points - 1);
      const double sep = separation(a, b, d, s, i);
      if (sep > best) {
        best = sep;
        out.s = s;
        out.i = i;
      }
    }
  }
  if (!(best >= 0.0)) return out;
  out.available = true;
  out.model_a = a.model;
  out.model_b = b.model;
  out.s = two_digits(out.s);
  out.i = two_digits(out.i);
  out.sigmas = separation(a, b, d, out.s, out.i);
  out.text = "To tell " + std::string(first) + " from " + std::string(second) +
             ", add rates at [S] \u2248 " + concentration_text(out.s) + ", [I] \u2248 " +
             concentration_text(out.i) + ": models " + std::to_string(a.model) + " and " +
             std::to_string(b.model) + " differ there by " + sigma_text(out.sigmas) + " \u03c3.";
  return out;
}

double two_digits(double v) {
  if (!(v != 0.0) || !std::isfinite(v)) return v;
  const double scale = std::pow(10.0, std::floor(std::log10(std::abs(v))) - 1.0);
  return std::round(v / scale) * scale;
}

}  // namespace inhibra::evidence
