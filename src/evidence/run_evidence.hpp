#pragma once
// The evidence a finished run holds about the mechanism, drawn from its fits after
// the run: the textbook ranking with Akaike weights, the nested F tests and the
// verdict. The results table, the machine-readable output and the terminal summary
// show it; the results report does not.
#include <vector>

#include "evidence/nested_tests.hpp"
#include "evidence/textbook_ranking.hpp"
#include "evidence/verdict.hpp"
#include "fit/ezfit.hpp"

namespace inhibra::evidence {

struct run_evidence {
  std::vector<textbook_row> ranking;  // every fitted model by the textbook AICc
  std::vector<nested_test> nested;    // F tests of every fitted special case in a fitted model
  verdict mechanism;                  // which mechanism the data support, with the evidence
};

[[nodiscard]] run_evidence weigh_evidence(const fit::run_record& run);

}  // namespace inhibra::evidence
