#pragma once
// The fit's side of the value-only searches: its least-squares objective as a
// problem the optimizers take, and the per-model search settings read from the
// model catalogue. The only place where a search learns which model it minimises.
#include "core/fit_context.hpp"
#include "optim/golden_search.hpp"
#include "optim/problem.hpp"
#include "optim/simplex.hpp"

namespace inhibra::fit {

// The residual sum of squares of the context's current model over n parameters
// (models::objective_value, counted in ctx.value_evaluations), projected into the
// box of the model ctx.mdl_number, with the context's eps and big. The problem
// holds a reference to ctx.
[[nodiscard]] optim::value_problem model_value_problem(core::fit_context& ctx, int n);

}  // namespace inhibra::fit
