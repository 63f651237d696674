#pragma once
// The machine-readable results of inhibra-fit --json.
#include <string>
#include <vector>

#include "cli/fit_files.hpp"

namespace inhibra::cli {

// {"files": [...]} with, per file, its status, counts, weighting, every fitted model
// with its parameters (value, standard error, 95 % limits), the ranking and the best
// model. Numbers keep full double precision; numbers that do not exist (a standard
// error that could not be computed) are null.
[[nodiscard]] std::string results_json(const std::vector<file_outcome>& outcomes);

}  // namespace inhibra::cli
