#include "fit/row_influence.hpp"

#include <array>
#include <cmath>

#include "models/model_catalogue.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"
#include "models/rate_derivatives.hpp"

namespace inhibra::fit {

namespace {

// A direction of the Jacobian shorter than this, relative to its column's length,
// is one the data do not determine.
constexpr double undetermined = 1e-10;
// A leverage this close to 1 is 1.
constexpr double full_leverage = 1e-12;

}  // namespace

row_diagnostics diagnose_rows(const core::fit_context& ctx, std::span<const double> p,
                              std::span<const double> weights) {
  const auto rows = static_cast<std::size_t>(ctx.rows);
  const models::parameter_box box = models::reachable_box(ctx.model);
  const auto n = static_cast<std::size_t>(box.n);
  row_diagnostics d;
  d.weight.assign(weights.begin(), weights.begin() + static_cast<std::ptrdiff_t>(rows));
  d.leverage.assign(rows, 0.0);
  d.cooks_distance.assign(rows, 0.0);

  models::parameter_vector q{};
  std::copy_n(p.begin(), std::min(p.size(), q.size()), q.begin());
  // Scaled residuals and the weighted Jacobian on log-parameters, column by column.
  std::vector<double> e(rows);
  std::vector<std::vector<double>> columns(n, std::vector<double>(rows));
  for (std::size_t k = 0; k < rows; ++k) {
    const double root = std::sqrt(weights[k]);
    models::parameter_vector at = q;
    e[k] = root * (ctx.rate[k] - models::func(ctx, ctx.substrate[k], ctx.inhibitor[k], 0.0, at));
    models::model_par_array dv{};
    (void)models::rate_gradient(ctx.model, ctx.substrate[k], ctx.inhibitor[k], q, dv);
    for (std::size_t j = 0; j < n; ++j)
      columns[j][k] = root * dv[j] * q[j];
  }

  // Orthonormal basis of the columns' span (Gram-Schmidt, twice per column); the
  // leverages are the squared row lengths of that basis.
  int rank = 0;
  std::vector<std::vector<double>> basis;
  for (auto& column : columns) {
    double length = 0.0;
    for (const double v : column)
      length += v * v;
    length = std::sqrt(length);
    if (!(length > 0.0) || !std::isfinite(length)) continue;
    for (int pass = 0; pass < 2; ++pass) {
      for (const auto& b : basis) {
        double dot = 0.0;
        for (std::size_t k = 0; k < rows; ++k)
          dot += b[k] * column[k];
        for (std::size_t k = 0; k < rows; ++k)
          column[k] -= dot * b[k];
      }
    }
    double rest = 0.0;
    for (const double v : column)
      rest += v * v;
    rest = std::sqrt(rest);
    if (rest <= undetermined * length) continue;
    for (double& v : column)
      v /= rest;
    basis.push_back(column);
    ++rank;
  }
  for (const auto& b : basis) {
    for (std::size_t k = 0; k < rows; ++k)
      d.leverage[k] += b[k] * b[k];
  }

  const int freedom = ctx.rows - rank;
  double ssq = 0.0;
  for (const double v : e)
    ssq += v * v;
  if (rank == 0 || freedom <= 0 || !(ssq > 0.0)) return d;  // nothing to measure against
  const double s2 = ssq / freedom;
  for (std::size_t k = 0; k < rows; ++k) {
    const double h = std::fmin(d.leverage[k], 1.0);
    const double gap = 1.0 - h;
    if (gap <= full_leverage) {
      d.cooks_distance[k] = e[k] == 0.0 ? 0.0 : HUGE_VAL;
      continue;
    }
    d.cooks_distance[k] = e[k] * e[k] * h / (rank * s2 * gap * gap);
  }
  return d;
}

std::vector<flagged_row> flag_rows(const row_diagnostics& d) {
  std::vector<flagged_row> flagged;
  const std::size_t rows = d.cooks_distance.size();
  if (rows == 0) return flagged;
  const double threshold = high_influence_numerator / static_cast<double>(rows);
  for (std::size_t k = 0; k < rows; ++k) {
    flagged_row f;
    f.row = static_cast<int>(k) + 1;
    f.down_weighted = k < d.weight.size() && d.weight[k] < down_weighted_below;
    f.high_influence = d.cooks_distance[k] > threshold;
    if (f.down_weighted || f.high_influence) flagged.push_back(f);
  }
  return flagged;
}

}  // namespace inhibra::fit
