#pragma once
// Where to measure next: the [S] and [I] at which the best models of two families
// that are not told apart differ most, in standard deviations of a rate there.
#include <string_view>

#include "evidence/verdict.hpp"

namespace inhibra::evidence {

// The point of a grid over the measured range (and beyond it) where models a and b
// differ most, rounded to two significant digits, with the sentence that advises it;
// not available when a's fit gives no scale for the rates or the design no range.
// `first` and `second` name the two families in the sentence.
[[nodiscard]] next_measurement suggest(const model_result& a, const model_result& b,
                                       const measured_design& d, std::string_view first,
                                       std::string_view second);

}  // namespace inhibra::evidence
