#pragma once
// The Kmapp plot ("Ca/Sp"): the apparent Michaelis constant of the fitted model
// against [I] at a constant ratio [S]/[I] = 5, beside each curve's own apparent Km.
// A falling curve points to mainly catalytic, a rising one to mainly specific
// inhibition.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/aplot.hpp"
#include "plots/xyplot.hpp"

namespace inhibra::plots {

inline constexpr int kmapp_points = 100;

// The factor a of Kmapp = Km (1 + [I]/Ki) / (1 + [I]/(a Ki)) for a model: very large
// (4.5e15) for model 1, 1 for models 2 and 6, else P4 of the parameters. False for
// a model number outside 1..10.
[[nodiscard]] bool kmapp_factor(int model, std::span<const double> variables, double& a);

// The 100 points of the curve for the parameters (Km, Vmax, Ki, a, b): [I] from
// Km/25 to 4 Km in steps of Km/25. False (nothing written) for an unknown model.
[[nodiscard]] bool kmapp_curve(int model, std::span<const double> variables,
                               std::vector<double>& inhibitor, std::vector<double>& kmapp);

// Legend texts of the chart's line and points.
inline constexpr std::string_view kmapp_model_label = "global fit";
inline constexpr std::string_view kmapp_curves_label = "each curve fitted alone";

// Km,app of the model at `inhibitor`: Km (1 + [I]/Ki) / (1 + [I]/(a Ki)). NaN for an
// unknown model.
[[nodiscard]] double kmapp_at(int model, std::span<const double> variables, double inhibitor);

// The apparent Km of one curve fitted alone, v = V [S]/(K + [S]) by least squares
// (rows with [S] > 0 and a finite rate). False when fewer than three rows are usable or
// the best K lies at an end of the range searched (1/1000 of the smallest to 1000
// times the largest [S]): the curve then does not determine it.
[[nodiscard]] bool apparent_km(std::span<const double> substrate, std::span<const double> rate,
                               double& km);

// The chart: the model's Km,app as a smooth line over [I] from 0 to the larger of
// 4 Km and 1.1 times the largest [I] of the curves, and the apparent Km of each curve
// with [I] > 0 fitted alone (and of the curve without inhibitor) as a point at its
// [I], in the curve's colour and marker. Null for an unknown model.
[[nodiscard]] plot_handle build_kmapp_plot(const std::string& model_name, int model,
                                           std::span<const double> variables,
                                           const xy_curves& curves);

// The curve of the fitted linear model (1..4), then a 500 ms pause; no plot for
// another model.
void lin_kmapp_i_plot(const core::fit_context& ctx);
// A 500 ms pause, then the curve of the fitted hyperbolic model (5..10); no plot
// for another model.
void hyper_kmapp_i_plot(const core::fit_context& ctx);

// The chart the menu command shows for the context's model (linear up to model 4,
// hyperbolic above), built but not shown; empty when the model has no curve.
[[nodiscard]] std::optional<plotengine::pplot> kmapp_chart(const core::fit_context& ctx);

}  // namespace inhibra::plots
