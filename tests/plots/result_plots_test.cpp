#include "plots/result_plots.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/example_fit.hpp"

namespace inhibra::plots {
namespace {

TEST(ResultPlots, EachPlotOfAFinishedRun) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const std::string titles[] = {"", "Residuals Plot", "Catalytic Down", ""};
  const std::size_t series[] = {8, 2, 2, 2};
  std::set<std::string_view> names;
  for (std::size_t k = 0; k < all_result_plots.size(); ++k) {
    const auto which = all_result_plots[k];
    names.insert(result_plot_name(which));
    const auto chart = build_result_plot(ctx, which, models::held_model_rate(ctx));
    ASSERT_TRUE(chart.has_value()) << result_plot_name(which);
    EXPECT_EQ(chart->data.size(), series[k]);
    EXPECT_EQ(chart->title.rfind("4- Linear Mixed", 0), 0u);
    EXPECT_NE(chart->title.find(titles[k]), std::string::npos);
  }
  EXPECT_EQ(names, (std::set<std::string_view>{"xy", "residuals", "kmapp", "mc50"}));
}

TEST(ResultPlots, NothingAfterAnEmptyRun) {
  core::fit_context ctx;  // as at program start
  EXPECT_FALSE(build_result_plot(ctx, result_plot::xy, models::held_model_rate(ctx)).has_value());
  EXPECT_FALSE(build_result_plot(ctx, result_plot::residuals, {}).has_value());
  EXPECT_FALSE(build_result_plot(ctx, result_plot::kmapp, {}).has_value());  // model 0
  // The MC50 table is all zeros: a chart with automatic axes, as the menu shows it.
  const auto mc50 = build_result_plot(ctx, result_plot::mc50, {});
  ASSERT_TRUE(mc50.has_value());
  EXPECT_TRUE(mc50->x_axis.auto_maximum);
}

}  // namespace
}  // namespace inhibra::plots
