#pragma once
// Sensitivities of the fitted model at its final parameters, the residual sum of
// squares under the run's weighting, and the fitted rate of every observation.
#include <span>

#include "core/capacities.hpp"
#include "core/fit_context.hpp"

namespace inhibra::fit {

// Relative step scale of the differences and the guards of the quotients.
inline constexpr double jac_eps = 1.49e-16;
inline constexpr double jac_hmin = 6.828499381469512e-6;

// Storage of the sensitivity matrix: max_rows x max_par, column by column.
inline constexpr int jac_ld = core::max_rows;

// J(k, j) (leading dimension jac_ld, all of it overwritten; entries beyond N rows or
// n columns are 0): the mean of two central differences, with steps h and 2h, of the
// weighted absolute residual w_k |y_k - model_k| with respect to parameter j. The
// "+" quotients carry the offset jac_hmin and the "-" quotients jac_eps, and every
// entry is limited to +-1/jac_eps.
// ssq (out): residual sum of squares at x under the context's weighting: plain for
// none, robust-weighted for robust, each squared residual over max(|fitted|, 1e-30)
// for fitted_rate.
// x (in, at least n entries) is not changed; the model may adjust its shape
// parameters in a working copy, and those adjustments carry over from one
// evaluation to the next.
// fitted (out, at least N entries): the fitted rates of rows 1..N at x; the entries
// beyond are left alone. The context is only read.
void jacobian(const core::fit_context& ctx, int N, int n, std::span<double> J, double& ssq,
              std::span<const double> x, std::span<double> fitted_out);

}  // namespace inhibra::fit
