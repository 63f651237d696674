#pragma once
// Student's t distribution: its distribution function and quantiles, and the F
// quantile with one numerator degree of freedom that profile-likelihood limits need.
// The chain-only mode's limits keep the rounded t table their results files were
// written with (tvalue).
namespace inhibra::fit {

// P(T <= t) for `dof` > 0 degrees of freedom.
[[nodiscard]] double student_t_cdf(double t, double dof);

// The t with P(T <= t) = p, for 0 < p < 1 and dof > 0.
[[nodiscard]] double student_t_quantile(double p, double dof);

// The two-sided 95 % quantile of t for `dof` degrees of freedom, exact (NaN for
// dof < 1): the half-width factor of the symmetric limits of the refined fits.
[[nodiscard]] double t95(int dof);

// The p quantile of F(1, dof): the square of the (1 + p)/2 quantile of t.
[[nodiscard]] double f1_quantile(double p, double dof);

}  // namespace inhibra::fit
