#pragma once
// What an optimizer needs of the function it minimises: no model, no fit context.
// The caller wraps its objective (the fit wraps the least-squares objective of its
// context's current model) so that every optimizer can be run and tested on any
// problem.
#include <functional>
#include <span>

#include "core/capacities.hpp"

namespace inhibra::optim {

// Value of the objective at a point of n parameters; every call is one evaluation.
using value_function = std::function<double(std::span<const double>)>;

// Moves a point (the n parameters searched) into the problem's box, in place,
// without evaluating it.
using box_projection = std::function<void(std::span<double>)>;

// The run's machine constants as the searches compare values with them.
struct machine_limits {
  double eps = 0.0;  // the smallest relative difference the run resolves
  double big = 0.0;  // stands for an unusable value (10 / eps in a run)
};

// What the value-only searches minimise.
struct value_problem {
  int n = 0;              // parameters searched: x(1..n)
  value_function value;   // the objective
  box_projection bound;   // into the box; empty: the searches leave points unbounded
  machine_limits limits;  // what counts as an unusable value
};

// Projects the first n entries of x into p's box (nothing without a box).
inline void project(const value_problem& p, std::span<double> x) {
  if (!p.bound) return;
  const auto n = static_cast<std::size_t>(p.n < 0 ? 0 : p.n);
  p.bound(x.first(n < x.size() ? n : x.size()));
}

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
