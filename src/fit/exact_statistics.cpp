#include "fit/exact_statistics.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "fit/covariance.hpp"
#include "fit/row_weights.hpp"
#include "fit/student_t.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"
#include "models/rate_derivatives.hpp"

namespace inhibra::fit {

namespace {

using weight_array = row_weight_array;

// Weights of the residuals at the point, as the reported sum has them (the context's
// model, error model and weighting mode).
weight_array weights_at_point(const core::fit_context& ctx, const model_result& r) {
  weight_array w{};
  row_weights(ctx, r.p, w);
  return w;
}

// The residual scale: the root mean square rate (1 when every rate is 0).
double residual_scale(const core::observations& ctx) {
  double sum_sq = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
    sum_sq += ctx.rate[k] * ctx.rate[k];
  return sum_sq > 0.0 ? std::sqrt(sum_sq / ctx.rows) : 1.0;
}

// The directions the statistics are taken along: columns[c] is the parameter
// (0-based) of column c. With `b_follows_a` (model 8 with b held at a) b moves
// with a: a's column carries b's derivative as well.
struct jacobian_columns {
  std::vector<std::size_t> columns;
  bool b_follows_a = false;
};

// M = J'^T J' (m x m for m columns, column by column), J'(k, c) = sqrt(w_k)
// d(y_k - v_k)/d(log p) / scale along column c.
std::vector<double> relative_normal_matrix(const core::observations& ctx, const model_result& r,
                                           const weight_array& w, double scale,
                                           const jacobian_columns& along) {
  const std::size_t m = along.columns.size();
  std::vector<double> normal(m * m, 0.0);
  models::model_par_array dv{};
  models::model_par_array d{};
  std::vector<double> row(m);
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k) {
    (void)models::rate_gradient(r.model, ctx.substrate[k], ctx.inhibitor[k], r.p, dv);
    for (std::size_t j = 0; j < static_cast<std::size_t>(r.n); ++j)
      d[j] = -std::sqrt(w[k]) * dv[j] * r.p[j] / scale;
    if (along.b_follows_a) d[3] += d[4];  // d log b = d log a
    for (std::size_t c = 0; c < m; ++c)
      row[c] = d[along.columns[c]];
    for (std::size_t j = 0; j < m; ++j) {
      for (std::size_t i = 0; i < m; ++i)
        normal[i + j * m] += row[i] * row[j];
    }
  }
  return normal;
}

// The inverse of M with the same conditioning as the other statistics: tiny entries
// raised to cov_eps (a parameter the data do not touch gets a huge error, not a
// failure), the diagonal damped by (1 + sqrt eps). False when a diagonal entry of
// the inverse is not positive.
bool conditioned_inverse(std::vector<double> m, int n, std::vector<double>& inverse) {
  const auto count = static_cast<std::size_t>(n);
  for (double& v : m) {
    if (std::abs(v) < cov_eps) v = cov_eps;
  }
  for (std::size_t i = 0; i < count; ++i)
    m[i + i * count] *= 1.0 + cov_sqrt_eps;
  inverse = m;
  int info = 0;
  lumatinv(n, inverse, info);
  if (info != 0) {
    inverse = m;
    invertmat(inverse, n);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!(inverse[i + i * count] > 0.0)) return false;
  }
  return true;
}

}  // namespace

