#pragma once
// The fitted models ranked by the textbook AICc (k = parameters + 1, from the error
// model's Gaussian likelihood), with their Akaike weights and evidence ratios: the
// ranking the results table, the machine-readable output and the verdict go by. The
// results report keeps its own criterion and ranking (see model_comparison.hpp).
#include <vector>

#include "fit/model_result.hpp"

namespace inhibra::evidence {

using fit::model_result;

struct textbook_row {
  int index = 0;             // the model's position in the order of fitting, 1-based
  int model = 0;             // its number
  double aicc = 0.0;         // textbook AICc (not a number where it is undefined)
  double delta = 0.0;        // AICc minus the lowest AICc
  double weight = 0.0;       // Akaike weight (0 for an AICc that is not a number)
  double log10_ratio = 0.0;  // log10 of the best model's weight over this one's
};

// Every fitted model, lowest textbook AICc first; models whose AICc is not a number
// come last, and equal values keep the order of fitting. One model alone has weight 1.
[[nodiscard]] std::vector<textbook_row> rank_by_textbook(const std::vector<model_result>& fitted);

// The row of fitted model `index` (1-based order of fitting), or nullptr.
[[nodiscard]] const textbook_row* row_of(const std::vector<textbook_row>& ranking, int index);

}  // namespace inhibra::evidence
