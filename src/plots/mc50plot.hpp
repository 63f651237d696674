#pragma once
// The MC50 plot: the modifier concentration giving half the maximal effect of the
// fitted model against [S]: the seven-level table the run leaves as points, the
// model's MC50 as a smooth curve through them.
#include <functional>
#include <optional>
#include <span>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/aplot.hpp"
#include "plots/xyplot.hpp"

namespace inhibra::plots {

// Legend text of the MC50 points.
inline constexpr std::string_view mc50_formula = "MC50 = alpha*Ki*(Km + [S]) / (alpha*Km + [S])";

// MC50 of a model at substrate s: a Ki (Km + s)/(a Km + s), a the factor of
// kmapp_factor (model 1: Ki (1 + s/Km); models 2 and 6: Ki). NaN for an unknown model.
[[nodiscard]] double mc50_at(int model, std::span<const double> variables, double s);

// MC50 as a function of [S], for the smooth curve.
using mc50_function = std::function<double(double s)>;

// The chart of plotmc50 without showing it; null unless there is exactly one
// curve. x and y are n x ncurves, column by column; the first column is drawn.
// x runs from 0.2 xmin to 1.1 xmax, y from 0.8 ymin to 1.1 ymax; an axis whose
// limits are unusable (upper limit of magnitude 1e-16 or less, not finite, or not
// above the lower one) scales from the data. With `smooth` the line is that function
// over the x axis; without it, the points joined.
[[nodiscard]] plot_handle build_mc50_plot(std::span<const double> x, std::span<const double> y,
                                          int n, int ncurves, const label_array& labels,
                                          const label_array& fitlabels, bool logflag,
                                          const mc50_function& smooth = {});

// Builds the chart and shows it through `fe`.
void plotmc50(core::frontend* fe, std::span<const double> x, std::span<const double> y, int n,
              int ncurves, const label_array& labels, const label_array& fitlabels, bool logflag,
              const mc50_function& smooth = {});

// The MC50 plot of the table held in the context.
void mc50plot(const core::fit_context& ctx);

// The same chart, built but not shown.
[[nodiscard]] std::optional<plotengine::pplot> mc50_chart(const core::fit_context& ctx);

}  // namespace inhibra::plots
