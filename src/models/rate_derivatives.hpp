#pragma once
// Exact first derivatives of a model's rate with respect to its parameters, from
// the general modifier mechanism
//   v = Vmax [S] (1 + b [I]/(a Ki)) / (Km (1 + [I]/Ki) + [S] (1 + [I]/(a Ki)))
// with a and b as the model's catalogue entry gives them. Valid inside the model's reachable box,
// where the rate function uses the parameters as given.
#include <span>

#include "models/model_catalogue.hpp"

namespace inhibra::models {

// dv(i) = dv/dp(i) for i = 0..n-1 of `model` at substrate s and inhibitor i_conc;
// returns the rate v itself (by the general form, so it may differ from the rate
// function's value in the last bits).
double rate_gradient(const model_facts& model, double s, double i_conc, std::span<const double> p,
                     std::span<double> dv);
inline double rate_gradient(int model, double s, double i_conc, std::span<const double> p,
                            std::span<double> dv) {
  return rate_gradient(facts_of(model), s, i_conc, p, dv);
}

}  // namespace inhibra::models
