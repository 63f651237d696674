#pragma once
// The Lineweaver-Burk and Dixon views of a global fit, for readers who check a
// mechanism against them: the measured rates transformed (1/v against 1/[S] per
// curve of equal [I]; 1/v against [I] per level of [S]) and, over them, lines
// computed from the fitted model's rate function. The lines are never fitted in the
// transformed space, where the errors of the rates are distorted; the chart says so.
#include <optional>
#include <string>
#include <string_view>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/aplot.hpp"
#include "plots/xyplot.hpp"

namespace inhibra::plots {

// The note line under the title of both charts.
inline constexpr std::string_view reciprocal_note =
    "Lines: the global nonlinear fit, not a fit to 1/v";

// Points of each line.
inline constexpr int reciprocal_line_points = 200;

// The Lineweaver-Burk chart: per curve, 1/v against 1/[S] for its rows with [S] > 0
// and v > 0 as markers of the curve's colour and shape (legend "[I] = ..."), and the
// line 1/rate(1/x, [I]) at reciprocal_line_points values of x evenly spaced up to 1.1
// times the largest 1/[S] (the first above 0). Points where the rate is not positive
// and finite are left out of a line. Null without curves or without a usable row.
[[nodiscard]] plot_handle build_lineweaver_burk_plot(const std::string& model_name,
                                                     const xy_curves& c, const rate_function& rate);

// The levels of [S] of a Dixon chart: rows whose [S] agree within 1e-6 relative form
// a level; the levels measured at two or more [I] count, at most 10, from the
// smallest [S] up.
struct substrate_level {
  double substrate = 0.0;
  std::vector<double> inhibitor;  // of the level's rows with v > 0
  std::vector<double> rate;
};
[[nodiscard]] std::vector<substrate_level> substrate_levels(const xy_curves& c);

// The Dixon chart: per level of [S], 1/v against [I] as markers (legend "[S] = ..."),
// and the line 1/rate([S], x) from [I] = 0 to 1.1 times the largest [I]. Null when
// no level has two [I].
[[nodiscard]] plot_handle build_dixon_plot(const std::string& model_name, const xy_curves& c,
                                           const rate_function& rate);

// The charts of the fit held in the context, built but not shown.
[[nodiscard]] std::optional<plotengine::pplot> lineweaver_burk_chart(const core::fit_context& ctx,
                                                                     const rate_function& rate);
[[nodiscard]] std::optional<plotengine::pplot> dixon_chart(const core::fit_context& ctx,
                                                           const rate_function& rate);

// "[S] = " and the shortest text of the single-precision value.
[[nodiscard]] std::string substrate_label(double substrate);

}  // namespace inhibra::plots
