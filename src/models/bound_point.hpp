#pragma once
// Keeping a trial point inside a model's parameter box.
#include <span>

namespace inhibra::models {

// For i = 1..n in turn: the box of parameter i of `model` (amax_min, which may also
// adjust P4 or P5 of x for models 5 and 8) and then the reflection of x(i) back
// towards it (abounds2). x (in/out) holds at least n entries. No evaluation.
void bound_point(int n, std::span<double> x, int model);

}  // namespace inhibra::models
