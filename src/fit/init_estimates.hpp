#pragma once
// Starting values of a model's parameters from the data alone: Km and Vmax from a
// weighted linearised Michaelis-Menten fit of the first curve and one Gauss-Newton
// correction, Ki equal to Km, fixed starts for the shape parameters, then a short
// polish with the golden-section and random searches.
#include <span>

#include "core/fit_context.hpp"

namespace inhibra::fit {

// Km and Vmax of the Michaelis-Menten rate v = Vmax*[S]/([S] + Km).
struct mm_estimate {
  double km = 0.0;
  double vmax = 0.0;
};

// Guard added to every denominator of the estimates.
inline constexpr double estimate_guard = 1e-6;
// Smallest start value of any parameter.
inline constexpr double estimate_floor = 1e-6;

// Linearised estimates from the rows s(k), v(k), k = 1..size: Km from the
// regression of [S] on [S]/rate weighted by rate^2 (taken as its absolute value),
// then Vmax from the rate against rate/[S] relation with that Km. Every division is
// guarded by estimate_guard, so equal or zero rates still give finite numbers.
[[nodiscard]] mm_estimate linear_mm_estimates(std::span<const double> s, std::span<const double> v);

// One Gauss-Newton step for the Michaelis-Menten rate from `start` on the same
// rows: Km moves by an additive correction, Vmax by a factor.
[[nodiscard]] mm_estimate gauss_newton_mm(std::span<const double> s, std::span<const double> v,
                                          mm_estimate start);

// The initial estimates' own generator, kept apart from the searches' one: returns
// frac((r + pi)^5) from the state r = ctx.randgen_state, or pi - 3 when seed is 0,
// with no clamping. seed (in/out): only its test for zero matters; it receives the
// value returned. ctx.randgen_state is updated.
double randgen(core::model_state& ctx, double& seed);

// Start vector of `model` for the data in ctx (ctx.rows rows, ctx.n_par parameters;
// the rows up to the first change of [I] by more than 1e-7 form the first curve,
// whatever its [I]). The polish evaluates the objective of ctx.model with the box
// of ctx.mdl_number, so both must already name `model`; it needs ctx.eps and
// ctx.big of the run.
//
// par_out (out): receives P1..Pn (at most its length); every value is at least
//   1e-6. With a single curve in the data Ki, a and b start at 1e-6.
// capacity (in): the caller's array capacity (25); not otherwise used.
// model (in): model number 1..10; picks the shape-parameter starts, the polish
//   sequence and its clamps:
//   1-2: golden_search, golden_ab_search, dorunrun (30 runs asked);
//   3, 6, 7: a <= 0.99 held between the steps, dorunrun (40);
//   4, 5: a > 0.99 held, a capped at 100 after golden_search and dorunrun (40);
//   8: a <= 0.99, a >= 1e-6 and b < a held, dorunrun (50);
//   9: a > 0.99 and 1e-6 <= b <= 0.99 held, dorunrun (50);
//   10: a, b >= 1e-6 held after golden_ab_search and dorunrun (50).
// Nothing is reported; both generators' states move on.
void init_estimates(core::fit_context& ctx, std::span<double> par_out, int capacity, int model);

}  // namespace inhibra::fit
