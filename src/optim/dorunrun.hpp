#pragma once
// Random coordinate search with a shrinking search box.
//
// Only objective values are used, so no gradient or constraint arrays are taken:
// every evaluation is models::objective_value (counted in ctx.value_evaluations).
#include <span>

#include "core/fit_context.hpp"

namespace inhibra::optim {

// Up to `maxruns` runs (never more than 15: the box fraction starts at 0.8, loses
// about 0.04 per run and the search stops once it is no longer above 0.21). A run
// tries 10*n + 1 random moves of single coordinates inside a box of +-frac around
// the run's start point, keeps a move only when it lowers the value, then bounds
// every parameter and evaluates the bounded point. An objective value below
// ctx.eps, above ctx.big or not a number counts as ctx.big in the comparisons, so
// such a move is never kept.
//
// seed (in/out): handed to rangen at every draw; holds the last value drawn.
// maxruns (in/out): a value of 9 or less is replaced by 100 (so 15 runs are made).
// x (in/out, at least n entries): start point in, bounded point of the last run out.
// f (out): value of the last evaluation, the one at the returned x (or at the start
// point when no run takes place).
// Cost: 1 + runs * (10*n + 3) evaluations.
void dorunrun(core::fit_context& ctx, int n, double& seed, int& maxruns, std::span<double> x,
              double& f);

}  // namespace inhibra::optim
