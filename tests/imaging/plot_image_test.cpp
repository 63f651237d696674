#include "imaging/plot_image.hpp"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRegularExpression>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "imaging/qt_painter.hpp"
#include "plots/result_plots.hpp"
#include "plots/xyplot.hpp"
#include "support/example_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::imaging {
namespace {

// Drawing text needs a QGuiApplication for the whole test program.
class qt_environment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<headless_app>(); }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<headless_app> app_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new qt_environment);

bool has_colour(const QImage& image, QRgb colour) {
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0xffffff) == (colour & 0xffffff)) return true;
  }
  return false;
}

int non_white(const QImage& image, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if ((image.pixel(x, y) & 0xffffff) != 0xffffff) ++n;
  return n;
}

// The bounding box of the dark pixels (text) of an image.
QRect ink(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
  return box;
}

std::string head(const std::string& path, std::size_t n) {
  return support::read_file(path).substr(0, n);
}

TEST(PlotImage, FormatFromTheExtension) {
  EXPECT_EQ(format_for_path("a.png"), image_format::png);
  EXPECT_EQ(format_for_path("dir/A.PNG"), image_format::png);
  EXPECT_EQ(format_for_path("x.Bmp"), image_format::bmp);
  EXPECT_EQ(format_for_path("y.svg"), image_format::svg);
  EXPECT_EQ(format_for_path("z.pdf"), image_format::pdf);
  EXPECT_FALSE(format_for_path("plot").has_value());
  EXPECT_FALSE(format_for_path("x.jpg").has_value());
  EXPECT_FALSE(format_for_path("dir.png/plot").has_value());
}

