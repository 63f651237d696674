#pragma once
// What the driver works out about its finished fits from the fits and the rows
// alone: which parameters sit at an end of their box, the residual and row checks
// of every fit, and the ranges the rows cover.
#include <vector>

#include "core/error_model.hpp"
#include "core/fit_context.hpp"
#include "fit/model_result.hpp"

namespace inhibra::fit {

// What the run measured: the ranges of its rows and how its weights treat small
// rates, for the suggestion of where to measure next.
struct measured_design {
  int N = 0;
  double s_min = 0.0;
  double s_max = 0.0;
  double i_max = 0.0;
  double rate_floor = 0.0;  // the smallest fitted rate the error model's weights count
  core::error_model errors = core::error_model::equal;
};

// The parameters of r within a relative 1e-6 of an end of the model's reachable
// box; model 8's b is at its upper end when it sits at its ceiling just below a
// (b = a).
[[nodiscard]] std::vector<bound_hit> parameters_at_bound(const model_result& r);

// The residual checks and each row's weight, leverage and Cook's distance, for every
// fitted model at its final point; the context is left at the last of them.
void diagnose_fits(core::fit_context& ctx, std::vector<model_result>& fitted);

// The ranges the rows cover and the floor of the run's error model, for the
// verdict's suggestion of where to measure next.
[[nodiscard]] measured_design design_of(const core::fit_context& ctx, core::error_model errors);

}  // namespace inhibra::fit
