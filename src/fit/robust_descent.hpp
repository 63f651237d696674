#pragma once
// A direct descent on the robust sum of squares, for robust weighting. The robust
// sum of a point weighs each squared residual by the robust weight of that residual
// AT the point; the weights are an oscillating function of the residuals, so the
// sum is rugged and the reweighted least-squares solves (weights held during a
// solve, recomputed after it) need not go downhill on it: a start near the robust
// optimum can reweight its way out of the basin. This descent compares points by the
// sum itself, so it never leaves a basin for a worse point.
#include <cstdint>

#include "core/fit_context.hpp"
#include "fit/refine.hpp"

namespace inhibra::fit {

// How hard a descent tries: simplex steps per parameter in each search, and
// restarts from the best vertex (a restart that no longer lowers the sum ends it).
struct descent_effort {
  int steps_per_parameter = 0;
  int restarts = 0;
};
inline constexpr descent_effort full_descent{150, 4};
// A brief look, to choose the starts worth a full descent.
inline constexpr descent_effort scouting_descent{30, 0};

// Nelder-Mead simplex search on the logarithms of the parameters of the context's
// current model (robust weighting), inside the model's reachable box, started again
// from its best vertex until a restart no longer lowers the sum. Returns the best
// point met (the start included) with its robust sum; `evaluations` counts sweeps
// over the observations.
[[nodiscard]] scored_point descend_robust_sum(const core::fit_context& ctx,
                                              const parameter_vector& start,
                                              std::int64_t& evaluations,
                                              const descent_effort& effort = full_descent);

}  // namespace inhibra::fit
