#pragma once
// Which model is a special case of which: every pair of models where one is the
// other with one or two of a and b fixed, read off their shapes. The rate of the special model
// at a point equals the rate of the general model at the point carried over with the
// pins below applied; a pin at an end of the general model's box (a -> infinity, b ->
// 0, model 8's b -> a) is a limit the general model approaches but whose sum of
// squares it can reach only at that end. Models of the same parameter count (8 and 9
// inside 10) are restrictions of a range, not special cases, and are not listed.
#include <array>
#include <string>
#include <vector>

#include "models/model_catalogue.hpp"

namespace inhibra::models {

// Index of a and b in the general form (Km, Vmax, Ki, a, b).
inline constexpr int general_a = 3;
inline constexpr int general_b = 4;

// The model's own index (0-based) of general-form parameter `g` (general_a or
// general_b); -1 when the model has no such free parameter of its own. Model 6's only
// shape parameter is b; model 7's P4 is a, with b following it.
[[nodiscard]] inline int own_index(int model, int g) {
  const model_shape shape = shape_of(model);
  if (g == general_a) return shape.a.parameter;
  if (g != general_b || shape.b.parameter == shape.a.parameter) return -1;
  return shape.b.parameter;
}

enum class pin_kind {
  value,       // the parameter fixed at `value`
  lower_end,   // the limit towards the lower end of its box (b -> 0)
  upper_end,   // the limit towards the upper end of its box (a -> infinity)
  equal_to_a,  // b = a
};

struct pin {
  int parameter = general_a;  // general_a or general_b
  pin_kind kind = pin_kind::value;
  double value = 0.0;  // for pin_kind::value
};

struct nested_pair {
  int special = 0;
  int general = 0;
  std::array<pin, 2> pins{};
  int pin_count = 0;  // the general model's parameters less the special one's
  std::string how;    // the pins in words ("a -> infinity, b -> 0")
};

// Every pair of models of the catalogue where the special one is the general one with
// its extra shape parameters pinned, by general model and then special model. Read
// off the models' shapes: the special model keeps Km, Vmax and Ki; each a or b it
// fixes is pinned where the general model has it free (a value inside the general
// model's box, or a limit at its end: a -> infinity, b -> 0, b -> a), and each a or b
// it has free keeps to the general model's range. Where a is infinite, b drops out of
// the rate and need not match.
[[nodiscard]] std::vector<nested_pair> nested_pairs();

}  // namespace inhibra::models
