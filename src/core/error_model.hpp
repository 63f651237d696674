#pragma once
// How the size of a rate's error depends on the rate: the error model of a fit.
// Equal weights assume one error size for every rate; relative weights an error
// proportional to the rate (a constant coefficient of variation, weights 1/v^2);
// Poisson weights a variance proportional to the rate (weights 1/v). v is the
// fitted rate, never the measured one: weights from noisy data bias the fit.
#include <cstdint>
#include <optional>
#include <string_view>

namespace inhibra::core {

enum class error_model : std::uint8_t { equal, relative, poisson };

// A fitted rate below this fraction of the root mean square rate counts as that
// fraction in the error model's weights (and in the check of the scatter's trend), so
// a rate fitted near 0 cannot take an unbounded weight.
inline constexpr double smallest_weighted_rate = 1e-6;

// The name in options, settings and the JSON: "equal", "relative", "poisson".
[[nodiscard]] constexpr std::string_view error_model_name(error_model e) {
  switch (e) {
    case error_model::relative:
      return "relative";
    case error_model::poisson:
      return "poisson";
    case error_model::equal:
      break;
  }
  return "equal";
}

// The error model a name stands for; nothing for an unknown name.
[[nodiscard]] constexpr std::optional<error_model> error_model_named(std::string_view name) {
  for (const error_model e : {error_model::equal, error_model::relative, error_model::poisson}) {
    if (error_model_name(e) == name) return e;
  }
  return std::nullopt;
}

}  // namespace inhibra::core
