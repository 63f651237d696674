#pragma once
// Example and synthetic data for the numerical tests, and their relative comparisons.
#include <memory>
#include <vector>

#include "core/fit_context.hpp"
#include "support/compare.hpp"

namespace inhibra::support {

// The bundled example examples/Data.in, read by the data reader: [S] = 50..700
// at [I] = 0, 100, 200, 400 with measured rates (24 rows, 4 curves of 6).
void fill_example_data(core::fit_context& ctx);

// A context of the given model whose rates are the model's own values at the
// example's [S] x [I] grid for parameters `p` (noise-free).
std::unique_ptr<core::fit_context> synthetic_context(int model, std::vector<double> p);

}  // namespace inhibra::support
