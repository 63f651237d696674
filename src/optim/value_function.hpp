#pragma once
// The objective as the value-only searches see it.
#include <functional>
#include <span>

#include "core/fit_context.hpp"
#include "models/objective.hpp"

namespace inhibra::optim {

// Value of the objective at a point of n parameters. An empty function stands for
// the residual sum of squares of the context's current model
// (models::objective_value, counted in ctx.value_evaluations); another function can
// be supplied to run a search on any objective, for example to watch its trial
// points.
using value_function = std::function<double(std::span<const double>)>;

inline double evaluate(core::fit_context& ctx, const value_function& value,
                       std::span<const double> x) {
  return value ? value(x) : models::objective_value(ctx, x);
}

}  // namespace inhibra::optim
