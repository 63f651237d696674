#pragma once
// The machine-readable results of inhibra-fit --json.
#include <string>
#include <vector>

#include "cli/check.hpp"
#include "cli/fit_files.hpp"

namespace inhibra::cli {

// {"files": [...]} with, per file, its status, the results file it wrote (null when
// it wrote none), counts ("curves": the true count, also beyond ten), weighting, its
// warnings, every fitted model with its parameters (value, standard error, 95 %
// limits) and criteria (the textbook log-likelihood, AICc with k = n + 1 and BIC, the
// Akaike weight and log10 evidence ratio from that AICc, and the results report's
// own criterion as "report_criterion"), the ranking by the textbook AICc
// ("ranking"), the results report's ranking by its criterion ("report_ranking") and
// the best model by the report's criterion (the one the plots show), listed first in
// the report's ranking ("tie": true when another model has its criterion value), the
// nested F tests between the fitted models ("nested_tests") and the verdict on the
// mechanism with its evidence ("verdict").
// Numbers keep full double precision; numbers that do not exist or are not finite (a
// standard error that could not be computed, an AICc of -Infinity) are null. File
// names that are not UTF-8 show U+FFFD for each stray byte and keep their bytes in
// hex ("file_bytes", "results_file_bytes").
[[nodiscard]] std::string results_json(const std::vector<file_outcome>& outcomes);

// {"files": [...]} of inhibra-fit --check: per file the name given ("file"), the
// file read ("data_file"), its status and, when it passed, "rows", "curves",
// "per_curve" (rows of each curve) and "columns" (null otherwise); a file refused for
// its curves keeps "rows", "columns" and the true "curves".
[[nodiscard]] std::string check_json(const std::vector<check_outcome>& checked);

}  // namespace inhibra::cli
