#pragma once
// The run settings as the desktop's menus and dialogs set them. The window thread's
// callbacks write them while the command thread may be fitting, so they are atomics
// here; the command thread copies them into the fit context before each command, and
// a run therefore fits with the settings in force when it started.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/capacities.hpp"
#include "core/error_model.hpp"
#include "core/run_settings.hpp"
#include "core/weighting.hpp"

namespace inhibra::shell {

// The weighting switch as the robust-weighting entries set it.
inline constexpr std::int32_t robust_on = core::switch_value(core::weighting::robust);
inline constexpr std::int32_t robust_off = core::switch_value(core::weighting::none);

struct run_choices {
  std::array<std::atomic<bool>, core::max_models> models{};  // model i ticked at [i - 1]
  std::atomic<std::int32_t> weighting_switch{0};             // a weighting's switch_value
  std::atomic<core::error_model> errors{core::error_model::equal};
  std::atomic<bool> chain_only{false};
  std::atomic<bool> fast{false};
  std::atomic<bool> replicate_means{false};

  // The settings a command fits or draws with. The table read and the rows left out
  // are the command's own, and profiles are always on in the desktop: they stay as
  // they are.
  void copy_to(core::run_settings& s) const {
    for (std::size_t k = 0; k < models.size(); ++k)
      s.selected_models[k] = models[k].load();
    s.weighting_switch = weighting_switch.load();
    s.error_switch = errors.load();
    s.chain_only = chain_only.load();
    s.fast = fast.load();
    s.replicate_means = replicate_means.load();
  }
};

}  // namespace inhibra::shell
