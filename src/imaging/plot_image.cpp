#include "imaging/plot_image.hpp"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <cmath>

#include "data/output_file.hpp"
#include "data/partial_files.hpp"
#include "imaging/qt_painter.hpp"
#include "strings/classic_numbers.hpp"

namespace inhibra::imaging {

namespace {

constexpr double inches_per_metre = 1.0 / 0.0254;
// The smallest layout, in 1/96 inch units, that holds a chart with its titles and
// legend in text of chart_text_points.
constexpr QSize smallest_layout(320, 240);

// The chart's first title line names the vector files.
QString document_title(const plotengine::pplot& plot) {
  const auto lines = plotengine::title_lines(plot.title);
  return lines.empty() ? QStringLiteral("Inhibra plot") : QString::fromStdString(lines.front());
}

bool encode_bitmap(const plotengine::pplot& plot, QBuffer& out, const char* format, int width,
                   int height, int dpi) {
  const QImage image = render_plot(plot, width, height, dpi);
  return !image.isNull() && image.save(&out, format);
}

bool encode_svg(const plotengine::pplot& plot, QBuffer& out, int width, int height, int dpi) {
  QSvgGenerator svg;
  svg.setOutputDevice(&out);
  svg.setSize(QSize(width, height));
  svg.setViewBox(QRect(0, 0, width, height));
  svg.setResolution(dpi);  // the file's width and height are the size in millimetres
  svg.setTitle(document_title(plot));
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  paint_plot(painter, plot, QRect(0, 0, width, height));
  return painter.end();
}

bool encode_pdf(const plotengine::pplot& plot, QBuffer& out, int width, int height, int dpi) {
  QPdfWriter pdf(&out);
  pdf.setResolution(dpi);
  // One page the size of the chart at its resolution, no margins.
  const QSizeF points(width * 72.0 / dpi, height * 72.0 / dpi);
  pdf.setPageSize(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  pdf.setTitle(document_title(plot));
  pdf.setCreator(QStringLiteral("Inhibra"));
  QPainter painter;
  if (!painter.begin(&pdf)) return false;
  const QRect area = painter.viewport();
  paint_plot(painter, plot, area);
  return painter.end();
}

}  // namespace

std::optional<image_format> format_for_path(std::string_view path) {
  const auto dot = path.rfind('.');
  const auto slash = path.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return std::nullopt;
  std::string ext(path.substr(dot + 1));
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") return image_format::png;
  if (ext == "bmp") return image_format::bmp;
  if (ext == "svg") return image_format::svg;
  if (ext == "pdf") return image_format::pdf;
  return std::nullopt;
}

double chart_text_pixels(double dpi) {
  return chart_text_points * dpi / 72.0;
}

double painter_dpi(const QPainter& painter) {
  const QPaintDevice* device = painter.device();
  const double device_dpi =
      device != nullptr && device->logicalDpiX() > 0 ? device->logicalDpiX() : layout_dpi;
  // A painter that maps its coordinates onto a larger device (a print scaled to the
  // page) draws with more device pixels per unit.
  const QTransform t = painter.combinedTransform();
  const double scale = std::hypot(t.m11(), t.m12());
  return scale > 0.0 && std::isfinite(scale) ? device_dpi / scale : device_dpi;
}

bool paint_plot(QPainter& painter, const plotengine::pplot& plot, const QRect& area) {
  // The chart is laid out in 1/96 inch units and magnified to the device, so that
  // text, lines and markers keep their printed size at any resolution. A picture too
  // small for that layout (under about 3.3 x 2.5 inches) gets the smallest layout that
  // fits its text, shrunk: smaller text rather than no chart.
  double magnify = std::clamp(painter_dpi(painter) / layout_dpi, 0.05, 100.0);
  magnify = std::min({magnify, area.width() / double(smallest_layout.width()),
                      area.height() / double(smallest_layout.height())});
  if (!(magnify > 0.0)) return false;
  painter.save();
  const QRect laid_out(0, 0, static_cast<int>(std::floor(area.width() / magnify)),
                       static_cast<int>(std::floor(area.height() / magnify)));
  painter.translate(area.topLeft());
  painter.scale(magnify, magnify);
  QFont font = painter.font();
  font.setPixelSize(static_cast<int>(std::lround(chart_text_pixels(layout_dpi))));
  painter.setFont(font);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  qt_painter p(painter);
  const bool drawn = plot.draw(p, {0, 0, laid_out.width(), laid_out.height()});
  painter.restore();
  return drawn;
}

QImage render_plot(const plotengine::pplot& plot, int width, int height, int dpi) {
  if (width < 1 || height < 1 || dpi < 1 || !headless_app::available()) return {};
  QImage image(width, height, QImage::Format_RGB32);
  const int dots_per_metre = static_cast<int>(std::lround(dpi * inches_per_metre));
  image.setDotsPerMeterX(dots_per_metre);
  image.setDotsPerMeterY(dots_per_metre);
  image.fill(Qt::white);
  QPainter painter(&image);
  paint_plot(painter, plot, QRect(0, 0, width, height));
  painter.end();
  return image;
}

std::optional<std::string> encode_plot(const plotengine::pplot& plot, image_format format,
                                       int width, int height, int dpi) {
  if (width < 1 || height < 1 || dpi < 1 || !headless_app::available()) return std::nullopt;
  QBuffer buffer;
  if (!buffer.open(QIODevice::WriteOnly)) return std::nullopt;
  bool encoded = false;
  switch (format) {
    case image_format::png:
      encoded = encode_bitmap(plot, buffer, "PNG", width, height, dpi);
      break;
    case image_format::bmp:
      encoded = encode_bitmap(plot, buffer, "BMP", width, height, dpi);
      break;
    case image_format::svg:
      encoded = encode_svg(plot, buffer, width, height, dpi);
      break;
    case image_format::pdf:
      encoded = encode_pdf(plot, buffer, width, height, dpi);
      break;
  }
  buffer.close();
  if (!encoded || buffer.data().isEmpty()) return std::nullopt;
  return buffer.data().toStdString();
}

bool save_plot_as(const plotengine::pplot& plot, const std::string& path, image_format format,
                  int width, int height, int dpi) {
  if (path.empty()) return false;
  const auto bytes = encode_plot(plot, format, width, height, dpi);
  if (!bytes) return false;
  // Written whole or not at all: an earlier file stays until the new one is complete.
  data::output_file file;
  if (!file.open(path)) return false;
  file << *bytes;
  return file.commit();
}

bool save_plot(const plotengine::pplot& plot, const std::string& path, int width, int height,
               int dpi) {
  const auto format = format_for_path(path);
  return format.has_value() && save_plot_as(plot, path, *format, width, height, dpi);
}

headless_app::headless_app() {
  if (QCoreApplication::instance() != nullptr) return;
  // Without a runtime folder Qt falls back to a predictable one in the temporary
  // folder, which another local user could have prepared; a private one of our own
  // (a fresh name, mode 0700) is used instead for as long as we draw.
  // Such folders that programs killed earlier left behind (older than a day) go first;
  // a second stop signal removes ours.
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const QString temporary = QDir::tempPath();
    (void)data::remove_stale_runtime_folders(QFile::encodeName(temporary).toStdString());
    runtime_ = std::make_unique<QTemporaryDir>(
        temporary + "/" + QString::fromUtf8(data::runtime_folder_prefix) + "XXXXXX");
    if (runtime_->isValid()) {
      qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_->path()));
      runtime_slot_ = data::hold_partial(QFile::encodeName(runtime_->path()).toStdString(),
                                         data::partial_kind::folder);
    } else {
      runtime_.reset();
    }
  }
  // The platform is chosen on the application's own command line, which takes
  // precedence over QT_QPA_PLATFORM: a variable inherited from a desktop session
  // (xcb in a job without a display) must not stop a program that only draws files.
  app_ = std::make_unique<QGuiApplication>(argc_, argv_);
  // The application object has set the C library's locale from the environment; the
  // reports and tick labels written with printf keep their decimal point.
  strings::keep_numbers_classic();
}

headless_app::~headless_app() {
  app_.reset();
  data::release_partial(runtime_slot_);
  if (runtime_) qunsetenv("XDG_RUNTIME_DIR");
}

bool headless_app::available() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace inhibra::imaging
