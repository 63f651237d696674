#pragma once
// The seam between a run and the person watching it. The desktop program shows
// boxes and windows, inhibra-fit writes lines and image files, tests record.
// Nothing here knows a windowing toolkit.
#include <string_view>

namespace inhibra::plotengine {
class pplot;
}

namespace inhibra::core {

// Message box kinds by their type codes; any other code is a plain box.
enum class box_kind : int { plain = 0, information = 1, warning = 2, error = 3 };

// The title every box of a kind carries.
[[nodiscard]] constexpr std::string_view box_title(box_kind kind) {
  switch (kind) {
    case box_kind::information:
      return "Information";
    case box_kind::warning:
      return "Warning";
    case box_kind::error:
      return "Error";
    case box_kind::plain:
      break;
  }
  return "Message";
}

// Maps a numeric type code (1, 2, 3, anything else) to its box kind.
[[nodiscard]] constexpr box_kind box_kind_of(int type_code) {
  switch (type_code) {
    case 1:
      return box_kind::information;
    case 2:
      return box_kind::warning;
    case 3:
      return box_kind::error;
    default:
      return box_kind::plain;
  }
}

// Multi-line box texts join their lines with this.
inline constexpr std::string_view box_line_break = "\r\n";

struct frontend {
  virtual ~frontend() = default;
  // A modal message box; returns when the person has dismissed it.
  virtual void message(box_kind kind, std::string_view text) = 0;
  // The main window's title.
  virtual void set_title(std::string_view text) = 0;
  // A pause that lets the person follow the run; skipped where nobody watches.
  virtual void idle(int milliseconds) = 0;
  // Repaint what is shown.
  virtual void refresh() = 0;
  // Shows a finished chart; in the desktop program this returns once its window is closed.
  virtual void show_plot(const plotengine::pplot& plot) = 0;
  // Shows a chart and returns once it is up, leaving its window open; the handle is
  // for close_plot. Where nothing stays open (a headless run writes the chart and is
  // done with it) the chart is shown as by show_plot and the handle is -1.
  virtual int show_plot_async(const plotengine::pplot& plot) {
    show_plot(plot);
    return -1;
  }
  // Closes a window that show_plot_async opened; other handles are ignored.
  virtual void close_plot(int /*handle*/) {}
  // The run is about to fit model `model`, the `done`-th of `total` finished so far.
  virtual void progress(int /*model*/, int /*done*/, int /*total*/) {}
};

}  // namespace inhibra::core
