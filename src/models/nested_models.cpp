#include "models/nested_models.hpp"

#include <cmath>
#include <cstdio>
#include <optional>

#include "models/model_forms.hpp"
#include "models/model_library.hpp"

namespace inhibra::models {

namespace {

// Whether a shape parameter kept to `inner` always lies in `outer`.
bool range_within(shape_range inner, shape_range outer) {
  return inner == outer || outer == shape_range::any;
}

shape_range range_of(const model_facts& m, const shape_source& source) {
  return m.shape.range[static_cast<std::size_t>(source.parameter - general_a)];
}

// How the special model's a or b (parameter g of the general form) sits in the
// general model's: the same (no pin), a pin, or not at all (nullopt).
struct relation {
  bool holds = false;
  std::optional<pin> pinned;
};

relation relate(const model_facts& special, const model_facts& general, const parameter_box& box,
                int g) {
  const bool for_b = g == general_b;
  const shape_source& s = for_b ? special.shape.b : special.shape.a;
  const shape_source& gs = for_b ? general.shape.b : general.shape.a;
  const bool a_infinite = !special.shape.a.is_free() && std::isinf(special.shape.a.value);
  if (!gs.is_free()) {
    // With a infinite the rate no longer depends on b.
    const bool same = !s.is_free() && s.value == gs.value;
    return {same || (for_b && a_infinite), std::nullopt};
  }
  const shape_range range = range_of(general, gs);
  if (s.is_free()) {
    if (for_b && s.parameter == special.shape.a.parameter) {
      // b = a: a limit where the general model keeps b below a.
      const bool reachable = general.shape.a.is_free() &&
                             general.shape.a.parameter != gs.parameter &&
                             range_within(range_of(special, special.shape.a), range);
      return {reachable, pin{g, pin_kind::equal_to_a}};
    }
    return {range_within(range_of(special, s), range), std::nullopt};
  }
  const auto k = static_cast<std::size_t>(gs.parameter);
  if (std::isinf(s.value)) return {box.hi[k] == upper_bound, pin{g, pin_kind::upper_end}};
  if (s.value == 0.0) return {box.lo[k] == lower_bound, pin{g, pin_kind::lower_end}};
  return {box.lo[k] <= s.value && s.value <= box.hi[k], pin{g, pin_kind::value, s.value}};
}

std::string pin_words(const pin& q, const model_facts& general) {
  const char* name = q.parameter == general_a ? "a" : "b";
  switch (q.kind) {
    case pin_kind::upper_end:
      return std::string(name) + " -> infinity";
    case pin_kind::lower_end:
      return std::string(name) + " -> 0";
    case pin_kind::equal_to_a:
      return general.b_below_a ? "b -> a" : "b = a";
    case pin_kind::value:
      break;
  }
  char value[32];
  std::snprintf(value, sizeof value, "%g", q.value);
  return std::string(name) + " = " + value;
}

std::optional<nested_pair> nesting(const model_facts& special, const model_facts& general) {
  if (special.parameters >= general.parameters) return std::nullopt;
  const parameter_box box = reachable_box(general);
  nested_pair pair;
  pair.special = special.number;
  pair.general = general.number;
  for (int g : {general_a, general_b}) {
    const relation r = relate(special, general, box, g);
    if (!r.holds) return std::nullopt;
    if (!r.pinned) continue;
    if (pair.pin_count == static_cast<int>(pair.pins.size())) return std::nullopt;
    pair.pins[static_cast<std::size_t>(pair.pin_count++)] = *r.pinned;
    if (!pair.how.empty()) pair.how += ", ";
    pair.how += pin_words(*r.pinned, general);
  }
  if (pair.pin_count != general.parameters - special.parameters) return std::nullopt;
  return pair;
}

}  // namespace

std::vector<nested_pair> nested_pairs() {
  std::vector<nested_pair> pairs;
  for (const model_facts& general : installed_catalogue) {
    for (const model_facts& special : installed_catalogue) {
      if (auto pair = nesting(special, general)) pairs.push_back(std::move(*pair));
    }
  }
  return pairs;
}

}  // namespace inhibra::models
