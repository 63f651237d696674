#pragma once
// Checks of a fit's residuals that say, in one sentence each, what the scatter left
// by the model suggests: a curve shape the model does not follow (runs of signs
// along [S]), residuals that are not normal (Shapiro-Wilk), a spread that grows or
// shrinks with the rate (a likelihood-ratio test of its power of the rate), and replicate means the
// model misses (the lack-of-fit F test). Pure arithmetic on the rows handed in; no
// fit context.
#include <limits>
#include <span>
#include <string>

#include "core/error_model.hpp"

namespace inhibra::fit {

// The error model the fit's weights come from decides which way of the spread's
// trend is a finding: equal and Poisson weights take a spread that grows with the
// rate as too little weighting, relative weights a spread that shrinks as too much.
using core::error_model;
using core::smallest_weighted_rate;

// Powers of the rate beyond this say nothing more about the scatter's trend; rows
// beyond this many robust standard deviations of the scatter do not count in it.
inline constexpr double max_spread_power = 8.0;
inline constexpr double spread_outlier_cut = 4.5;

// Below this p value a check gives its advice.
inline constexpr double advice_level = 0.05;

// One check: whether it could be made, its statistic, its p value, and a sentence
// of advice (empty when p is not below advice_level, or the check was not made).
struct diagnostic_test {
  bool available = false;
  double statistic = std::numeric_limits<double>::quiet_NaN();  // NaN when not available
  double p = std::numeric_limits<double>::quiet_NaN();          //
  std::string advice;
};

// Which weights the spread check advises, if any.
enum class weights_advice {
  keep,              // the spread follows the weights in use
  relative,          // the spread grows with the rate: relative weights
  poisson_or_equal,  // under relative weights the spread shrinks as the rate grows
};

struct residual_diagnostics {
  diagnostic_test runs;         // runs of residual signs along [S] within each curve
  diagnostic_test normality;    // Shapiro-Wilk W of the scaled residuals
  diagnostic_test spread;       // power of the rate the scatter follows, beyond the weights
  diagnostic_test lack_of_fit;  // F of lack of fit against pure error of replicates
  weights_advice weights = weights_advice::keep;
  [[nodiscard]] bool advises_relative() const { return weights == weights_advice::relative; }
};

// The rows of a fit, all spans of one length (one entry per row).
struct residual_rows {
  std::span<const double> substrate;  // [S]
  std::span<const double> inhibitor;  // [I]
  std::span<const double> observed;   // the measured rate
  std::span<const double> fitted;     // the model's rate at the fitted parameters
  std::span<const double> weights;    // the fit's weight of each row; empty: all 1
  std::span<const int> curve;         // the curve each row belongs to (any labels)
};

struct diagnostics_options {
  int parameters = 0;  // parameters fitted (for the lack-of-fit degrees of freedom)
  error_model errors = error_model::equal;
  bool robust = false;  // the weights include robust weights (changes one advice)
};

// Every check of the rows. Rows with a weight not above 0 or a value that is not
// finite are left out; spans of different lengths give nothing available. A
// residual is observed - fitted; a scaled residual is residual * sqrt(weight).
[[nodiscard]] residual_diagnostics diagnose_residuals(const residual_rows& rows,
                                                      const diagnostics_options& options);

// The checks one by one (for the tests, and for callers that want one of them).

// Wald-Wolfowitz runs test of the signs of `residual`, the rows of each curve taken
// in order of [S] (file order among equal [S]); zero residuals are left out. The
// runs, their expected number and variance are summed over the curves; the p value
// is the normal approximation, with a continuity correction of 1/2, of too FEW runs.
// Statistic: the runs counted. Not available when no curve has both signs.
[[nodiscard]] diagnostic_test runs_test(std::span<const double> substrate,
                                        std::span<const double> residual,
                                        std::span<const int> curve);

// Shapiro-Wilk W of x, with Royston's approximations of the coefficients and of the
// p value, for 3 <= n <= 5000 values that are not all equal. `robust`: the advice
// does not suggest robust weighting again.
[[nodiscard]] diagnostic_test shapiro_wilk(std::span<const double> x, bool robust = false);

// Does the scatter follow a power of the rate that the weights do not take out? The
// likelihood-ratio test of gamma = 0 in the model sd(scaled residual_k) = sigma
// fitted_k^gamma: gamma at its maximum likelihood (within +-max_spread_power), the
// signed root of twice the log-likelihood gain read on the normal distribution, and
// the one-sided p value in the direction that is a finding under `errors` (see
// error_model). Rows whose residual lies beyond spread_outlier_cut robust standard
// deviations of the scatter (the power taken out) do not count, so one outlier cannot
// pass for a trend; the rows and the power are found in turn, from the least-squares
// line of ln |residual| on ln rate. A fitted rate at or below 0 counts as
// smallest_weighted_rate times the rms fitted rate. Statistic: gamma (about 1 for
// errors proportional to the rate under equal weights, 0.5 for Poisson errors, 0 when
// the weights fit). Needs three rows with residuals other than 0 and fitted rates that
// are not all equal.
[[nodiscard]] diagnostic_test spread_trend(std::span<const double> fitted,
                                           std::span<const double> scaled_residual,
                                           error_model errors);

// Lack-of-fit F test where rows repeat the same ([S], [I]): pure error from the
// (weighted) scatter of each group about its weighted mean on N - groups degrees
// of freedom, lack of fit from the groups' weighted means against the fitted rate on
// groups - parameters. Statistic: F. Not available when either has no degrees of
// freedom or the replicates agree exactly. `weights` empty: all 1.
[[nodiscard]] diagnostic_test lack_of_fit(std::span<const double> substrate,
                                          std::span<const double> inhibitor,
                                          std::span<const double> observed,
                                          std::span<const double> fitted,
                                          std::span<const double> weights, int parameters);

// "p = 0.0021", or "p < 0.0001" below that: how the advice quotes a p value.
[[nodiscard]] std::string p_text(double p);

}  // namespace inhibra::fit
