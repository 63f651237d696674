#pragma once
// The MC50 plot: the modifier concentration giving half the maximal effect of the
// fitted model against [S], from the seven-level table the run leaves.
#include <optional>
#include <span>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/aplot.hpp"
#include "plots/xyplot.hpp"

namespace inhibra::plots {

// Legend text of the MC50 points.
inline constexpr std::string_view mc50_formula = "MC50 = alpha*Ki*(Km + [S]) / (alpha*Km + [S])";

// The chart of plotmc50 without showing it; null unless there is exactly one
// curve. x and y are n x ncurves, column by column; the first column is drawn.
// x runs from 0.2 xmin to 1.1 xmax, y from 0.8 ymin to 1.1 ymax; an axis whose
// limits are unusable (upper limit of magnitude 1e-16 or less, not finite, or not
// above the lower one) scales from the data.
[[nodiscard]] plot_handle build_mc50_plot(std::span<const double> x, std::span<const double> y,
                                          int n, int ncurves, const label_array& labels,
                                          const label_array& fitlabels, bool logflag);

// Builds the chart and shows it through `fe`.
void plotmc50(core::frontend* fe, std::span<const double> x, std::span<const double> y, int n,
              int ncurves, const label_array& labels, const label_array& fitlabels, bool logflag);

// The MC50 plot of the table held in the context.
void mc50plot(const core::fit_context& ctx);

// The same chart, built but not shown.
[[nodiscard]] std::optional<plotengine::pplot> mc50_chart(const core::fit_context& ctx);

}  // namespace inhibra::plots