// The size in points of every text an SVG file draws: each group's font size times
// the scale of its transform, at `dpi` user units per inch.
std::vector<double> svg_text_points(const std::string& svg, double dpi) {
  std::vector<double> points;
  static const QRegularExpression matrix(
      QStringLiteral(R"(transform="matrix\(([-0-9.e]+),([-0-9.e]+),)"));
  static const QRegularExpression size(QStringLiteral(R"re(font-size="([0-9.]+)")re"));
  // Each group: its attributes up to '>', its content up to the next "</g>".
  for (auto at = svg.find("<g "); at != std::string::npos; at = svg.find("<g ", at + 1)) {
    const auto open_end = svg.find('>', at);
    const auto close = svg.find("</g>", at);
    if (open_end == std::string::npos || close == std::string::npos) break;
    if (svg.substr(open_end, close - open_end).find("<text") == std::string::npos) continue;
    const QString attributes = QString::fromStdString(svg.substr(at, open_end - at));
    const auto m = matrix.match(attributes);
    const auto f = size.match(attributes);
    if (!m.hasMatch() || !f.hasMatch()) continue;
    const double scale = std::hypot(m.captured(1).toDouble(), m.captured(2).toDouble());
    points.push_back(f.captured(1).toDouble() * scale / dpi * 72.0);
  }
  return points;
}

double svg_length_mm(const std::string& svg, const char* attribute) {
  const auto found =
      QRegularExpression(QString::fromLatin1(attribute) + QStringLiteral(R"(="([0-9.]+)mm")"))
          .match(QString::fromStdString(svg));
  return found.hasMatch() ? found.captured(1).toDouble() : -1.0;
}

TEST(PlotImage, TextHeightIsInPoints) {
  EXPECT_DOUBLE_EQ(chart_text_pixels(72.0), chart_text_points);
  EXPECT_DOUBLE_EQ(chart_text_pixels(300.0), 37.5);  // 9 pt at 300 dpi
  EXPECT_DOUBLE_EQ(chart_text_pixels(96.0), 12.0);
}

// At any size and resolution every text of every chart is 9 pt, and the files have
// the physical size asked for: what a journal's figure needs.
TEST(PlotImage, TextKeepsItsSizeAndFilesTheirPhysicalSize) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const struct {
    double inches;
    int dpi;
    double smallest_text;  // below about 3.3 inches the chart shrinks to fit
  } sizes[] = {{3.5, 300, 9.0}, {7.0, 600, 9.0}, {800.0 / 96.0, 96, 9.0}, {2.0, 150, 5.0}};
  for (const auto which : plots::all_result_plots) {
    const auto chart = plots::build_result_plot(ctx, which, models::held_model_rate(ctx));
    ASSERT_TRUE(chart.has_value());
    for (const auto& size : sizes) {
      SCOPED_TRACE(std::string(plots::result_plot_name(which)) + " " + std::to_string(size.inches) +
                   " in " + std::to_string(size.dpi) + " dpi");
      const int width = static_cast<int>(std::lround(size.inches * size.dpi));
      const int height = width * 3 / 4;
      const auto svg = encode_plot(*chart, image_format::svg, width, height, size.dpi);
      ASSERT_TRUE(svg.has_value());
      EXPECT_NEAR(svg_length_mm(*svg, "width"), size.inches * 25.4, 0.01);
      EXPECT_NEAR(svg_length_mm(*svg, "height"), height * 25.4 / size.dpi, 0.01);
      const auto points = svg_text_points(*svg, size.dpi);
      ASSERT_GE(points.size(), 2u);  // groups of texts: the upright and the turned ones
      for (const double pt : points) {
        EXPECT_GE(pt, size.smallest_text - 0.01);
        EXPECT_LE(pt, 9.01);
      }
    }
  }
  const auto chart =
      plots::build_result_plot(ctx, plots::result_plot::xy, models::held_model_rate(ctx));
  // The bitmap carries its resolution; the PDF page is the size in points.
  const auto png = encode_plot(*chart, image_format::png, 1050, 788, 300);
  ASSERT_TRUE(png.has_value());
  const QImage image = QImage::fromData(QByteArray::fromStdString(*png));
  EXPECT_EQ(image.size(), QSize(1050, 788));
  EXPECT_EQ(image.logicalDpiX(), 300);
  const auto pdf = encode_plot(*chart, image_format::pdf, 1050, 788, 300);
  ASSERT_TRUE(pdf.has_value());
  const auto box = QRegularExpression(QStringLiteral(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])"))
                       .match(QString::fromLatin1(*pdf));
  ASSERT_TRUE(box.hasMatch());
  // A PDF page is a whole number of points.
  EXPECT_NEAR(box.captured(1).toDouble(), 3.5 * 72.0, 0.5);
  EXPECT_NEAR(box.captured(2).toDouble(), 788.0 / 300.0 * 72.0, 0.5);
}

// Lines, markers and text are laid out at 96 per inch and magnified: a 300 dpi
// picture of 3.5 inches is the 336-unit layout scaled by 300/96.
TEST(PlotImage, PainterResolutionIncludesItsScaling) {
  QImage image(100, 100, QImage::Format_RGB32);
  image.setDotsPerMeterX(11811);  // 300 per inch
  image.setDotsPerMeterY(11811);
  QPainter painter(&image);
  EXPECT_NEAR(painter_dpi(painter), 300.0, 0.5);
  painter.scale(2.0, 2.0);  // a drawing mapped onto twice the pixels
  EXPECT_NEAR(painter_dpi(painter), 150.0, 0.5);
}

// Draws `text` in black 20-pixel letters on a white image; returns the ink's box.
QRect drawn_text(int x, int y, plotengine::h_align h, plotengine::v_align v, bool vertical,
                 int* text_width = nullptr) {
  QImage image(300, 300, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(20);
    painter.setFont(font);
    qt_painter p(painter);
    p.set_color({0, 0, 0});
    p.draw_text(x, y, vertical ? "RESIDUAL" : "NUMBER", h, v, vertical);
    if (text_width != nullptr) *text_width = p.text_width("NUMBER") - p.text_width("N");
    EXPECT_GE(p.font_height(), 20);
  }
  return ink(image);
}

TEST(PlotImage, TextIsPlacedByItsAlignment) {
  const QRect vertical =
      drawn_text(150, 150, plotengine::h_align::center, plotengine::v_align::center, true);
  ASSERT_FALSE(vertical.isNull());
  EXPECT_GT(vertical.height(), 2 * vertical.width());  // reads upwards
  EXPECT_NEAR(vertical.center().x(), 150, 6);
  EXPECT_NEAR(vertical.center().y(), 150, 6);

  int longer_by = 0;
  const QRect horizontal =
      drawn_text(280, 20, plotengine::h_align::right, plotengine::v_align::top, false, &longer_by);
  ASSERT_FALSE(horizontal.isNull());
  EXPECT_GT(longer_by, 0);
  EXPECT_GT(horizontal.width(), 2 * horizontal.height());
  EXPECT_LE(horizontal.right(), 280);
  EXPECT_GE(horizontal.right(), 272);
  EXPECT_GE(horizontal.top(), 20);
  EXPECT_LE(horizontal.top(), 30);
}

// The result plots of a hand-filled fit, written as PNG and SVG without a display.
TEST(PlotImage, AllResultPlotsRenderHeadless) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  support::temp_dir dir;

  for (const auto which : plots::all_result_plots) {
    const auto chart = plots::build_result_plot(ctx, which, models::held_model_rate(ctx));
    const std::string name(plots::result_plot_name(which));
    ASSERT_TRUE(chart.has_value()) << name;
    const auto png = dir.file(name + ".png");
    const auto svg = dir.file(name + ".svg");
    ASSERT_TRUE(save_plot(*chart, png)) << name;
    ASSERT_TRUE(save_plot(*chart, svg)) << name;

    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull()) << name;
    EXPECT_EQ(image.size(), QSize(800, 600));
    EXPECT_GT(non_white(image, image.rect()), 2000) << name;  // not blank
    EXPECT_TRUE(has_colour(image, qRgb(0, 0, 0))) << name;    // axes and text
    if (which != plots::result_plot::mc50) {                  // the others show each curve's colour
      for (std::size_t k = 0; k < 4; ++k) {
        const auto c = plots::curve_colors[k];
        EXPECT_TRUE(has_colour(image, qRgb(c.red, c.green, c.blue))) << "curve " << k + 1;
      }
      if (which != plots::result_plot::dixon) {  // the example has six levels of [S]
        const auto fifth = plots::curve_colors[4];
        EXPECT_FALSE(has_colour(image, qRgb(fifth.red, fifth.green, fifth.blue)));
      }
    }

    const std::string text = support::read_file(svg);
    EXPECT_NE(text.find("<svg"), std::string::npos) << name;
    EXPECT_NE(text.find("4- Linear Mixed Inhib"), std::string::npos) << name;
    EXPECT_NE(text.find(chart->y_label), std::string::npos) << name;
  }
}

