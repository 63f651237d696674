#pragma once
// The plotting facility the result plots are built with: a plot object is
// initialised, given a title, axis titles, axis scaling and data series (each with a
// drawer, a legend label and a colour), shown through the front end and destroyed.
// Every operation takes the plot handle first and does nothing on a null handle.
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/frontend.hpp"
#include "plotengine/pplot.hpp"

namespace inhibra::plots {

// Drawer types of set_seriestype.
inline constexpr int series_line = 0;     // points joined by a line
inline constexpr int series_big_dot = 1;  // a large dot at each point
inline constexpr int series_bar = 2;      // bars
inline constexpr int series_dot = 3;      // a small dot at each point
inline constexpr int series_cross = 4;    // a large X at each point

// One plot object: the chart it builds.
struct plot_object {
  plotengine::pplot chart;
  int window = -1;  // the window left open by an asynchronous display, -1 for none
};

// Owns its plot object; null after destroy_plot.
using plot_handle = std::unique_ptr<plot_object>;

// A new empty plot: both axes linear and scaled automatically.
[[nodiscard]] plot_handle initialize_plot();

// Texts are passed on without trailing blanks. A title may have several lines
// separated by CR LF.
void set_title(const plot_handle& h, std::string_view text);
void set_xlabel(const plot_handle& h, std::string_view text);
void set_ylabel(const plot_handle& h, std::string_view text);

// Fixed axis range (stored in single precision).
void set_xscale(const plot_handle& h, double minimum, double maximum);
void set_yscale(const plot_handle& h, double minimum, double maximum);
// Axis range from the data.
void set_xautoscale(const plot_handle& h);
void set_yautoscale(const plot_handle& h);
void set_xlinear(const plot_handle& h);
void set_ylinear(const plot_handle& h);
// Logarithmic axis; a base that is not positive means 10.
void set_xlogarithmic(const plot_handle& h, double base = 10.0);
void set_ylogarithmic(const plot_handle& h, double base = 10.0);

// Appends a series of min(x.size(), y.size()) points, stored in single precision.
// Series are numbered from 0 in the order they are added.
void add_dataset(const plot_handle& h, std::span<const double> x, std::span<const double> y);
void add_dataset(const plot_handle& h, std::span<const float> x, std::span<const float> y);
// Drawer of a series (series_line ... series_cross); unknown series or types are ignored.
void set_seriestype(const plot_handle& h, int series, int type);
void set_serieslabel(const plot_handle& h, int series, std::string_view text);
// Colour of a series, each part clamped to 0..255.
void set_seriescolor(const plot_handle& h, int series, int red, int green, int blue);
// Shape of a series' big dots; unknown series are ignored.
void set_seriesmarker(const plot_handle& h, int series, plotengine::marker_shape shape);
// Appends a series of the given drawer and colour without a legend entry (the
// pattern of the single-curve plots: the points as big dots, then a line).
void add_unlabelled_series(const plot_handle& h, std::span<const double> x,
                           std::span<const double> y, int type, plotengine::rgb color);

// Shows the plot through the front end. Without `asynchronous` this returns, in the
// desktop program, once the person has closed the plot window; with it, it returns
// once the window is up and leaves it open (showing the plot again replaces that
// window with one of the current chart). Nothing happens without a front end.
void display_plot(const plot_handle& h, core::frontend* fe, bool asynchronous = false);
// Closes the window an asynchronous display left open, if any.
void close_plot(const plot_handle& h, core::frontend* fe);

// Writes an image of a chart to a file; true on success.
using image_writer = std::function<bool(const plotengine::pplot& chart, const std::string& path)>;
// Writes the plot's image through `write` (the desktop passes its bitmap writer).
// 0 on success; -1 for a null handle, an empty name, a failed write, or a path that
// afterwards is a folder or does not exist.
[[nodiscard]] int save_plot(const plot_handle& h, const image_writer& write,
                            const std::string& file_name);

// Draws the plot into a rectangle of another painter's surface.
void embed_plot(const plot_handle& h, plotengine::painter& target, const plotengine::prect& area);

// Frees the plot object; the handle becomes null.
void destroy_plot(plot_handle& h);

// The end of every result plot: show it, free it and let the main window repaint.
void show_and_destroy(plot_handle& h, core::frontend* fe);

}  // namespace inhibra::plots
