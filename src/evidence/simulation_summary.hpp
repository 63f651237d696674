#pragma once
// The terminal's section on the selection by simulation: how often each model and
// each family won the simulated sets, and the limits of the best model's parameters
// over them.
#include <string>

#include "core/error_model.hpp"
#include "evidence/selection_simulation.hpp"

namespace inhibra::evidence {

// The section as lines of text, each ending in a newline. `errors`: the error model
// the sets were simulated with.
[[nodiscard]] std::string simulation_summary(const simulation_result& s, core::error_model errors);

}  // namespace inhibra::evidence
