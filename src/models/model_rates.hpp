#pragma once
// The rate function of each of the ten models, as its catalogue entry names it: the
// rate at substrate s and inhibitor i for the model's parameters p (P1 = Km, P2 =
// Vmax, P3 = Ki, then P4 and P5 as the model has them). Before evaluating, each moves
// P4 and P5 back into the model's range where they have left it (model 4 turns
// a <= 0.99 into 2.0, ...) and leaves the moved values in p. The expressions are
// those of the transcribed library, term for term, so that every rate keeps its bits.
#include <span>

namespace inhibra::models {

[[nodiscard]] double linear_specific_rate(double s, double i, std::span<double> p);        // 1
[[nodiscard]] double linear_noncompetitive_rate(double s, double i, std::span<double> p);  // 2
[[nodiscard]] double linear_mixed_below_rate(double s, double i, std::span<double> p);     // 3
[[nodiscard]] double linear_mixed_above_rate(double s, double i, std::span<double> p);     // 4
[[nodiscard]] double hyperbolic_specific_rate(double s, double i, std::span<double> p);    // 5
[[nodiscard]] double hyperbolic_noncompetitive_rate(double s, double i,
                                                    std::span<double> p);                   // 6
[[nodiscard]] double hyperbolic_catalytic_rate(double s, double i, std::span<double> p);    // 7
[[nodiscard]] double hyperbolic_mixed_below_rate(double s, double i, std::span<double> p);  // 8
[[nodiscard]] double hyperbolic_mixed_above_rate(double s, double i, std::span<double> p);  // 9
[[nodiscard]] double general_modifier_rate(double s, double i, std::span<double> p);        // 10

}  // namespace inhibra::models