TEST(PlotImage, BitmapAndPdf) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const auto chart =
      plots::build_result_plot(ctx, plots::result_plot::xy, models::held_model_rate(ctx));
  ASSERT_TRUE(chart.has_value());
  support::temp_dir dir;
  ASSERT_TRUE(save_plot(*chart, dir.file("xy.BMP")));
  EXPECT_EQ(head(dir.file("xy.BMP"), 2), "BM");
  const QImage bmp(QString::fromStdString(dir.file("xy.BMP")));
  EXPECT_EQ(bmp.size(), QSize(800, 600));
  ASSERT_TRUE(save_plot_as(*chart, dir.file("chart"), image_format::pdf, 640, 480));
  EXPECT_EQ(head(dir.file("chart"), 5), "%PDF-");
  // One page of 640 x 480 pixels at 96 per inch: 480 x 360 points.
  const auto pdf = QString::fromLatin1(support::read_file(dir.file("chart")));
  const auto box =
      QRegularExpression(QStringLiteral(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])")).match(pdf);
  ASSERT_TRUE(box.hasMatch());
  EXPECT_DOUBLE_EQ(box.captured(1).toDouble(), 480.0);
  EXPECT_DOUBLE_EQ(box.captured(2).toDouble(), 360.0);
  ASSERT_TRUE(save_plot(*chart, dir.file("big.png"), 1600, 1200));
  const QImage big(QString::fromStdString(dir.file("big.png")));
  EXPECT_EQ(big.size(), QSize(1600, 1200));
  const auto third = plots::curve_colors[2];
  EXPECT_TRUE(has_colour(big, qRgb(third.red, third.green, third.blue)));
}

TEST(PlotImage, RefusedWritesAndABlankChart) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const auto chart = plots::build_result_plot(ctx, plots::result_plot::mc50, {});
  ASSERT_TRUE(chart.has_value());
  support::temp_dir dir;
  EXPECT_FALSE(save_plot(*chart, dir.file("plot.jpg")));
  for (const char* format : {"png", "svg", "pdf"})
    EXPECT_FALSE(save_plot(*chart, dir.file("missing/plot.") + format)) << format;
  EXPECT_FALSE(save_plot(*chart, dir.file("zero.png"), 0, 600));
  EXPECT_FALSE(save_plot(*chart, ""));
  EXPECT_EQ(support::file_names(dir.path()), std::vector<std::string>{});

  // A chart without usable axes is a blank image.
  plotengine::pplot empty;
  empty.title = "Nothing to show";
  ASSERT_TRUE(save_plot(empty, dir.file("empty.png"), 200, 100));
  const QImage image(QString::fromStdString(dir.file("empty.png")));
  EXPECT_EQ(non_white(image, image.rect()), 0);
}

TEST(PlotImage, PaintsOnlyItsArea) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const auto chart = plots::build_result_plot(ctx, plots::result_plot::residuals, {});
  ASSERT_TRUE(chart.has_value());
  QImage image(1000, 700, QImage::Format_RGB32);
  image.fill(qRgb(200, 200, 200));
  {
    QPainter painter(&image);
    EXPECT_TRUE(paint_plot(painter, *chart, QRect(100, 50, 800, 600)));
  }
  for (const QPoint outside :
       {QPoint(50, 350), QPoint(950, 350), QPoint(500, 25), QPoint(500, 675)})
    EXPECT_EQ(image.pixel(outside), qRgb(200, 200, 200)) << outside.x() << "," << outside.y();
  EXPECT_EQ(image.pixel(102, 52), qRgb(255, 255, 255));  // the chart's own background
  const auto first = plots::curve_colors[1];
  EXPECT_TRUE(has_colour(image.copy(100, 50, 800, 600), qRgb(first.red, first.green, first.blue)));
}

}  // namespace
}  // namespace inhibra::imaging
