#pragma once
// Random coordinate search with a shrinking search box.
//
// Only objective values are used: every evaluation is one call of the problem's
// value function.
#include <span>

#include "optim/problem.hpp"

namespace inhibra::optim {

// Up to `maxruns` runs (never more than 15: the box fraction starts at 0.8, loses
// about 0.04 per run and the search stops once it is no longer above 0.21). A run
// tries 10*n + 1 random moves of single coordinates inside a box of +-frac around
// the run's start point, keeps a move only when it lowers the value, then projects
// the point into the problem's box and evaluates it. A value below p.limits.eps,
// above p.limits.big or not a number counts as p.limits.big in the comparisons, so
// such a move is never kept.
//
// seed (in/out): handed to rangen at every draw; holds the last value drawn.
// maxruns (in/out): a value of 9 or less is replaced by 100 (so 15 runs are made).
// x (in/out, at least n entries): start point in, projected point of the last run out.
// f (out): value of the last evaluation, the one at the returned x (or at the start
// point when no run takes place).
// rng (in/out): the state of the random stream every draw advances (see rangen).
// Cost: 1 + runs * (10*n + 3) evaluations.
void dorunrun(const value_problem& p, double& seed, int& maxruns, std::span<double> x, double& f,
              double& rng);

}  // namespace inhibra::optim
