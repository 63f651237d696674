#pragma once
// The Kmapp plot ("Ca/Sp"): the apparent Michaelis constant of the fitted model
// against [I] at a constant ratio [S]/[I] = 5. A falling curve points to mainly
// catalytic, a rising one to mainly specific inhibition.
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/fit_context.hpp"
#include "plotengine/pplot.hpp"
#include "plots/aplot.hpp"

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

// The chart of plot_kmapp_vs_i without showing it. Both axes scale from the data;
// a constant Kmapp gets a range around its value from the chart's own widening.
[[nodiscard]] plot_handle build_kmapp_plot(const std::string& model_name,
                                           std::span<const double> inhibitor,
                                           std::span<const double> kmapp, int n);

// Builds the chart and shows it through the context's front end.
void plot_kmapp_vs_i(const core::fit_context& ctx, std::span<const double> inhibitor,
                     std::span<const double> kmapp, int n);

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
