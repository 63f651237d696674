#include "evidence/run_evidence.hpp"

namespace inhibra::evidence {

run_evidence weigh_evidence(const fit::run_record& run) {
  run_evidence e;
  e.ranking = rank_by_textbook(run.fitted);
  e.nested = nested_tests(run.fitted, run.design.N);
  e.mechanism = reach_verdict(run.fitted, e.ranking, e.nested, run.design);
  return e;
}

}  // namespace inhibra::evidence
