#pragma once
// Standard errors, 95 % limits and correlations of a fit from the exact Jacobian of
// the (weighted) signed residuals. They are formed in relative units — derivatives
// with respect to log p, residuals relative to the root mean square rate — so that
// they do not depend on the units the data are written in: rescaling [S] and [I] by
// one factor and the rates by another scales Km, Ki and Vmax and leaves the relative
// standard errors and the correlations as they were.
#include "core/fit_context.hpp"
#include "fit/model_result.hpp"

namespace inhibra::fit {

// Replaces r's standard errors, limits (half-widths se * t95(N - n), the exact t),
// correlations and normal matrix J^T J with those of the exact Jacobian at r.p, for
// the context's observations and r's model and weighting (robust weights of the
// residuals at r.p, as the reported sum of squares has them). r.ssr must be that
// sum. An inverse with a diagonal that is not positive sets r.inverse_unusable and
// leaves se and cl not produced.
void exact_statistics(const core::fit_context& ctx, model_result& r);

// The statistics shown outside the report (r.held, r.se_free, r.cl_free), once
// r.at_bound is known. A parameter at an end of its box is held there and gets no
// standard error or symmetric limits. The others' errors come from the exact
// Jacobian over the free parameters alone, the held ones fixed at their ends (model
// 8's b held at a keeps to a), in the same relative units and conditioning as
// exact_statistics; the residual variance and t keep the fit's N - n degrees of
// freedom. With nothing held they are r's own se and cl, whatever computed them.
void conditional_statistics(const core::fit_context& ctx, model_result& r);

}  // namespace inhibra::fit
