#include "plots/result_plots.hpp"

#include "plots/kmapp_plot.hpp"
#include "plots/mc50plot.hpp"
#include "plots/reciprocal_plots.hpp"
#include "plots/resplot.hpp"
#include "plots/xyplot.hpp"

namespace inhibra::plots {

std::string_view result_plot_name(result_plot which) {
  switch (which) {
    case result_plot::xy:
      return "xy";
    case result_plot::residuals:
      return "residuals";
    case result_plot::kmapp:
      return "kmapp";
    case result_plot::mc50:
      return "mc50";
    case result_plot::lineweaver_burk:
      return "lineweaver-burk";
    case result_plot::dixon:
      return "dixon";
  }
  return "plot";
}

std::optional<plotengine::pplot> build_result_plot(const core::fit_context& ctx, result_plot which,
                                                   const rate_function& rate,
                                                   residual_axis residuals_against) {
  switch (which) {
    case result_plot::xy:
      return xy_chart(ctx, rate);
    case result_plot::residuals:
      return residual_chart(ctx, residuals_against);
    case result_plot::kmapp:
      return kmapp_chart(ctx);
    case result_plot::mc50:
      return mc50_chart(ctx);
    case result_plot::lineweaver_burk:
      return lineweaver_burk_chart(ctx, rate);
    case result_plot::dixon:
      return dixon_chart(ctx, rate);
  }
  return std::nullopt;
}

}  // namespace inhibra::plots
