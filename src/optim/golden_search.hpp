#pragma once
// Coordinate-wise golden-section searches on the least-squares objective.
//
// These searches only look at objective values, so they take no gradient or
// constraint arrays: every evaluation is models::objective_value (counted in
// ctx.value_evaluations). Points are evaluated with the context's current model
// (ctx.model); the box of every bounding step is that of ctx.mdl_number.
#include <span>

#include "core/fit_context.hpp"

namespace inhibra::optim {

// Golden ratio conjugate and its complement.
inline constexpr double golden_phi = 0.6180339887498949;
inline constexpr double golden_psi = 1.0 - golden_phi;

// One golden-section search along coordinate i (1-based) of x, every other
// coordinate held fixed. The bracket is built around the current value v as
// [v - v*phi, v + v*phi] (its lower end moved to half the upper one when it is the
// worse end), then narrowed by ten golden steps. x(i) ends on the better end of
// the narrowed bracket, never on an interior point (on a tie the end that grew from
// v + v*phi; an end whose value is not a number counts as the worse one), and the
// return value is the objective there. A coordinate of 0 stays 0.
// Cost: 14 evaluations, 15 when the lower end is moved.
double golden_kernel(core::fit_context& ctx, std::span<double> x, int i);

// Ten passes; each runs the kernel on x(1), ..., x(n) in order, bounds all n
// parameters and evaluates the bounded point. x (in/out, at least n entries): start
// point in, bounded point of the last pass out; f (out): its value.
// Cost: 10 * (n kernels + 1) evaluations.
void golden_search(core::fit_context& ctx, int n, std::span<double> x, double& f);

// Twenty passes like golden_search, but only over the shape parameters of the model
// ctx.mdl_number: x(3) for models 1-2, x(4) for models 3-7, x(4) and x(5) for
// models 8-10 (a coordinate beyond the end of x is skipped). Every pass still bounds
// all n parameters. For any other model number it returns at once with x and f
// untouched. x (in/out); f (out; untouched for a model outside the library).
// Cost: 20 * (1 or 2 kernels + 1) evaluations.
void golden_ab_search(core::fit_context& ctx, int n, std::span<double> x, double& f);

}  // namespace inhibra::optim
