#include "evidence/nested_tests.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fit/quiet_distributions.hpp"
#include "models/model_forms.hpp"

namespace inhibra::evidence {

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

const model_result* fitted_model(const std::vector<model_result>& fitted, int model) {
  const auto found = std::find_if(fitted.begin(), fitted.end(),
                                  [&](const model_result& r) { return r.model == model; });
  return found != fitted.end() ? &*found : nullptr;
}

}  // namespace

f_test extra_sum_of_squares(double ssr_s, int n_s, double ssr_g, int n_g, int N) {
  f_test t;
  t.df1 = n_g - n_s;
  t.df2 = N - n_g;
  if (t.df1 < 1 || t.df2 < 1 || !(ssr_g > 0.0) || !std::isfinite(ssr_g) || !std::isfinite(ssr_s)) {
    t.f = not_a_number;
    t.p = not_a_number;
    return t;
  }
  t.f = std::fmax(0.0, ((ssr_s - ssr_g) / t.df1) / (ssr_g / t.df2));
  const fit::f_distribution f(t.df1, t.df2);
  t.p = t.f > 0.0 ? boost::math::cdf(boost::math::complement(f, t.f)) : 1.0;
  return t;
}

bool at_box_end(const models::nested_pair& pair) {
  const models::parameter_box box = models::reachable_box(pair.general);
  for (int k = 0; k < pair.pin_count; ++k) {
    const models::pin& pin = pair.pins[static_cast<std::size_t>(k)];
    switch (pin.kind) {
      case models::pin_kind::lower_end:
      case models::pin_kind::upper_end:
        return true;
      case models::pin_kind::equal_to_a: {
        // b = a is an end when b's range stops below a (model 8), not when b may pass a.
        models::parameter_vector p = box.hi;
        p[static_cast<std::size_t>(models::general_a)] = 0.5;
        if (models::upper_end(pair.general, p, static_cast<std::size_t>(models::general_b)) <
            box.hi[static_cast<std::size_t>(models::general_b)])
          return true;
        break;
      }
      case models::pin_kind::value: {
        const int i = models::own_index(pair.general, pin.parameter);
        if (i < 0) break;
        const auto k_own = static_cast<std::size_t>(i);
        if (pin.value == box.lo[k_own] || pin.value == box.hi[k_own]) return true;
        break;
      }
    }
  }
  return false;
}

std::vector<nested_test> nested_tests(const std::vector<model_result>& fitted, int N) {
  std::vector<nested_test> tests;
  for (const models::nested_pair& pair : models::nested_pairs()) {
    const model_result* s = fitted_model(fitted, pair.special);
    const model_result* g = fitted_model(fitted, pair.general);
    if (s == nullptr || g == nullptr) continue;
    tests.push_back({pair.special, pair.general, pair.how,
                     extra_sum_of_squares(s->ssr, s->n, g->ssr, g->n, N), at_box_end(pair)});
  }
  return tests;
}

const nested_test* find_test(const std::vector<nested_test>& tests, int special, int general) {
  const auto found = std::find_if(tests.begin(), tests.end(), [&](const nested_test& t) {
    return t.special == special && t.general == general;
  });
  return found != tests.end() ? &*found : nullptr;
}

}  // namespace inhibra::evidence
