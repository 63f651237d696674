#pragma once
// Charts drawn with Qt: into a window's painter, into an image in memory, or into a
// PNG, BMP, SVG or PDF file. Text needs a QGuiApplication; headless programs keep a
// headless_app alive while they draw.
#include <QImage>
#include <QPainter>
#include <QRect>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "plotengine/pplot.hpp"

class QGuiApplication;
class QTemporaryDir;

namespace inhibra::imaging {

enum class image_format { png, bmp, svg, pdf };

// The format a file name asks for by its extension (any case); empty for others.
[[nodiscard]] std::optional<image_format> format_for_path(std::string_view path);

// The chart's text is set in points, so that it prints at the same size whatever
// the picture's size and resolution: 9 pt, the size journals ask of figure text.
inline constexpr double chart_text_points = 9.0;
// Charts are laid out in units of 1/96 inch (a pixel of a common screen): a device
// of another resolution draws the same layout magnified, lines and markers included.
inline constexpr double layout_dpi = 96.0;
// The resolution files and images get unless told otherwise.
inline constexpr int default_dpi = 96;

// Height in device pixels of the chart's text on a device of `dpi`.
[[nodiscard]] double chart_text_pixels(double dpi);

// The resolution a painter draws at, in device pixels per inch of its coordinates:
// the device's resolution divided by the painter's own scaling. 96 for a device that
// reports none.
[[nodiscard]] double painter_dpi(const QPainter& painter);

// Draws the chart into `area` of an active painter (white background included), laid
// out for the painter's resolution: its text is chart_text_points high on the device.
// An area smaller than about 3.3 x 2.5 inches is drawn as the smallest layout that
// fits, shrunk (its text is then smaller). False when the chart has no usable axes;
// the area is then only cleared.
bool paint_plot(QPainter& painter, const plotengine::pplot& plot, const QRect& area);

// The chart as an image of width x height pixels at `dpi` (stored in the image).
[[nodiscard]] QImage render_plot(const plotengine::pplot& plot, int width, int height,
                                 int dpi = default_dpi);

// The chart as the bytes of a file in the given format: width x height pixels at
// `dpi`, so a physical size of width/dpi x height/dpi inches (the page of a PDF, the
// width and height of an SVG). Nullopt without a QGuiApplication, for sizes below 1
// pixel or a resolution below 1.
[[nodiscard]] std::optional<std::string> encode_plot(const plotengine::pplot& plot,
                                                     image_format format, int width = 800,
                                                     int height = 600, int dpi = default_dpi);

// Writes the chart to a file in the given format, whole or not at all; true when the
// file was written. Fails without a QGuiApplication, for sizes below 1 pixel, or when
// the file cannot be written.
[[nodiscard]] bool save_plot_as(const plotengine::pplot& plot, const std::string& path,
                                image_format format, int width = 800, int height = 600,
                                int dpi = default_dpi);

// The same, with the format taken from the file name's extension (.png, .bmp,
// .svg, .pdf); false for any other extension.
[[nodiscard]] bool save_plot(const plotengine::pplot& plot, const std::string& path,
                             int width = 800, int height = 600, int dpi = default_dpi);

// Makes drawing possible in a program without a window: creates a QGuiApplication
// on the offscreen platform unless one exists, whatever QT_QPA_PLATFORM says. Where
// no runtime folder is set, a private one is made for the time of drawing (and those
// of the same user that programs killed more than a day before left in the temporary
// folder are removed). Keep it alive while drawing; it removes only what it created.
class headless_app {
 public:
  headless_app();
  ~headless_app();
  headless_app(const headless_app&) = delete;
  headless_app& operator=(const headless_app&) = delete;

  // True when a QGuiApplication exists (made here or before).
  [[nodiscard]] static bool available();

 private:
  int argc_ = 3;
  char name_[8] = "inhibra";
  char platform_option_[10] = "-platform";
  char platform_[10] = "offscreen";
  char* argv_[4] = {name_, platform_option_, platform_, nullptr};
  std::unique_ptr<QTemporaryDir> runtime_;  // private runtime folder, when none was set
  int runtime_slot_ = -1;                   // of runtime_, among the names a stop clears
  std::unique_ptr<QGuiApplication> app_;
};

}  // namespace inhibra::imaging
