#pragma once
// One bounded solve of the refinement stage with the row weights held fixed:
// Levenberg-Marquardt on the logarithms of the parameters inside the model's box
// (model 8 in log a and log(b / a)), run as an active-set loop that holds a parameter
// at a box end while the slope pushes it outwards.
#include <array>
#include <cstdint>

#include "core/fit_context.hpp"
#include "fit/refine.hpp"

namespace inhibra::fit {

// Weights of the rows, one per observation.
using weight_array = std::array<double, core::max_rows>;

// One bounded solve with fixed weights w from p (in: start; out: the solution), with
// parameter `pinned` (0-based; -1: none) held at its value in p. `evaluations` counts
// sweeps over the observations. False when the solver stopped at a point where the
// residuals or their slopes are not finite numbers.
[[nodiscard]] bool solve_once(const core::fit_context& ctx, const weight_array& w,
                              const solve_effort& effort, parameter_vector& p,
                              std::int64_t& evaluations, int pinned = -1);

}  // namespace inhibra::fit
