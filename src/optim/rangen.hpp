#pragma once
// The searches' pseudo-random numbers: a chaotic map on the fractional part of
// (r + pi)^5. Its state r belongs to the caller, who hands it to every search that
// draws (the fit keeps one for as long as its context lives: 0 when it is created,
// never reset by a run).

namespace inhibra::optim {

// Clamp limits of the generator: values below the lower one are lifted by 0.05,
// values above the upper one become 0.95. The comparisons use the single-precision
// values of 0.05 and 0.95; the lift and the replacement are the doubles.
inline constexpr double rangen_low = double(0.05f);   // 0.05000000074505806
inline constexpr double rangen_high = double(0.95f);  // 0.949999988079071

// The map both of the program's generators use: pi - 3 when seed is 0, otherwise
// the fractional part of (r + pi)^5 with the power formed as (z^2)^2 z.
[[nodiscard]] double pi_power_map(double r, double seed);

// Next value of the sequence, in [0.05, 0.95]. seed (in/out): only its test for
// zero matters — 0 restarts the sequence at pi - 3, anything else (a NaN included)
// continues it from the state; on return it holds the value returned.
// state (in/out): the stream's state, updated to the value returned. No objective
// evaluation.
double rangen(double& state, double& seed);

}  // namespace inhibra::optim
