#pragma once
// The result plots of a fit as charts, built without being shown: for writing them
// to image files or showing them elsewhere. The first four are the desktop program's
// plot commands; the Lineweaver-Burk and Dixon views are drawn from the same fit.
#include <array>
#include <optional>
#include <string_view>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/resplot.hpp"
#include "plots/xyplot.hpp"

namespace inhibra::plots {

enum class result_plot { xy, residuals, kmapp, mc50, lineweaver_burk, dixon };

inline constexpr std::array<result_plot, 6> all_result_plots{
    result_plot::xy,   result_plot::residuals,       result_plot::kmapp,
    result_plot::mc50, result_plot::lineweaver_burk, result_plot::dixon};

// A short name for file names: "xy", "residuals", "kmapp", "mc50", "lineweaver-burk",
// "dixon".
[[nodiscard]] std::string_view result_plot_name(result_plot which);

// The chart of `which` for the fit held in the context, `rate` that fit's rate
// function (for the model's lines); empty when there is nothing to show. The
// residuals are drawn against `residuals_against`.
[[nodiscard]] std::optional<plotengine::pplot> build_result_plot(
    const core::fit_context& ctx, result_plot which, const rate_function& rate,
    residual_axis residuals_against = residual_axis::substrate);

}  // namespace inhibra::plots
