#pragma once
// Fixed capacities of the observation set and of the parameter and constraint
// arrays. Every place where data enter checks against these.

namespace inhibra::core {

inline constexpr int max_rows = 1000;       // observations in one data file
inline constexpr int max_curves = 10;       // curves of equal [I]
inline constexpr int max_par = 25;          // parameter slots of every parameter vector
inline constexpr int max_constraints = 50;  // columns of the constraint Jacobian
inline constexpr int max_models = 10;       // models in the library
inline constexpr int mc50_levels = 7;       // substrate levels of the MC50 table
inline constexpr int name_field = 80;       // model names and labels
inline constexpr int min_curve_rows = 5;    // a curve needs at least this many rows

}  // namespace inhibra::core
