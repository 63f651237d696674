#pragma once
// Robust weights from residuals: an iterated M-estimate of the location of the
// absolute residuals with a sine-shaped weight function. Observations whose
// absolute residual lies far from the typical size get weights down to 1e-6.
#include <span>

namespace inhibra::models {

inline constexpr double robust_tiny = 1.0e-8;
inline constexpr double robust_a = double(4.659f);  // 4.658999919891357
inline constexpr double robust_b = double(1.483f);  // 1.4830000400543213
inline constexpr double robust_ab = robust_a * robust_b;
inline constexpr double robust_wmin = 1.0e-6;

// Approximate median of x by one binning pass over mean +- one standard deviation
// into 1000 bins.
[[nodiscard]] double binmedian(std::span<const double> x, int n);

// s: mean absolute deviation of x(1..n) about m, NaN taken as 1, clamped to
// [1e-15, 1e15].
void xmad2(std::span<const double> x, int n, double m, double& s);

// w(1..n) out: weights in [1e-6, 1] from the residuals r(1..n).
void robust_wt(int n, std::span<const double> r, std::span<double> w);

}  // namespace inhibra::models
