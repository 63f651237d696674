#pragma once
// What each row of the data did to a fit: its robust weight at the fit, its leverage
// and its Cook's distance, and the rows worth a second look. A row that robust
// weighting nearly ignored, or one that alone moves the estimates, is named to the
// person; nothing is ever left out of a fit without being shown.
#include <span>
#include <vector>

#include "core/fit_context.hpp"

namespace inhibra::fit {

// Robust weight below which a row counts as down-weighted.
inline constexpr double down_weighted_below = 0.1;
// Cook's distance above this many over the row count marks a row of high influence.
inline constexpr double high_influence_numerator = 4.0;

struct row_diagnostics {
  std::vector<double> weight;    // the weight of each row at the fit (1 without robust weighting)
  std::vector<double> leverage;  // the diagonal of the weighted fit's hat matrix
  // Cook's distance of each row: infinite for a row that alone fixes a direction
  // of the parameters (leverage 1) yet is not fitted exactly.
  std::vector<double> cooks_distance;
};

// The diagnostics of the fit of the context's current model at p, with `weights`
// the weight of each row there. The hat matrix is that of the weighted Jacobian
// (with respect to the logarithms of the parameters; directions the data do not
// determine are left out); the residuals are scaled by the roots of the weights;
// D_k = e_k^2 h_kk / (p s^2 (1 - h_kk)^2) with p the parameters determined and s^2
// the weighted sum of squares over the degrees of freedom.
[[nodiscard]] row_diagnostics diagnose_rows(const core::fit_context& ctx, std::span<const double> p,
                                            std::span<const double> weights);

// A row worth a look (1-based, the line of the data file it was read from).
struct flagged_row {
  int row = 0;
  bool down_weighted = false;   // robust weight below down_weighted_below
  bool high_influence = false;  // Cook's distance above 4 / N
};

// The rows of `d` (a run's best fit) that are down-weighted or of high influence,
// in row order; none when nothing stands out.
[[nodiscard]] std::vector<flagged_row> flag_rows(const row_diagnostics& d);

}  // namespace inhibra::fit
