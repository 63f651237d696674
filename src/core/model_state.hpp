#pragma once
// The working state of the model being fitted: which model, its counts and
// constraints, how its rows are weighted, the machine limits, the searches' random
// states and the evaluation counters. The driver sets it before each model and the
// stages of the fit change it as they go.
#include <array>
#include <cstdint>

#include "core/capacities.hpp"
#include "core/error_model.hpp"
#include "core/weighting.hpp"

namespace inhibra::core {

struct model_state {
  std::int32_t model = 0;                 // current model number M, 1..10
  std::array<double, max_rows> fitted{};  // fitted rate of row k (statistics stage)

  std::int32_t m = 0;            // constraint count of the current model
  std::int32_t meq = 0;          // equality constraints among them (always 0)
  std::int32_t model_limit = 0;  // largest model number the objective accepts
  std::int32_t n_par = 0;        // n, parameters of the current model

  core::weighting weighting = core::weighting::none;  // how the rows are weighted
  // The error model of the current fit. It weights the refinement, the statistics,
  // the profiles and the criterion, never the fixed chain of stages.
  error_model errors = error_model::equal;

  // Machine limits, set at run start.
  double eps = 0.0;
  double big = 0.0;

  // Random-number states of the searches; they live as long as the context.
  double rangen_state = 0.0;   // the coordinate searches' generator
  double randgen_state = 0.0;  // the initial estimates' generator

  // Objective evaluations made through this context (for cost checks).
  std::int64_t full_evaluations = 0;   // value, gradient and constraints
  std::int64_t value_evaluations = 0;  // value only
};

}  // namespace inhibra::core
