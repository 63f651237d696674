#pragma once
// The textbook information criteria of a least-squares fit under a Gaussian error
// model, which a reader can recompute from the weighted sum of squares alone: the
// maximised log-likelihood, AICc with the variance counted as a parameter, BIC, and
// the Akaike weights and evidence ratios they give. The results report keeps its own
// criterion (see model_comparison.hpp); these stand beside it.
#include <span>
#include <vector>

namespace inhibra::fit {

// The criteria of one fit. Not a number where they are undefined (no observations
// left beyond the parameters and the variance, or a sum that is not a positive
// number).
struct likelihood_criteria {
  double log_likelihood = 0.0;
  double aicc = 0.0;  // -2 lnL + 2k + 2k(k+1)/(N-k-1), k = n + 1
  double bic = 0.0;   // -2 lnL + k ln N
};

// The criteria of a fit of n parameters to N observations whose error model weights
// w_k give the weighted sum of squares `weighted_ssr` = sum w_k r_k^2. `error_log` is
// sum ln(1 / w_k) (0 with equal weights): with sigma_k^2 = sigma^2 / w_k and sigma^2
// at its maximum-likelihood value weighted_ssr / N,
//   lnL = -N/2 (ln(2 pi weighted_ssr / N) + 1) - error_log / 2.
// The result does not change when every weight is multiplied by one constant.
[[nodiscard]] likelihood_criteria textbook_criteria(int N, int n, double weighted_ssr,
                                                    double error_log);

// Akaike weights exp(-delta_i / 2) / sum_j exp(-delta_j / 2) of the criteria values
// (delta from the lowest). A value that is not a number gets weight 0 and takes no
// part; all of them not numbers gives all 0.
[[nodiscard]] std::vector<double> akaike_weights(std::span<const double> criterion);

// log10 of the evidence ratio of the best model (lowest criterion) against each:
// (value - lowest) / (2 ln 10); not a number where the value is not one.
[[nodiscard]] std::vector<double> log_evidence_ratios(std::span<const double> criterion);

}  // namespace inhibra::fit
