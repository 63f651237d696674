#pragma once
// The four result plots of a fit as charts, built without being shown: for writing
// them to image files or showing them elsewhere.
#include <array>
#include <optional>
#include <string_view>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/xyplot.hpp"

namespace inhibra::plots {

enum class result_plot { xy, residuals, kmapp, mc50 };

inline constexpr std::array<result_plot, 4> all_result_plots{
    result_plot::xy, result_plot::residuals, result_plot::kmapp, result_plot::mc50};

// A short name for file names: "xy", "residuals", "kmapp", "mc50".
[[nodiscard]] std::string_view result_plot_name(result_plot which);

// The chart the desktop program's menu command shows for the fit held in the
// context, `rate` that fit's rate function (for the XY plot's model curves); empty
// when that command would show nothing.
[[nodiscard]] std::optional<plotengine::pplot> build_result_plot(const core::fit_context& ctx,
                                                                 result_plot which,
                                                                 const rate_function& rate);

}  // namespace inhibra::plots
