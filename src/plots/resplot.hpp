#pragma once
// The residual plot: observed minus fitted rate of every observation against its [S]
// or its fitted rate, curve by curve, with a zero line; and the rounding of an axis
// range to round limits.
#include <optional>
#include <span>
#include <string>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/aplot.hpp"
#include "plots/xyplot.hpp"

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

// What the residuals are drawn against: each row's [S], or its fitted rate (where a
// spread that grows with the rate shows best).
enum class residual_axis { substrate, fitted_rate };

// The residual chart of the curves: observed minus fitted rate of every plotted row
// against its [S] (or its fitted rate), each curve in its own colour and marker with
// its legend entry, and a zero line across the chart. The x axis runs from 0 to 1.1
// times the largest x value; the y axis is symmetric about 0, its limit scale_axis'
// upper limit for the largest residual size; automatic when every residual is 0 or
// none is finite.
[[nodiscard]] plot_handle build_residual_plot(const std::string& model_name, const xy_curves& c,
                                              residual_axis against);

// The residual plot of the fit held in the context; a pause of 500 ms first.
// Does nothing when there are no observations.
void resplot(const core::fit_context& ctx, residual_axis against = residual_axis::substrate);

// The same chart, built but not shown.
[[nodiscard]] std::optional<plotengine::pplot> residual_chart(
    const core::fit_context& ctx, residual_axis against = residual_axis::substrate);

}  // namespace inhibra::plots
