#pragma once
// The --models option: "all", or numbers and ranges of 1..10 joined by commas
// ("1-4,9").
#include <array>
#include <optional>
#include <string_view>

#include "core/capacities.hpp"

namespace inhibra::cli {

using model_selection = std::array<bool, core::max_models>;  // [i] selects model i+1

// nullopt when the text is not a valid list (empty, out of 1..10, reversed range,
// stray characters).
[[nodiscard]] std::optional<model_selection> parse_model_list(std::string_view text);

}  // namespace inhibra::cli
