#pragma once
// Coordinate-wise golden-section searches.
//
// These searches only look at objective values: every evaluation is one call of the
// problem's value function, and every pass ends by projecting the point into the
// problem's box.
#include <span>

#include "optim/problem.hpp"
#include "optim/search_settings.hpp"

namespace inhibra::optim {

// Golden ratio conjugate and its complement.
inline constexpr double golden_phi = 0.6180339887498949;
inline constexpr double golden_psi = 1.0 - golden_phi;

// Passes of golden_search.
inline constexpr int golden_search_passes = 10;

// One golden-section search along coordinate i (1-based) of x, every other
// coordinate held fixed. The bracket is built around the current value v as
// [v - v*phi, v + v*phi] (its lower end moved to half the upper one when it is the
// worse end), then narrowed by ten golden steps. x(i) ends on the better end of
// the narrowed bracket, never on an interior point (on a tie the end that grew from
// v + v*phi; an end whose value is not a number counts as the worse one), and the
// return value is the objective there. A coordinate of 0 stays 0. No projection.
// Cost: 14 evaluations, 15 when the lower end is moved.
double golden_kernel(const value_problem& p, std::span<double> x, int i);

// Ten passes; each runs the kernel on x(1), ..., x(n) in order, projects the n
// parameters into the box and evaluates the projected point. x (in/out, at least n
// entries): start point in, projected point of the last pass out; f (out): its value.
// Cost: 10 * (n kernels + 1) evaluations.
void golden_search(const value_problem& p, std::span<double> x, double& f);

// s.passes passes like golden_search, but only over the coordinates s.first to
// s.last (a coordinate beyond the end of x is skipped). Every pass still projects
// all n parameters. With no passes it returns at once with x and f untouched.
// x (in/out); f (out; untouched without passes).
// Cost: s.passes * (kernels + 1) evaluations.
void golden_ab_search(const value_problem& p, std::span<double> x, double& f,
                      const shape_search& s);

}  // namespace inhibra::optim
