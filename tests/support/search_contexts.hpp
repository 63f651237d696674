#pragma once
// Contexts for the tests of the searches: the example data or a flat objective,
// with the run's machine limits set as a run sets them.
#include <memory>
#include <string>

#include "core/fit_context.hpp"
#include "models/model_library.hpp"
#include "support/numeric.hpp"

namespace inhibra::support {

// The smallest power-of-two multiple of 1e-60 that 1 + 0.1*eps can tell apart, as
// a run computes it on IEEE doubles, and big = 10 / eps.
inline void set_run_limits(core::fit_context& ctx) {
  ctx.eps = 2.8544953854119197e-15;
  ctx.big = 10.0 / ctx.eps;
}

// Makes `model` the context's current model (number, copy, parameter count).
inline void select_model(core::fit_context& ctx, int model) {
  ctx.model = ctx.mdl_number = model;
  std::string name;
  models::npar(model, name, ctx.n_par);
}

// The example data set with `model` selected.
inline std::unique_ptr<core::fit_context> example_context(int model) {
  auto ctx = std::make_unique<core::fit_context>();
  fill_example_data(*ctx);
  set_run_limits(*ctx);
  select_model(*ctx, model);
  return ctx;
}

// No observations: every point has the value 0, so every comparison is a tie and
// the evaluation counts of the searches follow from their structure alone.
inline std::unique_ptr<core::fit_context> flat_context(int model) {
  auto ctx = example_context(model);
  ctx->rows = ctx->idat = 0;
  ctx->idatasets = 0;
  return ctx;
}

// Objective evaluations made so far through the context, of either kind.
inline std::int64_t evaluations(const core::fit_context& ctx) {
  return ctx.value_evaluations + ctx.full_evaluations;
}

}  // namespace inhibra::support
