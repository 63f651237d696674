#pragma once
// How the rows of a fit are weighted. The enumerators keep the codes of the
// weighting switch (0 off, 2 robust), so that settings and records read as they did;
// the error model (core/error_model.hpp) weights the refinement beside this.
#include <cstdint>
#include <optional>

namespace inhibra::core {

enum class weighting : std::int32_t {
  none = 0,         // every row counts alike
  fitted_rate = 1,  // the reported sums divide each squared residual by the fitted
                    // rate; the objective weights none (no front end sets it)
  robust = 2,       // robust weights from the residuals at the point
};

// The switch value that stands for a weighting, as the front ends store it.
[[nodiscard]] constexpr std::int32_t switch_value(weighting w) {
  return static_cast<std::int32_t>(w);
}

// The weighting a switch value stands for; nothing for a value that is no
// weighting's code.
[[nodiscard]] constexpr std::optional<weighting> switched_weighting(std::int32_t value) {
  for (const weighting w : {weighting::none, weighting::fitted_rate, weighting::robust}) {
    if (switch_value(w) == value) return w;
  }
  return std::nullopt;
}

}  // namespace inhibra::core
