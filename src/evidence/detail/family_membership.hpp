#pragma once
// How each fitted model counts in the verdict's families: its own mode and site
// family, or those of the special case it is not told apart from (held at an end of
// its range, or its profile limits open there, or a nested test that does not need
// its extra parameters), and the families' summed weights.
#include <algorithm>
#include <initializer_list>
#include <vector>

#include "evidence/nested_tests.hpp"
#include "evidence/verdict.hpp"

namespace inhibra::evidence {

// Complete (b = 0: models 1-4) or partial (models 5-10).
[[nodiscard]] mode_family mode_of(int model);

// The site family of a model by where its a and b come from: competitive with an
// infinite a or b = 1 (models 1, 5), noncompetitive with a = 1 (2, 6), towards the
// complex or the free enzyme with an a kept below or above 1 (3, 7, 8 and 4, 9);
// model 10 by where its fitted point lies (see verdict.hpp).
[[nodiscard]] site_family site_of(int model, double a, double b);

// Whether fit r holds parameter i (0-based) at the lower or upper end of its range,
// or its profile limit on that side runs to that end (the data do not keep it away).
[[nodiscard]] bool reaches_end(const model_result& r, int i, bool upper);

// The fit of model `model` among `fitted`; nullptr when it was not fitted.
[[nodiscard]] const model_result* result_of(const std::vector<model_result>& fitted, int model);

// How fit r, of Akaike weight `weight`, counts.
[[nodiscard]] model_membership membership_of(const std::vector<model_result>& fitted,
                                             const std::vector<nested_test>& tests,
                                             const model_result& r, double weight);

// The families of one question (`of` gives a member's family) with their summed
// weights and best members, highest weight first.
template <typename Family, typename Of>
std::vector<family_weight<Family>> families_of(const std::vector<model_membership>& members,
                                               Of of) {
  std::vector<family_weight<Family>> out;
  std::vector<double> best_weight;
  for (const model_membership& m : members) {
    const Family f = of(m);
    auto found = std::find_if(out.begin(), out.end(), [&](const auto& x) { return x.family == f; });
    if (found == out.end()) {
      out.push_back({f, 0.0, {}, 0});
      best_weight.push_back(-1.0);
      found = out.end() - 1;
    }
    const auto k = static_cast<std::size_t>(found - out.begin());
    found->weight += m.weight;
    found->models.push_back(m.model);
    if (m.weight > best_weight[k]) {
      best_weight[k] = m.weight;
      found->best_model = m.model;
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& x, const auto& y) { return x.weight > y.weight; });
  return out;
}

// The most general fitted model among `candidates` (most parameters, then the higher
// weight) that has profile limits; nullptr when none.
// With `b_determined`, a model whose a runs to infinity is passed over: b then has no
// effect on the rates and its limits say nothing.
[[nodiscard]] const model_result* most_general(const std::vector<model_result>& fitted,
                                               const std::vector<model_membership>& members,
                                               std::initializer_list<int> candidates,
                                               bool b_determined = false);

}  // namespace inhibra::evidence
