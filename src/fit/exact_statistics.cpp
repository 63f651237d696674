#include "fit/exact_statistics.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "fit/covariance.hpp"
#include "fit/row_weights.hpp"
#include "fit/student_t.hpp"
#include "models/model_library.hpp"
#include "models/rate_derivatives.hpp"

namespace inhibra::fit {

void exact_statistics(core::fit_context& ctx, model_result& r) {
  const int rows = ctx.rows;
  const int n = r.n;
  const auto count = static_cast<std::size_t>(n);
  const auto nn = count * count;
  r.inverse_unusable = false;

  // Weights of the residuals at the point, as the reported sum has them.
  row_weight_array w{};
  row_weights(ctx, r.p, w);

  // The residual scale: the root mean square rate (1 when every rate is 0).
  double sum_sq = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(rows); ++k)
    sum_sq += ctx.rate[k] * ctx.rate[k];
  const double scale = sum_sq > 0.0 ? std::sqrt(sum_sq / rows) : 1.0;

  // J'(k, j) = sqrt(w_k) d(y_k - v_k)/d(log p_j) / scale, and M = J'^T J'.
  std::vector<double> m(nn, 0.0);
  std::array<double, 5> dv{};
  std::array<double, 5> row{};
  for (std::size_t k = 0; k < static_cast<std::size_t>(rows); ++k) {
    (void)models::rate_gradient(r.model, ctx.substrate[k], ctx.inhibitor[k], r.p, dv);
    for (std::size_t j = 0; j < count; ++j)
      row[j] = -std::sqrt(w[k]) * dv[j] * r.p[j] / scale;
    for (std::size_t j = 0; j < count; ++j) {
      for (std::size_t i = 0; i < count; ++i)
        m[i + j * count] += row[i] * row[j];
    }
  }
  // J^T J in the parameters' own units, for callers that read it.
  for (std::size_t j = 0; j < count; ++j) {
    for (std::size_t i = 0; i < count; ++i)
      r.normal[i + j * count] = m[i + j * count] * scale * scale / (r.p[i] * r.p[j]);
  }

  // The same conditioning as the other statistics: tiny entries raised to cov_eps
  // (a parameter the data do not touch gets a huge error, not a failure), the
  // diagonal damped by (1 + sqrt eps).
  for (double& v : m) {
    if (std::abs(v) < cov_eps) v = cov_eps;
  }
  for (std::size_t i = 0; i < count; ++i)
    m[i + i * count] *= 1.0 + cov_sqrt_eps;
  std::vector<double> inverse = m;
  int info = 0;
  lumatinv(n, inverse, info);
  if (info != 0) {
    inverse = m;
    invertmat(inverse, n);
  }

  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::fill(r.correlation.begin(), r.correlation.end(), 0.0);
  r.t = t95(rows - n);
  for (std::size_t i = 0; i < count; ++i) {
    if (!(inverse[i + i * count] > 0.0)) {
      r.inverse_unusable = true;
      std::fill_n(r.se.begin(), count, nan);
      std::fill_n(r.cl.begin(), count, nan);
      r.se_produced = false;
      return;
    }
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

}  // namespace inhibra::fit
