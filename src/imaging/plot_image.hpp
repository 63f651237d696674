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

// Pixel size of the chart font for a drawing area: 14 at 800 x 600, scaled with the
// area, never below 10 or above 40.
[[nodiscard]] int chart_font_pixels(const QRect& area);

// Draws the chart into `area` of an active painter (white background included).
// An area larger than 800 x 600 gets the 800 x 600 layout magnified. False when
// the chart has no usable axes; the area is then only cleared.
bool paint_plot(QPainter& painter, const plotengine::pplot& plot, const QRect& area);

// The chart as an image of width x height pixels.
[[nodiscard]] QImage render_plot(const plotengine::pplot& plot, int width, int height);

// The chart as the bytes of a file in the given format; nullopt without a
// QGuiApplication or for sizes below 1 pixel.
[[nodiscard]] std::optional<std::string> encode_plot(const plotengine::pplot& plot,
                                                     image_format format, int width = 800,
                                                     int height = 600);

// Writes the chart to a file in the given format, whole or not at all; true when the
// file was written. Fails without a QGuiApplication, for sizes below 1 pixel, or when
// the file cannot be written.
[[nodiscard]] bool save_plot_as(const plotengine::pplot& plot, const std::string& path,
                                image_format format, int width = 800, int height = 600);

// The same, with the format taken from the file name's extension (.png, .bmp,
// .svg, .pdf); false for any other extension.
[[nodiscard]] bool save_plot(const plotengine::pplot& plot, const std::string& path,
                             int width = 800, int height = 600);

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
