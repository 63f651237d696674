#pragma once
// Student's t distribution: its distribution function and quantiles, and the F
// quantile with one numerator degree of freedom that profile-likelihood limits need.
// (The report's confidence limits keep their own t table.)
namespace inhibra::fit {

// P(T <= t) for `dof` > 0 degrees of freedom.
[[nodiscard]] double student_t_cdf(double t, double dof);

// The t with P(T <= t) = p, for 0 < p < 1 and dof > 0.
[[nodiscard]] double student_t_quantile(double p, double dof);

// The p quantile of F(1, dof): the square of the (1 + p)/2 quantile of t.
[[nodiscard]] double f1_quantile(double p, double dof);

}  // namespace inhibra::fit
