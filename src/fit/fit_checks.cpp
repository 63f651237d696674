#include "fit/fit_checks.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "fit/fit_results.hpp"
#include "fit/residual_diagnostics.hpp"
#include "fit/row_influence.hpp"
#include "fit/row_weights.hpp"
#include "models/model_forms.hpp"

namespace inhibra::fit {

namespace {

// A parameter within this relative distance of a box end counts as at that end.
constexpr double at_bound_tolerance = 1e-6;

// The curve of each row (0-based, in file order): the data reader counts the rows of
// each curve in id2.
std::vector<int> curve_of_rows(const core::observations& ctx) {
  const auto rows = static_cast<std::size_t>(std::clamp(ctx.rows, 0, core::max_rows));
  std::vector<int> curve(rows, std::clamp(ctx.idatasets, 0, core::max_curves));
  std::size_t k = 0;
  for (int c = 0; c < std::clamp(ctx.idatasets, 0, core::max_curves); ++c) {
    for (int i = 0; i < ctx.id2[static_cast<std::size_t>(c)] && k < rows; ++i)
      curve[k++] = c;
  }
  return curve;
}

}  // namespace

std::vector<bound_hit> parameters_at_bound(const model_result& r) {
  const models::parameter_box box = models::reachable_box(r.model);
  std::vector<bound_hit> hits;
  auto near = [](double v, double end) {
    return std::abs(v - end) <= at_bound_tolerance * std::abs(end);
  };
  for (int i = 1; i <= box.n; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    const double hi = models::upper_end(r.model, r.p, k);
    if (near(r.p[k], box.lo[k]))
      hits.push_back({i, false});
    else if (near(r.p[k], hi))
      hits.push_back({i, true});
  }
  return hits;
}

// The rows weigh as in the fit: the error model's weights times, in robust mode, the
// robust weights at that point.
void diagnose_fits(core::fit_context& ctx, std::vector<model_result>& fitted) {
  const std::vector<int> curve = curve_of_rows(ctx);
  const auto rows = curve.size();
  for (auto& r : fitted) {
    select_fitted(ctx, r);
    std::vector<double> residual(rows);
    for (std::size_t k = 0; k < rows; ++k)
      residual[k] = ctx.rate[k] - r.fitted[k];
    row_weight_array w{};
    row_weights(ctx, r.p, w);
    const std::vector<double> weights(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(rows));
    const bool robust = r.weighting == core::weighting::robust;
    const residual_rows data{std::span(ctx.substrate).first(rows),
                             std::span(ctx.inhibitor).first(rows),
                             std::span(ctx.rate).first(rows),
                             std::span(r.fitted).first(rows),
                             weights,
                             curve};
    r.diagnostics = diagnose_residuals(data, {r.n, r.errors, robust});
    r.influence = diagnose_rows(ctx, r.p, weights);
    // What robust weighting did to each row is its weight over the error model's.
    if (r.errors != core::error_model::equal) {
      row_weight_array e{};
      error_model_weights(ctx, r.p, e);
      for (std::size_t k = 0; k < rows; ++k)
        r.influence.weight[k] = weights[k] / e[k];
    }
  }
}

measured_design design_of(const core::fit_context& ctx, core::error_model errors) {
  measured_design d;
  d.N = ctx.rows;
  d.errors = errors;
  d.rate_floor = rate_floor(ctx);
  const auto rows = static_cast<std::size_t>(std::clamp(ctx.rows, 0, core::max_rows));
  if (rows == 0) return d;
  const auto s = std::span(ctx.substrate).first(rows);
  const auto i = std::span(ctx.inhibitor).first(rows);
  // The smallest positive [S]: a row without substrate says nothing about the range.
  d.s_min = HUGE_VAL;
  for (const double v : s)
    if (v > 0.0) d.s_min = std::min(d.s_min, v);
  d.s_max = *std::max_element(s.begin(), s.end());
  d.i_max = *std::max_element(i.begin(), i.end());
  return d;
}

}  // namespace inhibra::fit
