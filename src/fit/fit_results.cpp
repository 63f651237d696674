#include "fit/fit_results.hpp"

#include <algorithm>
#include <cmath>

#include "fit/mc50.hpp"
#include "fit/report.hpp"

namespace inhibra::fit {

namespace {

// A fitted rate the plots can draw.
double drawable(double fitted) {
  return (fitted < 0.0 || fitted > 1e16 || std::isnan(fitted)) ? 0.0 : fitted;
}

// AICc that is not a number ranks behind every number.
double comparable(double aicc) {
  return std::isnan(aicc) ? HUGE_VAL : aicc;
}

}  // namespace

void restore_observations(core::observations& ctx) {
  const auto rows = static_cast<std::ptrdiff_t>(std::clamp(ctx.idat, 0, core::max_rows));
  std::copy_n(ctx.xtmp.begin(), rows, ctx.substrate.begin());
  std::copy_n(ctx.x2tmp.begin(), rows, ctx.inhibitor.begin());
  std::copy_n(ctx.ytmp.begin(), rows, ctx.rate.begin());
}

void select_fitted(core::fit_context& ctx, const model_result& r) {
  restore_observations(ctx);
  ctx.model = r.model;
  ctx.mdl_number = r.model;
  ctx.n_par = r.n;
  ctx.weighting = r.weighting;
  ctx.errors = r.errors;
}

std::optional<std::size_t> best_fitted(std::span<const model_result> fitted) {
  std::optional<std::size_t> best;
  for (std::size_t k = 0; k < fitted.size(); ++k) {
    const model_result& r = fitted[k];
    if (best && !(comparable(r.aicc) <= comparable(fitted[*best].aicc))) continue;
    best = k;
  }
  return best;
}

void complete_result(core::model_state& ctx, model_result& r) {
  r.fitted = ctx.fitted;
  r.mc50 = mc50(r.model, r.p, r.se);
  r.constraints = model_constraint_count(r.model);
  ctx.m = r.constraints;
}

void leave_fit_in_context(core::fit_context& ctx, const model_result& r) {
  const auto rows = static_cast<std::size_t>(std::clamp(ctx.rows, 0, core::max_rows));
  for (std::size_t k = 0; k < rows; ++k)
    ctx.fitted[k] = drawable(r.fitted[k]);
  ctx.variables.fill(0.0);
  std::copy_n(r.p.begin(), r.n, ctx.variables.begin());
}

}  // namespace inhibra::fit
