#include "fit/row_weights.hpp"

#include <algorithm>
#include <cmath>

#include "models/model_forms.hpp"
#include "models/model_library.hpp"
#include "models/robustwt.hpp"

namespace inhibra::fit {

namespace {

// The error model's weights at p into w, the residuals y - v into r.
void error_weights(const core::fit_context& ctx, std::span<const double> p, row_weight_array& w,
                   row_weight_array& r) {
  models::parameter_vector q{};
  std::copy_n(p.begin(), std::min(p.size(), q.size()), q.begin());
  const double floor = rate_floor(ctx);
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k) {
    const double v = models::func(ctx, ctx.substrate[k], ctx.inhibitor[k], ctx.rate[k], q);
    r[k] = ctx.rate[k] - v;
    w[k] = error_weight(ctx.errors, v, floor);
  }
}

}  // namespace

double rate_floor(const core::observations& ctx) {
  double sum_sq = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
    sum_sq += ctx.rate[k] * ctx.rate[k];
  const double rms = ctx.rows > 0 ? std::sqrt(sum_sq / ctx.rows) : 0.0;
  return rms > 0.0 ? smallest_weighted_rate * rms : smallest_weighted_rate;
}

double error_weight(core::error_model errors, double v, double floor) {
  const double size = std::fmax(std::abs(v), floor);
  switch (errors) {
    case core::error_model::relative:
      return 1.0 / (size * size);
    case core::error_model::poisson:
      return 1.0 / size;
    case core::error_model::equal:
      break;
  }
  return 1.0;
}

void row_weights(const core::fit_context& ctx, std::span<const double> p, row_weight_array& w) {
  std::fill(w.begin(), w.end(), 1.0);
  if (!weights_follow_fit(ctx)) return;
  row_weight_array r{};
  error_weights(ctx, p, w, r);
  if (ctx.weighting != core::weighting::robust) return;
  // Robust weights judge the residuals on the error model's scale.
  row_weight_array scaled{};
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
    scaled[k] = r[k] * std::sqrt(w[k]);
  row_weight_array robust{};
  models::robust_wt(ctx.rows, scaled, robust);
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
    w[k] *= robust[k];
}

void error_model_weights(const core::fit_context& ctx, std::span<const double> p,
                         row_weight_array& w) {
  std::fill(w.begin(), w.end(), 1.0);
  if (ctx.errors == core::error_model::equal) return;
  row_weight_array r{};
  error_weights(ctx, p, w, r);
}

bool weights_follow_fit(const core::model_state& ctx) {
  return ctx.weighting == core::weighting::robust || ctx.errors != core::error_model::equal;
}

double error_log_term(const core::fit_context& ctx, std::span<const double> p) {
  if (ctx.errors == core::error_model::equal) return 0.0;
  row_weight_array w{};
  row_weight_array r{};
  error_weights(ctx, p, w, r);
  double sum = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
    sum -= std::log(w[k]);
  return sum;
}

}  // namespace inhibra::fit
