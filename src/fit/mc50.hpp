#pragma once
// MC50: the inhibitor concentration that halves the rate at a given substrate level,
// with its standard error propagated from the fitted parameters, at seven substrate
// levels 0.1, 1, 2, 3, 4, 5 and 10 times Km.
#include <array>
#include <span>

#include "core/capacities.hpp"

namespace inhibra::fit {

inline constexpr std::array<double, core::mc50_levels> mc50_multipliers{0.1, 1.0, 2.0, 3.0,
                                                                        4.0, 5.0, 10.0};
struct mc50_table {
  std::array<double, core::mc50_levels> substrate{};  // the levels multiplier * Km
  std::array<double, core::mc50_levels> value{};      // MC50 at each level
  std::array<double, core::mc50_levels> error{};      // its standard error
};

// The table of `model` for parameters p (Km, Vmax, Ki, P4, ...) and their standard
// errors se. Model 1 (a infinite) has MC50 = Ki (1 + S/Km); model 2 has MC50 = Ki at
// every level; models 3 to 10 have Ki a (S + Km) / (S + Km a) with their a (model 6
// has a = 1, its P4 being b). A model number outside 1..10 gives the levels and zeros.
[[nodiscard]] mc50_table mc50(int model, std::span<const double> p, std::span<const double> se);

}  // namespace inhibra::fit
