#pragma once
// The least-squares objective of every optimizer: the residual sum of squares of
// the current model over all observations, its central-difference gradient
// (robustly weighted when weighting is on) and the parameter box as linear
// inequality constraints c(j) >= 0.
#include <array>
#include <span>

#include "core/capacities.hpp"
#include "core/fit_context.hpp"

namespace inhibra::models {

// Relative step of the finite differences and the gradient's guards.
inline constexpr double diff_eps = 1.49e-8;
inline constexpr double min_step = 6.828499381469512e-6;

// Storage of one objective evaluation, sized at capacity.
using gradient_array = std::array<double, core::max_par>;
using constraint_array = std::array<double, core::max_constraints>;
using cjac_array = std::array<double, core::max_par * core::max_constraints>;  // 25 x 50, by column

// f: unweighted sum of squares at x (adjusted by the model as `func` does);
// g(1..25): gradient, zero above n; c(1..m), cjac (25 x 50 by column): the
// constraints of the current model. Also sets ctx.m and ctx.meq. x is not changed.
// A model number above the context's model limit shows two boxes and returns f = 0,
// g = 0 with c untouched.
void calcfg(core::fit_context& ctx, int n, std::span<const double> x, double& f,
            std::span<double> g, std::span<double> c, std::span<double> cjac);

// f and the central-difference gradient g(1..25) at x; the loops run over the
// context's parameter count. Robust weights (weighting::robust) are computed once at
// x and held fixed for the perturbed sums; f is always unweighted.
void derivatives(const core::fit_context& ctx, std::span<double> g, double& f,
                 std::span<const double> x);

// Only the objective value: the same bits as calcfg's f for the same x and context,
// without the difference sweeps. For the searches that never look at a gradient.
[[nodiscard]] double objective_value(core::fit_context& ctx, std::span<const double> x);

}  // namespace inhibra::models
