#pragma once
// The ten rapid-equilibrium inhibition models, special cases of the general
// modifier mechanism. Parameters in one order for every model:
// P1 = Km, P2 = Vmax, P3 = Ki, P4 = a (model 6: b), P5 = b.
#include <functional>
#include <span>
#include <string>

#include "core/fit_context.hpp"

namespace inhibra::models {

inline constexpr double lower_bound = 1.0e-6;  // smallest Km, Vmax, Ki (and a, b where free)
inline constexpr double upper_bound = 1.0e6;   // largest Km, Vmax, Ki

// Rate of the current model (ctx.model) at substrate `s` and inhibitor `i`, by the
// rate function of its catalogue entry. `y`, the observed rate, is not used. Before
// evaluating, the model may move P4 and P5 of `p` back into its range (model 4 turns
// a <= 0.99 into 2.0, ...) and leaves the moved values in `p`. A number that is no
// model's gives 0.
[[nodiscard]] double func(const core::model_state& ctx, double s, double i, double y,
                          std::span<double> p);

// The rate of the model the context holds (ctx.model with the parameters in
// ctx.variables) as a function of substrate and inhibitor, through func: what the
// plots draw as the model's curve. The parameters are copied now; the context must
// outlive the function.
[[nodiscard]] std::function<double(double s, double i)> held_model_rate(
    const core::fit_context& ctx);

// Name (blank-padded or cut to `width`) and parameter count of a model; an
// undefined model gives "0- MODEL NOT DEFINED!" and 0.
void npar(int model, std::string& name, int& np, int width = core::name_field);

// The box of parameter `i` (1-based) of `model`: sets amin/amax of Km, Vmax and Ki
// on every call, and of P4 or P5 when i is 4 or 5, from the range the model's shape
// gives it (below 1: up to 1; from 1 up: from 1). On the same call a model that
// doubles a small a (model 5) doubles a P4 below 1, and one that keeps b below a
// (model 8) halves a P5 above P4. `n` is not used.
void amax_min(int i, std::span<double> p, int n, int model, std::span<double> amin,
              std::span<double> amax);

// Brings p(i) (1-based) that left [amin(i), amax(i)] back towards the box by the
// arctangent reflection; a value inside the box is left alone. `n` is not used.
void abounds2(int i, std::span<double> p, std::span<const double> amin,
              std::span<const double> amax, int n);

// The arctangent by the truncated series the reflection uses.
[[nodiscard]] double series_atan(double x);

}  // namespace inhibra::models
