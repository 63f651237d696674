#pragma once
// Profile-likelihood 95 % limits of fitted parameters. Each parameter in turn is
// held at values along a path away from its estimate while the others are solved
// again; a limit is where the sum of squares reaches
//   SSR * (1 + F(0.95; 1, N - n) / (N - n)).
// Limits stop at the ends of the model's box: a side on which the sum of squares
// stays below that level up to the box end is open there. Unlike the symmetric
// limits p +- t se, these follow the model's curvature and never leave its range.
#include <cstdint>

#include "core/fit_context.hpp"
#include "fit/model_result.hpp"

namespace inhibra::fit {

// Fills r.profile for every parameter of r, at r.p with r.ssr, for the context's
// observations and r's model and weighting (robust mode: the weights of the
// residuals at r.p, held fixed along the profiles). With no more observations than
// parameters the limits are not available. Returns the number of sweeps over the
// observations spent.
std::int64_t profile_limits(const core::fit_context& ctx, model_result& r);

}  // namespace inhibra::fit
