#pragma once
// What a constrained optimizer needs of the function it minimises: no model, no fit
// context. The caller wraps its objective (the fit wraps models::calcfg of its
// context's current model) so that the optimizer can be run and tested on any
// smooth problem.
#include <functional>
#include <span>

#include "core/capacities.hpp"

namespace inhibra::optim {

// Evaluates the problem at x (n values): f, its gradient g (n values), the
// constraints c (m values) and their gradients cjac (column j the gradient of c(j),
// leading dimension core::max_par).
using constrained_evaluation =
    std::function<void(std::span<const double> x, double& f, std::span<double> g,
                       std::span<double> c, std::span<double> cjac)>;

// Minimise f subject to c(j) = 0 for j <= meq and c(j) >= 0 for meq < j <= m.
struct constrained_problem {
  int m = 0;    // constraints, 0 <= m <= core::max_constraints
  int meq = 0;  // the equalities among them, the first meq
  constrained_evaluation evaluate;
};

}  // namespace inhibra::optim
