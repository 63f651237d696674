#pragma once
// The weights of the rows' squared residuals at a point: the error model's weights
// from the fitted rates (relative 1/v^2, Poisson 1/v, equal 1), times the robust
// weights of the residuals scaled by them in robust mode. The refinement holds them
// fixed during a solve and computes them again after it until they settle; the
// statistics, the profiles and the criterion take them at the fitted point.
#include <array>
#include <span>

#include "core/capacities.hpp"
#include "core/fit_context.hpp"

namespace inhibra::fit {

using row_weight_array = std::array<double, core::max_rows>;

using core::smallest_weighted_rate;

// The smallest fitted rate that counts in the error model's weights for the context's
// rows (smallest_weighted_rate times their root mean square measured rate).
[[nodiscard]] double rate_floor(const core::observations& ctx);

// The error model's weight of a row whose fitted rate is v, with `floor` the smallest
// rate that counts (see smallest_weighted_rate).
[[nodiscard]] double error_weight(core::error_model errors, double v, double floor);

// w(k) for the context's rows at p, for the context's model, error model and
// weighting (robust weights under weighting::robust). All 1 with equal weights and no robust
// weighting.
void row_weights(const core::fit_context& ctx, std::span<const double> p, row_weight_array& w);

// The error model's part of the weights alone (robust weights left out).
void error_model_weights(const core::fit_context& ctx, std::span<const double> p,
                         row_weight_array& w);

// Whether the weights depend on the point (robust weighting or an error model other
// than equal weights), so that a solve must be repeated until they settle.
[[nodiscard]] bool weights_follow_fit(const core::model_state& ctx);

// The sum over the rows of ln(1 / w_k) for the error model's weights at p (robust
// weights left out): the term by which the Gaussian likelihood of different models
// differs beyond their weighted sums of squares. 0 with equal weights.
[[nodiscard]] double error_log_term(const core::fit_context& ctx, std::span<const double> p);

}  // namespace inhibra::fit
