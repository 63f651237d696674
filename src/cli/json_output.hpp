#pragma once
// The machine-readable results of inhibra-fit --json.
#include <string>
#include <vector>

#include "cli/fit_files.hpp"

namespace inhibra::cli {

// {"files": [...]} with, per file, its status, counts, weighting, every fitted model
// with its parameters (value, standard error, 95 % limits), the ranking and the best
// model, listed first in the ranking ("tie": true when another model has its AICc).
// Numbers keep full double precision; numbers that do not exist or are not finite (a
// standard error that could not be computed, an AICc of -Infinity) are null. File
// names that are not UTF-8 show U+FFFD for each stray byte and keep their bytes in
// hex ("file_bytes", "results_file_bytes").
[[nodiscard]] std::string results_json(const std::vector<file_outcome>& outcomes);

}  // namespace inhibra::cli
