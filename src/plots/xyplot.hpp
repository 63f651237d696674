#pragma once
// The XY plot of a fit: rate against [S], one curve per [I], the measured rates as
// big dots and the model's rate as a smooth curve across the [S] axis.
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/aplot.hpp"
#include "plots/figure_style.hpp"

namespace inhibra::plots {

// Label arrays of the plots: entry 0 the title, entries 1..20 per series.
using label_array = std::array<std::string, 2 * core::max_curves + 1>;

// The fitted model's rate at substrate s and inhibitor i (the plots cannot reach the
// model library; the caller hands its rate function over).
using rate_function = std::function<double(double s, double i)>;

// The legend entry of the flagged rows' marker.
inline constexpr std::string_view flagged_rows_label = "flagged rows (see the results table)";

// Points of each model curve: evenly spaced from [S] = 0 to the axis' right end.
inline constexpr int curve_points = 200;

// The observations grouped into curves of equal [I] for plotting.
struct xy_curves {
  int ncurves = 0;                                   // at most 10
  int maxn = 0;                                      // rows of the longest curve
  std::array<int, core::max_curves> n{};             // rows of curve k (index k-1)
  std::array<double, core::max_curves> inhibitor{};  // [I] of the last row of curve k
  // maxn x ncurves, column by column: column k holds curve k's rows in file order.
  std::vector<double> xd;  // [S]
  std::vector<double> yd;  // measured rates
  std::vector<double> yf;  // fitted rates
  // [S] and measured rate of the plotted rows named in the context's flagged_rows.
  std::vector<double> flagged_x;
  std::vector<double> flagged_y;
};

// Walks the rows in file order: a new curve starts where [I] differs from the
// first [I] of the current curve by more than 1e-7. At most 10 curves; rows after
// the tenth are left out, and never more than 1000 rows are read. The flagged rows
// among those plotted are collected as well.
[[nodiscard]] xy_curves group_curves(const core::fit_context& ctx);

// "[I] = " followed by the shortest text that reads back as the same
// single-precision value, left-adjusted in 50 characters (with_units adds the unit).
[[nodiscard]] std::string inhibitor_label(double inhibitor);

// The model curve of one [I] at curve_points values of [S] from 0 to s_end, evenly
// spaced: x the [S] values, y rate(s, inhibitor). A rate that is not a finite
// number is left out, so that the line only joins points the model gives.
struct model_curve {
  std::vector<double> x;
  std::vector<double> y;
};
[[nodiscard]] model_curve sample_model_curve(const rate_function& rate, double inhibitor,
                                             double s_end);

// How the rate plot shows rows that repeat the same [S] within a curve (replicates):
// each as a dot of its own, or as the mean of the replicates with an error bar of
// their standard deviation.
enum class replicate_display { points, mean_sd };

// The legend's note on curves drawn as means.
inline constexpr std::string_view mean_sd_note = ", mean \u00b1 SD";

// The measured rates of one curve summarised per [S]: each distinct [S] (exactly
// equal values, as the lack-of-fit test groups replicates) in the order it first
// appears, with the mean of its rates and their sample standard deviation (n - 1;
// NaN for a single rate).
struct replicate_summary {
  std::vector<double> substrate;
  std::vector<double> mean;
  std::vector<double> sd;
  std::vector<int> count;
};
[[nodiscard]] replicate_summary summarise_replicates(std::span<const double> substrate,
                                                     std::span<const double> rate);

// The chart of `plot` without showing it; null when there is nothing to draw.
// Each curve's measured rates are markers of its own colour and shape and `rate` is
// drawn as a line of that colour across the [S] axis; flagged rows get a black X over their dot and
// a legend entry (flagged_rows_label). Writes the legend labels of the curves into
// labels(1..ncurves). With replicate_display::mean_sd the dots are the means of
// each [S] and every [S] measured two or more times gets a vertical bar from
// mean - SD to mean + SD in the curve's colour (after the other series, without a
// legend entry); the curves' legend entries then end in mean_sd_note, and the model
// lines are unchanged.
[[nodiscard]] plot_handle build_xy_plot(const xy_curves& c, label_array& labels,
                                        const label_array& fitlabels, bool logflag,
                                        const rate_function& rate,
                                        replicate_display replicates = replicate_display::points);

// Builds the chart and shows it through `fe`, then tidies up.
void plot(core::frontend* fe, const xy_curves& c, label_array& labels, const label_array& fitlabels,
          bool logflag, const rate_function& rate);

// The XY plot of the fit held in the context (the best model after a run), with
// `rate` that fit's rate function; does nothing when there are no curves. The
// replicates are shown as ctx.replicate_means says.
void xyplot(const core::fit_context& ctx, const rate_function& rate);

// The same chart, built but not shown; empty when there are no curves.
[[nodiscard]] std::optional<plotengine::pplot> xy_chart(const core::fit_context& ctx,
                                                        const rate_function& rate);

// Rows of the context that the plots read: idat within 0..1000.
[[nodiscard]] int plotted_rows(const core::observations& ctx);

// A fixed axis limit pair is used when its upper limit is finite, larger in
// magnitude than 1e-16 (single precision) and above the lower limit; otherwise
// the axis is scaled from the data.
[[nodiscard]] bool usable_limits(double lower, double upper);

}  // namespace inhibra::plots
