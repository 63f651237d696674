#pragma once
// Exact first derivatives of a model's rate with respect to its parameters, from
// the general modifier mechanism
//   v = Vmax [S] (1 + b [I]/(a Ki)) / (Km (1 + [I]/Ki) + [S] (1 + [I]/(a Ki)))
// with each model's fixed a and b. Valid inside the model's reachable box, where the
// rate function uses the parameters as given.
#include <span>

namespace inhibra::models {

// dv(i) = dv/dp(i) for i = 0..n-1 of `model` at substrate s and inhibitor i_conc;
// returns the rate v itself (by the general form, so it may differ from the rate
// function's value in the last bits).
double rate_gradient(int model, double s, double i_conc, std::span<const double> p,
                     std::span<double> dv);

}  // namespace inhibra::models
