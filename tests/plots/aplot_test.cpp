#include "plots/aplot.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "plotengine/recording_painter.hpp"
#include "plots/chart_recorder.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::plots {
namespace {

using plotengine::rgb;

TEST(PlotFacility, NullHandleDoesNothing) {
  plot_handle h;
  set_title(h, "t");
  set_xlabel(h, "x");
  set_ylabel(h, "y");
  set_xscale(h, 0, 1);
  set_yscale(h, 0, 1);
  set_xautoscale(h);
  set_yautoscale(h);
  set_xlinear(h);
  set_ylinear(h);
  set_xlogarithmic(h);
  set_ylogarithmic(h, 2);
  const std::vector<double> v{1, 2};
  add_dataset(h, std::span<const double>(v), std::span<const double>(v));
  set_seriestype(h, 0, 1);
  set_serieslabel(h, 0, "a");
  set_seriescolor(h, 0, 1, 2, 3);
  testing::chart_recorder fe;
  display_plot(h, &fe);
  EXPECT_TRUE(fe.charts.empty());
  plotengine::testing::recording_painter p;
  embed_plot(h, p, {0, 0, 100, 100});
  EXPECT_TRUE(p.shapes.empty());
  int calls = 0;
  EXPECT_EQ(save_plot(
                h, [&](const auto&, const auto&) { return ++calls > 0; }, "x.bmp"),
            -1);
  EXPECT_EQ(calls, 0);
  destroy_plot(h);
  EXPECT_FALSE(h);
}

TEST(PlotFacility, TextsScalesSeriesAndTheirLooks) {
  const auto h = initialize_plot();
  set_title(h, "  Name   ");
  set_ylabel(h, "RATE\t");
  EXPECT_EQ(h->chart.title, "  Name");  // trailing blanks only
  EXPECT_EQ(h->chart.y_label, "RATE");
  set_xscale(h, 0.1, 770.0000166893005);
  EXPECT_EQ(h->chart.x_axis.maximum, 770.0f);  // stored in single precision
  set_ylogarithmic(h, 2.0);
  EXPECT_EQ(h->chart.y_axis.log_base, 2.0f);
  set_ylogarithmic(h, 0.0);  // not positive: 10
  EXPECT_EQ(h->chart.y_axis.log_base, 10.0f);

  const std::vector<double> x{1, 2, 3}, y{4, 5};
  const std::vector<float> xf{7, 8}, yf{9, 10};
  add_dataset(h, std::span<const double>(x), std::span<const double>(y));
  add_dataset(h, std::span<const float>(xf), std::span<const float>(yf));
  ASSERT_EQ(h->chart.data.size(), 2u);
  EXPECT_EQ(h->chart.data[0].x, (std::vector<float>{1, 2}));
  EXPECT_EQ(h->chart.data[1].y, (std::vector<float>{9, 10}));
  set_seriestype(h, 1, 1);
  set_seriestype(h, 0, 3);
  EXPECT_EQ(h->chart.data[1].drawer, plotengine::drawer_type::big_dot);
  EXPECT_EQ(h->chart.data[0].drawer, plotengine::drawer_type::dot);
  set_seriestype(h, 0, 5);   // no such drawer
  set_seriestype(h, 0, -1);  // no such drawer
  set_seriestype(h, 2, 1);   // no such series
  EXPECT_EQ(h->chart.data[0].drawer, plotengine::drawer_type::dot);
  set_seriestype(h, 0, series_cross);
  EXPECT_EQ(h->chart.data[0].drawer, plotengine::drawer_type::cross);
  set_serieslabel(h, 0, "[I] =0                 ");
  EXPECT_EQ(h->chart.data[0].label, "[I] =0");
  set_seriescolor(h, 1, 300, -5, 64);
  EXPECT_EQ(h->chart.data[1].color, (rgb{255, 0, 64}));
  set_seriescolor(h, -1, 1, 1, 1);
  EXPECT_EQ(h->chart.data[0].color, (rgb{0, 0, 0}));
}

TEST(PlotFacility, DisplayHandsTheChartToTheFrontEnd) {
  auto h = initialize_plot();
  set_title(h, "First");
  testing::chart_recorder fe;
  display_plot(h, nullptr);  // nobody watching
  display_plot(h, &fe, true);
  EXPECT_EQ(h->window, 1);
  // Showing it again replaces the window with one of the current chart.
  set_title(h, "Second");
  display_plot(h, &fe, true);
  EXPECT_EQ(h->window, 2);
  close_plot(h, &fe);
  EXPECT_EQ(h->window, -1);
  close_plot(h, &fe);  // nothing left to close
  ASSERT_EQ(fe.charts.size(), 2u);
  EXPECT_EQ(fe.charts[1].title, "Second");
  show_and_destroy(h, &fe);
  EXPECT_FALSE(h);
  EXPECT_EQ(fe.events,
            (std::vector<std::string>{"open", "close 1", "open", "close 2", "plot", "refresh"}));

  // Where nothing stays open (headless), the chart is shown and there is no window.
  struct headless : core::frontend {
    int shown = 0;
    void message(core::box_kind, std::string_view) override {}
    void set_title(std::string_view) override {}
    void idle(int) override {}
    void refresh() override {}
    void show_plot(const plotengine::pplot&) override { ++shown; }
  } cli;
  h = initialize_plot();
  display_plot(h, &cli, true);
  EXPECT_EQ(cli.shown, 1);
  EXPECT_EQ(h->window, -1);
}

TEST(PlotFacility, SaveReportsWhatTheFileSystemShows) {
  support::temp_dir dir;
  const auto h = initialize_plot();
  set_title(h, "Saved");
  const image_writer writes = [](const plotengine::pplot& chart, const std::string& path) {
    std::ofstream(path) << chart.title;
    return true;
  };
  const image_writer claims = [](const plotengine::pplot&, const std::string&) { return true; };
  const image_writer fails = [](const plotengine::pplot&, const std::string&) { return false; };

  EXPECT_EQ(save_plot(h, writes, dir.file("plot.bmp")), 0);
  EXPECT_EQ(support::read_file(dir.file("plot.bmp")), "Saved");
  EXPECT_EQ(save_plot(h, claims, dir.file("missing.bmp")), -1);  // nothing written
  EXPECT_EQ(save_plot(h, claims, dir.path().string()), -1);      // a folder
  EXPECT_EQ(save_plot(h, fails, dir.file("other.bmp")), -1);
  EXPECT_EQ(save_plot(h, writes, ""), -1);
  EXPECT_EQ(save_plot(h, nullptr, dir.file("x.bmp")), -1);
}

TEST(PlotFacility, EmbedDrawsIntoTheGivenRectangle) {
  const auto h = initialize_plot();
  const std::vector<double> x{0, 1};
  add_dataset(h, std::span<const double>(x), std::span<const double>(x));
  plotengine::testing::recording_painter p;
  embed_plot(h, p, {100, 50, 400, 300});
  ASSERT_FALSE(p.shapes.empty());
  EXPECT_EQ(p.shapes.front().a, 100.0f);  // the background
  EXPECT_EQ(p.shapes.front().b, 50.0f);
  for (const auto& t : p.texts) {
    EXPECT_GE(t.x, 100.0f);
    EXPECT_LE(t.x, 500.0f);
  }
}

}  // namespace
}  // namespace inhibra::plots
