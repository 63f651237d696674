// The desktop program under a locale that writes numbers with a decimal comma: its
// QApplication sets the C library's locale from the environment (LANG, LC_ALL), and
// the program then keeps the number format classic. Set up here the same way, a
// run of the example through the desktop's own services writes the same report,
// results table, CSV text and plots (tick labels included) as under the C locale.
#include <QTest>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

#include "imaging/plot_image.hpp"
#include "plotengine/axis.hpp"
#include "shell/desktop.hpp"
#include "shell/results_table.hpp"
#include "strings/classic_numbers.hpp"
#include "support/comma_locales.hpp"
#include "support/qt_test_main.hpp"
#include "support/recording_frontend.hpp"
#include "support/temp_dir.hpp"

using namespace inhibra;

namespace {

// Keeps every chart the run shows as an SVG file's text.
struct svg_frontend : support::recording_frontend {
  std::vector<std::string> svgs;
  void show_plot(const plotengine::pplot& plot) override {
    svgs.push_back(imaging::encode_plot(plot, imaging::image_format::svg, 800, 600).value_or(""));
  }
};

// What a run of the example shows and writes, as text.
struct shown {
  std::string report, table, csv;
  std::vector<std::string> svgs;
};

// Runs in `dir`, the same folder each time, since the report names its results file.
shown run_example(const support::temp_dir& dir) {
  std::filesystem::remove(dir.path() / "Data.out");
  std::string data = (dir.path() / "Data.in").string();
  std::filesystem::copy_file(std::filesystem::path(INHIBRA_SOURCE_DIR) / "examples" / "Data.in",
                             data, std::filesystem::copy_options::overwrite_existing);
  svg_frontend fe;
  auto ctx = std::make_unique<core::fit_context>();
  ctx->fe = &fe;
  ctx->selected_models.fill(false);
  ctx->selected_models[1] = ctx->selected_models[8] = true;  // a linear and a hyperbolic model
  std::ostringstream console;
  fit::run_record record;
  shell::desktop_services(console).run(*ctx, data, record);
  shown s;
  s.report = support::read_file((dir.path() / "Data.out").string());
  const auto rows = shell::results_rows(record);
  for (const auto& line : shell::results_grid(rows, 6))
    for (const auto& cell : line)
      s.table += cell + "|";
  s.csv = shell::csv_text(rows);
  s.svgs = fe.svgs;
  return s;
}

// The environment and C library locale of the test, put back at its end.
class locale_scope {
 public:
  locale_scope()
      : lc_all_(variable("LC_ALL")),
        locpath_(variable("LOCPATH")),
        c_locale_(std::setlocale(LC_ALL, nullptr)) {}
  ~locale_scope() {
    restore("LC_ALL", lc_all_);
    restore("LOCPATH", locpath_);
    std::setlocale(LC_ALL, c_locale_.c_str());
  }
  locale_scope(const locale_scope&) = delete;
  locale_scope& operator=(const locale_scope&) = delete;

 private:
  static std::optional<std::string> variable(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::optional<std::string>(v) : std::nullopt;
  }
  static void restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  std::optional<std::string> lc_all_, locpath_;
  std::string c_locale_;  // the C library's locale, all categories
};

}  // namespace

class NumberLocaleTest : public QObject {
  Q_OBJECT

 private slots:
  void desktopRunUnderACommaLocaleWritesWhatTheCLocaleWrites() {
    const support::comma_locales locales;
    QVERIFY2(locales.error().empty(), locales.error().c_str());
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    const support::temp_dir dir;
    const shown classic = run_example(dir);
    QVERIFY(classic.report.find("RESULTS FILE") != std::string::npos);
    QCOMPARE(classic.svgs.size(), std::size_t{2});

    const locale_scope scope;
    for (const std::string& locale : support::comma_locales::names()) {
      setenv("LOCPATH", locales.locpath().c_str(), 1);
      setenv("LC_ALL", locale.c_str(), 1);
      std::setlocale(LC_ALL, "");  // as QApplication does
      // The locale took: unpinned, a tick label would get a comma.
      QCOMPARE(plotengine::format_tick_label("%.2f", 1.5f), std::string("1,50"));
      strings::keep_numbers_classic();  // as the program does next

      const shown local = run_example(dir);
      QVERIFY2(local.report == classic.report, locale.c_str());
      QCOMPARE(local.table, classic.table);
      QCOMPARE(local.csv, classic.csv);
      QVERIFY2(local.svgs == classic.svgs, locale.c_str());
    }
  }
};

INHIBRA_QT_TEST(NumberLocaleTest)
#include "number_locale_qtest.moc"
