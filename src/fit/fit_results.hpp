#pragma once
// The step between a fit's statistics and its report: the parts of the result that
// the report prints and the plots read, and what the context keeps of a fit for the
// plots. The report writer itself only reads.
#include <cstddef>
#include <optional>
#include <span>

#include "core/fit_context.hpp"
#include "fit/model_result.hpp"

namespace inhibra::fit {

// Completes r from its statistics: the fitted rates as computed (the context's, from
// the statistics of r), the MC50 table and the constraint count the report prints;
// the context's constraint count becomes that count too.
void complete_result(core::model_state& ctx, model_result& r);

// Leaves fit r in the context for the plots: its fitted rates, with every rate that
// is negative, above 1e16 or not a number as 0, and its parameters in `variables`
// (the rest 0).
void leave_fit_in_context(core::fit_context& ctx, const model_result& r);

// The working columns back to the rows as read: a model's fit starts from them.
void restore_observations(core::observations& ctx);

// Makes the context evaluate fitted model r again (after other models were fitted):
// the rows as read, r's model, parameter count, weighting and error model.
void select_fitted(core::fit_context& ctx, const model_result& r);

// The best of the fitted models: the lowest AICc, the later model on ties. An AICc
// that is not a number ranks behind every number, and the first model always starts
// the comparison, so a run with fitted models always has a best one.
[[nodiscard]] std::optional<std::size_t> best_fitted(std::span<const model_result> fitted);

}  // namespace inhibra::fit