void exact_statistics(const core::fit_context& ctx, model_result& r) {
  const int rows = ctx.rows;
  const int n = r.n;
  const auto count = static_cast<std::size_t>(n);
  r.inverse_unusable = false;

  const weight_array w = weights_at_point(ctx, r);
  const double scale = residual_scale(ctx);
  jacobian_columns every;
  for (std::size_t j = 0; j < count; ++j)
    every.columns.push_back(j);
  const std::vector<double> m = relative_normal_matrix(ctx, r, w, scale, every);
  // J^T J in the parameters' own units, for callers that read it.
  for (std::size_t j = 0; j < count; ++j) {
    for (std::size_t i = 0; i < count; ++i)
      r.normal[i + j * count] = m[i + j * count] * scale * scale / (r.p[i] * r.p[j]);
  }
  std::vector<double> inverse;
  const bool usable = conditioned_inverse(m, n, inverse);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::fill(r.correlation.begin(), r.correlation.end(), 0.0);
  r.t = t95(rows - n);
  if (!usable) {
    r.inverse_unusable = true;
    std::fill_n(r.se.begin(), count, nan);
    std::fill_n(r.cl.begin(), count, nan);
    r.se_produced = false;
    return;
  }
  std::array<double, core::max_par> s{};
  for (std::size_t i = 0; i < count; ++i)
    s[i] = std::sqrt(inverse[i + i * count]);
  // From the lower triangle, mirrored: the matrix is symmetric to the last bit.
  for (std::size_t j = 0; j < count; ++j) {
    r.correlation[j + j * count] = 1.0;
    for (std::size_t i = j + 1; i < count; ++i) {
      r.correlation[i + j * count] = inverse[i + j * count] / (s[i] * s[j]);
      r.correlation[j + i * count] = r.correlation[i + j * count];
    }
  }
  if (rows <= n) {
    std::fill_n(r.se.begin(), count, nan);
    std::fill_n(r.cl.begin(), count, nan);
    r.se_produced = false;
    return;
  }
  // The residual variance in the same relative units.
  const double variance = r.ssr / (scale * scale) / static_cast<double>(rows - n);
  for (std::size_t i = 0; i < count; ++i) {
    r.se[i] = r.p[i] * s[i] * std::sqrt(variance);
    r.cl[i] = r.se[i] * r.t;
  }
  r.se_produced = true;
}

void conditional_statistics(const core::fit_context& ctx, model_result& r) {
  const auto count = static_cast<std::size_t>(r.n);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  r.held.fill(false);
  for (const bound_hit& hit : r.at_bound) {
    if (hit.index >= 1 && hit.index <= r.n) r.held[static_cast<std::size_t>(hit.index - 1)] = true;
  }
  r.se_free.fill(nan);
  r.cl_free.fill(nan);
  if (r.at_bound.empty()) {
    r.se_free_produced = r.se_produced;
    r.se_free = r.se;
    r.cl_free = r.cl;
    return;
  }
  r.se_free_produced = false;
  jacobian_columns free;
  for (std::size_t j = 0; j < count; ++j) {
    if (!r.held[j]) free.columns.push_back(j);
  }
  // Model 8's b held at its ceiling is b = a: it keeps to a wherever a goes.
  free.b_follows_a = models::b_capped_by_a(r.model) && r.held[4] && !r.held[3] &&
                     std::any_of(r.at_bound.begin(), r.at_bound.end(),
                                 [](const bound_hit& hit) { return hit.index == 5 && hit.upper; });
  const int m = static_cast<int>(free.columns.size());
  if (m == 0 || ctx.rows <= r.n || !std::isfinite(r.ssr)) return;

  const weight_array w = weights_at_point(ctx, r);
  const double scale = residual_scale(ctx);
  std::vector<double> inverse;
  if (!conditioned_inverse(relative_normal_matrix(ctx, r, w, scale, free), m, inverse)) return;
  // The held parameters were estimated too (they ended at their ends): the residual
  // variance and t keep the fit's N - n degrees of freedom.
  const double variance = r.ssr / (scale * scale) / static_cast<double>(ctx.rows - r.n);
  const double t = t95(ctx.rows - r.n);
  for (std::size_t c = 0; c < free.columns.size(); ++c) {
    const std::size_t j = free.columns[c];
    r.se_free[j] = r.p[j] * std::sqrt(inverse[c + c * free.columns.size()] * variance);
    r.cl_free[j] = r.se_free[j] * t;
  }
  r.se_free_produced = true;
}

}  // namespace inhibra::fit
