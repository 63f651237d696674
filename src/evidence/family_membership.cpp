#include "evidence/detail/family_membership.hpp"

#include <array>
#include <cmath>

#include "models/model_catalogue.hpp"
#include "models/model_forms.hpp"
#include "models/nested_models.hpp"

namespace inhibra::evidence {

namespace {

// Significance level of the nested tests: a general model whose test against a
// special case has p at or above it does not need its extra parameters.
constexpr double nested_level = 0.05;

// Edges of a model's range next to another model that the range stops short of
// (model 3's a ends at 0.99, below model 2's a = 1; model 8's a likewise below model
// 6's; model 9's b below model 5's b = 1): a fit whose limit runs to such an edge is
// not told apart from the model beyond it.
struct range_edge {
  int model;
  int parameter;  // models::general_a or general_b
  int beyond;     // the model next to the edge
};
constexpr std::array<range_edge, 3> range_edges{
    {{3, models::general_a, 2}, {8, models::general_a, 6}, {9, models::general_b, 5}}};

// Whether fit r is not told apart from the pair's special case: every pin at an end of
// r's range is reached (held there, or its profile limit open there), and a pin inside
// the range (a = 1 or b = 1 or b = a in model 10) is met when the nested test of the
// pair does not need the extra parameters.
bool reduces_to(const model_result& r, const models::nested_pair& pair,
                const std::vector<nested_test>& tests) {
  const models::parameter_box box = models::reachable_box(r.model);
  bool inside = false;
  for (int k = 0; k < pair.pin_count; ++k) {
    const models::pin& pin = pair.pins[static_cast<std::size_t>(k)];
    const int i = models::own_index(r.model, pin.parameter);
    if (i < 0) return false;
    const auto u = static_cast<std::size_t>(i);
    switch (pin.kind) {
      case models::pin_kind::lower_end:
        if (!reaches_end(r, i, false)) return false;
        break;
      case models::pin_kind::upper_end:
        if (!reaches_end(r, i, true)) return false;
        break;
      case models::pin_kind::equal_to_a:
        if (models::b_capped_by_a(r.model)) {
          if (!reaches_end(r, i, true)) return false;
        } else {
          inside = true;
        }
        break;
      case models::pin_kind::value:
        if (pin.value == box.lo[u]) {
          if (!reaches_end(r, i, false)) return false;
        } else if (pin.value == box.hi[u]) {
          if (!reaches_end(r, i, true)) return false;
        } else {
          inside = true;
        }
        break;
    }
  }
  // The parameters the pair leaves free must lie in the special model's range (model
  // 10 with a = 4 is not model 3 with b -> 0, whatever b does).
  const models::general_point g = models::general_form(r.model, r.p);
  const models::parameter_box special = models::reachable_box(pair.special);
  for (const int free : {models::general_a, models::general_b}) {
    const bool pinned = std::any_of(pair.pins.begin(), pair.pins.begin() + pair.pin_count,
                                    [&](const models::pin& q) { return q.parameter == free; });
    const int j = models::own_index(pair.special, free);
    if (pinned || j < 0) continue;
    const auto v = g[static_cast<std::size_t>(free)];
    const auto k = static_cast<std::size_t>(j);
    if (v < special.lo[k] || v > special.hi[k]) return false;
  }
  if (!inside) return pair.pin_count > 0;
  const nested_test* t = find_test(tests, pair.special, pair.general);
  return t != nullptr && t->test.p >= nested_level;
}

}  // namespace

mode_family mode_of(int model) {
  return models::complete_inhibition(models::shape_of(model)) ? mode_family::complete
                                                              : mode_family::partial;
}

site_family site_of(int model, double a, double b) {
  const models::model_shape shape = models::shape_of(model);
  const bool a_infinite = !shape.a.is_free() && std::isinf(shape.a.value);
  // The inhibitor changes only how the substrate binds when the complex with both is
  // never formed (a infinite) or makes product as fast as without it (b = 1).
  if (a_infinite || (!shape.b.is_free() && shape.b.value == 1.0)) return site_family::competitive;
  // With a = 1 the inhibitor leaves the substrate's binding alone.
  if (!shape.a.is_free() && shape.a.value == 1.0) return site_family::noncompetitive;
  // A model whose a stays below or above 1 prefers the complex or the free enzyme.
  if (shape.a.is_free()) {
    const models::shape_range range = shape.range[static_cast<std::size_t>(shape.a.parameter - 3)];
    if (range == models::shape_range::below_one) return site_family::complex;
    if (range == models::shape_range::above_one) return site_family::free_enzyme;
  }
  // Below b = 1 the complex with the inhibitor is less active than without it: a says
  // where it binds, as for the other models. From b = 1 up it is as active or more.
  if (b < 1.0) return a < 1.0 ? site_family::complex : site_family::free_enzyme;
  return site_family::general;
}

bool reaches_end(const model_result& r, int i, bool upper) {
  const bool held = std::any_of(r.at_bound.begin(), r.at_bound.end(), [&](const fit::bound_hit& h) {
    return h.index == i + 1 && h.upper == upper;
  });
  if (held) return true;
  if (!r.profiled) return false;
  const profile_limit& l = r.profile[static_cast<std::size_t>(i)];
  return upper ? l.high_open : l.low_open;
}

const model_result* result_of(const std::vector<model_result>& fitted, int model) {
  const auto found = std::find_if(fitted.begin(), fitted.end(),
                                  [&](const model_result& r) { return r.model == model; });
  return found != fitted.end() ? &*found : nullptr;
}

namespace {

double weight_of(const std::vector<model_membership>& members, int model) {
  for (const auto& m : members)
    if (m.model == model) return m.weight;
  return 0.0;
}

// The model that fitted model `model` counts as: the special case with the fewest
// parameters that it is not told apart from (see reduces_to and range_edges), followed
// further when that special case was fitted too; itself when none.
int counted_as(const std::vector<model_result>& fitted, const std::vector<nested_test>& tests,
               int model, int depth = 0) {
  const model_result* r = result_of(fitted, model);
  if (r == nullptr || depth > 4) return model;
  int as = model;
  int fewest = r->n;
  auto consider = [&](int special) {
    const int n = models::model_info(special)->parameters;
    if (n < fewest) {
      fewest = n;
      as = special;
    }
  };
  for (const models::nested_pair& pair : models::nested_pairs()) {
    if (pair.general == model && reduces_to(*r, pair, tests)) consider(pair.special);
  }
  for (const range_edge& e : range_edges) {
    const int i = models::own_index(model, e.parameter);
    if (e.model == model && i >= 0 && reaches_end(*r, i, true)) consider(e.beyond);
  }
  return as == model ? model : counted_as(fitted, tests, as, depth + 1);
}

}  // namespace

model_membership membership_of(const std::vector<model_result>& fitted,
                               const std::vector<nested_test>& tests, const model_result& r,
                               double weight) {
  const int as = counted_as(fitted, tests, r.model);
  // Model 10 counting as itself goes by where its point lies.
  const models::general_point g = models::general_form(r.model, r.p);
  return {r.model, as, mode_of(as), site_of(as, g[3], g[4]), weight};
}

const model_result* most_general(const std::vector<model_result>& fitted,
                                 const std::vector<model_membership>& members,
                                 std::initializer_list<int> candidates, bool b_determined) {
  const model_result* best = nullptr;
  for (const int m : candidates) {
    const model_result* r = result_of(fitted, m);
    if (r == nullptr || !r->profiled) continue;
    const int a = models::own_index(m, models::general_a);
    if (b_determined && a >= 0 && reaches_end(*r, a, true)) continue;
    if (best == nullptr || r->n > best->n ||
        (r->n == best->n && weight_of(members, m) > weight_of(members, best->model)))
      best = r;
  }
  return best;
}

}  // namespace inhibra::evidence
