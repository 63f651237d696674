#pragma once
// The information criterion of one fit and the ranking of several fits: corrected
// Akaike criterion (AICc), Akaike weights and log evidence ratios.
#include <span>
#include <string_view>
#include <vector>

namespace inhibra::fit {

inline constexpr double aicc_cap = 9999.99999;  // largest AICc reported
inline constexpr double weight_floor = 1e-60;   // smallest Akaike weight used for a ratio

// AICc (out) of a fit of n parameters to N observations with residual sum of squares
// SSR and ratio sum R (see ratio_sum): N ln(SSR/N) + (R + F) n N / (N - n), where the
// data-size factor F = (2N^2 - 2N)/(N - n)^2 - 0.96875 is rounded to one decimal and
// capped at 5. The result is capped at aicc_cap from above; N <= n gives the cap.
void aicc(int N, int n, double R, double SSR, double& AICc);

// Sum over the parameters of min(se_i / p_i, 2). Standard errors that were not
// produced count 2 each, and so does a ratio that is not a number.
[[nodiscard]] double ratio_sum(int n, std::span<const double> p, std::span<const double> se,
                               bool se_produced);

// A parameter is poorly determined when its standard error exceeds p / 1.333 (75 %
// of the value) or is not a number. The driver's refit and the results table both
// judge by this.
inline constexpr double poorly_determined_ratio = 1.333;
[[nodiscard]] constexpr bool poorly_determined(double se, double p) {
  return !(se <= p / poorly_determined_ratio);
}

// Parameters that are poorly determined; every parameter counts when the errors were
// not produced.
[[nodiscard]] int poorly_determined_count(int n, std::span<const double> p,
                                          std::span<const double> se, bool se_produced);

// Sorts values(1..count) and applies the same permutation to carried(1..count).
// kind 2: ascending, with the carried array; 1: ascending, carried not used (may
// be empty); -2 and -1: the same, descending. Other kinds and counts below 2 leave
// both arrays alone. The sort is a quicksort with a moving pivot position and
// straight insertion for short segments; it is not stable. Values must be
// comparable (no NaN).
void dsort(std::span<double> values, std::span<double> carried, int count, int kind);

// One row of the best-fit summary.
struct ranking_row {
  int index = 0;            // the model's position in the order of fitting, 1-based
  double aicc = 0.0;        // its AICc
  double delta = 0.0;       // AICc minus the AICc of rank 1
  double weight = 0.0;      // Akaike weight, at least weight_floor
  double ler = 0.0;         // log10(weight of rank 1 / this weight)
  std::string_view marker;  // "**" for LER <= 1, "* " below 2, two blanks otherwise
};

// Ranks `count` fitted models by AICc. raic(1..count) and ridx(1..count) (the
// positions in the order of fitting) are sorted in place, ascending by AICc. An AICc
// that is not a number ranks as +infinity and gets no weight; it still shows as NaN.
[[nodiscard]] std::vector<ranking_row> rank_models(std::span<double> raic, std::span<double> ridx,
                                                   int count);

}  // namespace inhibra::fit
