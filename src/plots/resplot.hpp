#pragma once
// The residual plot: fitted minus measured rate of every observation against its
// number, with a zero line; and the rounding of an axis range to round limits.
#include <optional>
#include <span>
#include <string>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/aplot.hpp"

namespace inhibra::plots {

// Round axis limits for the n values of y (double precision): the range is taken
// on the side of its sign (mirrored when the largest value is negative), its lower
// end moved towards 0 by a power of two of its span, and both ends rounded to a
// tick of 1, 2 or 5 times a power of ten times a power of two. NaN values are
// passed over. False, with ymin, ymax and tick untouched, when the rule has no
// finite result (no values, infinite values, a largest value of exactly 0 that the
// rule replaces by -1e8): the caller then scales the axis from the data.
[[nodiscard]] bool scale_axis(int n, std::span<const double> y, double& ymin, double& ymax,
                              double& tick);

// The chart of plot_residuals without showing it. The y axis runs from -1.05 U to
// U, U the upper limit scale_axis gives the residuals, and further down when a
// residual lies below that; automatic when scale_axis has no limit or the largest
// residual is exactly 0.
[[nodiscard]] plot_handle build_residual_plot(const std::string& model_name,
                                              std::span<const double> x, std::span<const double> r,
                                              int n);

// Builds the chart and shows it through the context's front end.
void plot_residuals(const core::fit_context& ctx, std::span<const double> x,
                    std::span<const double> r, int n);

// The residual plot of the fit held in the context; a pause of 500 ms first.
// Does nothing when there are no observations.
void resplot(const core::fit_context& ctx);

// The same chart, built but not shown.
[[nodiscard]] std::optional<plotengine::pplot> residual_chart(const core::fit_context& ctx);

}  // namespace inhibra::plots
