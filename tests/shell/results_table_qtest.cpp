// The results table after a run: it comes up beside the report (which stays as
// it was) and "File/Results Table" shows it again. For the example data fitted
// with every model (its plot windows closed, its warnings answered) the rows,
// figures and flags agree with themselves and with the models' ranges, and the
// clipboard text and the exported CSV carry the same figures.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <sstream>

#include "models/model_catalogue.hpp"
#include "models/model_forms.hpp"
#include "shell/desktop.hpp"
#include "shell/results_table.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/table_window.hpp"

using namespace inhibra;
using support::fitted_shell;

namespace {

toolkit::TableWindow* table_of(support::running_shell& app) {
  auto* w = qobject_cast<toolkit::TableWindow*>(app.tk.table_window());
  return w != nullptr && w->isVisible() ? w : nullptr;
}

fit::model_result hand_fit(int model, double aicc) {
  fit::model_result r;
  r.model = model;
  r.name = std::string(models::model_info(model)->name);
  r.n = models::model_info(model)->parameters;
  r.se_produced = true;
  for (std::size_t k = 0; k < static_cast<std::size_t>(r.n); ++k) {
    r.p[k] = 2.0;
    r.se[k] = 0.1;
    r.cl[k] = 0.2;
  }
  r.aicc = aicc;
  return r;
}

// One CSV line split into its cells (quoted cells may hold commas and quotes).
std::vector<std::string> csv_cells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      cells.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

std::vector<std::string> lines_of(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(end, from)) != std::string::npos; from = at + end.size())
    lines.push_back(text.substr(from, at - from));
  return lines;
}

double number(const std::string& text) {
  return text == "n/a" ? NAN : std::stod(text);
}

bool near_end(double v, double end) {
  return std::fabs(v - end) <= 1e-6 * std::fmax(1.0, std::fabs(end));
}

// Runs the example data with every model through the real services, closing each
// model's plot window as the run shows it.
bool run_example_with_every_model(support::running_shell& app, const std::string& data) {
  support::select_models(*app.ctx, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  if (!app.start() || !support::open_data_file(app, data)) return false;
  const int before = app.done();
  if (!app.choose("Run")) return false;
  return support::wait_until(
      [&] {
        // Each fit's plot and the warnings about parameters at a range end.
        if (auto* plot = support::open_plot_window()) plot->close();
        if (QMessageBox* box = support::shown_message_box()) box->accept();
        return app.done() > before;
      },
      600000);
}

}  // namespace

class ResultsTableWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void comesUpAfterARunAndFromTheFileMenu() {
    fitted_shell r({1, 9});
    QVERIFY(r.start_and_open());
    QVERIFY(!r.app.action("File/Results Table")->isEnabled());
    // A run that fitted nothing shows no table and offers none.
    QVERIFY(r.app.run_command("Run"));
    QVERIFY(table_of(r.app) == nullptr);
    QVERIFY(!r.app.action("File/Results Table")->isEnabled());
    const QString report = r.app.panel_text();
    QVERIFY(!report.isEmpty());

    r.fit.record.data_name = "/somewhere/Data.in";
    r.fit.record.fitted = {hand_fit(1, -90.0), hand_fit(9, -95.0)};
    r.fit.record.ranking = {{2, -95.0, 0.0, 0.9, 0.0, "**"}, {1, -90.0, 5.0, 0.1, 0.95, "  "}};
    QVERIFY(r.app.run_command("Run"));

    toolkit::TableWindow* table = table_of(r.app);
    QVERIFY(table != nullptr);
    QCOMPARE(table->windowTitle(), QString("Results Table - Data.in"));
    QCOMPARE(table->model()->rowCount(), 2);
    QCOMPARE(table->model()->item(1, 2)->text(),
             QString("partial (hyperbolic) mixed, toward competitive (a > 1)"));
    QCOMPARE(table->model()->item(1, 0)->rowCount(), 5);
    // The report panel shows the results file as before, and nothing else.
    QCOMPARE(r.app.panel_text(), report);
    // Inside the screen.
    const QRect room = table->screen()->availableGeometry();
    QVERIFY(room.contains(table->frameGeometry().topLeft()));

    table->close();
    QVERIFY(support::wait_until([&] { return table_of(r.app) == nullptr; }));
    QVERIFY(r.app.action("File/Results Table")->isEnabled());
    QVERIFY(r.app.run_command("File/Results Table"));
    QVERIFY(table_of(r.app) != nullptr);
    QCOMPARE(table_of(r.app)->model()->rowCount(), 2);

    // A run that fits nothing takes the entry away; the open window is left as it is.
    r.fit.record = {};
    QVERIFY(r.app.run_command("Run"));
    QVERIFY(!r.app.action("File/Results Table")->isEnabled());
  }
};

class ExampleResultsTableTest : public QObject {
  Q_OBJECT

 private slots:
  void everyModelOfTheExample() {
    support::temp_dir dir;
    const std::string data = support::copy_bundled_example(dir.path());
    std::ostringstream console;
    support::running_shell app(shell::desktop_services(console));
    QVERIFY(run_example_with_every_model(app, data));
    QVERIFY(app.panel_text().contains("RESULTS FILE"));
    toolkit::TableWindow* table = nullptr;
    QVERIFY(support::wait_until([&] { return (table = table_of(app)) != nullptr; }));
    if (const char* shots = std::getenv("INHIBRA_SCREENSHOT_DIR")) {
      table->view()->expandAll();
      table->resize(1900, 1000);
      support::pump_events(200);
      table->grab().save(QString(shots) + "/results-table.png");
      table->view()->collapseAll();
    }

    // The export read back: a header, each model's line and its parameters' lines.
    const std::string csv_name = dir.file("table.csv");
    QVERIFY(table->exportTo(QString::fromStdString(csv_name)));
    const auto csv = lines_of(support::read_file(csv_name), "\r\n");
    QCOMPARE(csv.size(), std::size_t{1 + 10 + 41});
    QCOMPARE(csv_cells(csv[0]).size(), std::size_t{14});

    // The clipboard holds the same table, tab-separated.
    table->copyAction()->trigger();
    const auto clip = lines_of(QGuiApplication::clipboard()->text().toStdString(), "\n");
    QCOMPARE(clip.size(), csv.size());

    QStandardItemModel* shown = table->model();
    QCOMPARE(shown->rowCount(), 10);
    std::vector<double> weights;
    int best = 0, at_bound = 0, clipped = 0;
    std::size_t line = 1;
    for (int m = 0; m < 10; ++m) {
      const auto cells = csv_cells(csv[line++]);
      const models::model_facts& facts = *models::model_info(m + 1);
      QCOMPARE(cells[0], std::to_string(m + 1));
      QCOMPARE(shown->item(m, 1)->text().toStdString(), cells[1]);
      QVERIFY(cells[1].rfind(std::to_string(m + 1) + "-", 0) == 0);
      QCOMPARE(cells[2], std::string(facts.textbook));
      QCOMPARE(clip[line - 1], [&] {
        std::string joined;
        for (std::size_t c = 0; c < cells.size(); ++c)
          joined += (c > 0 ? "\t" : "") + cells[c];
        return joined;
      }());
      // The window shows the exported figures to six digits.
      for (int c = 3; c <= 7; ++c)
        QVERIFY(std::fabs(shown->item(m, c)->text().toDouble() -
                          number(cells[static_cast<std::size_t>(c)])) <=
                1e-5 * std::fabs(number(cells[static_cast<std::size_t>(c)])) + 1e-300);
      const double delta = number(cells[5]);
      weights.push_back(number(cells[6]));
      if (delta == 0.0) {
        ++best;
        QCOMPARE(number(cells[7]), 1.0);
      }
      QVERIFY(delta >= 0.0);
      QVERIFY(number(cells[7]) >= 1.0);

      const models::parameter_box box = models::reachable_box(m + 1);
      QCOMPARE(shown->item(m, 0)->rowCount(), facts.parameters);
      for (int i = 0; i < facts.parameters; ++i) {
        const auto p = csv_cells(csv[line++]);
        const auto k = static_cast<std::size_t>(i);
        QCOMPARE(p[1], std::string(facts.parameter_names[k]));
        const double value = number(p[8]), se = number(p[9]);
        const double low = number(p[10]), high = number(p[11]);
        const bool poor = p[13].find("poorly determined") != std::string::npos;
        QCOMPARE(poor, !(se <= value / 1.333));
        // The limits stay inside the model's range and hold the estimate.
        QVERIFY(!(low < box.lo[k]) && !(high > box.hi[k]));
        QVERIFY(std::isnan(low) || (low <= value && value <= high));
        if (p[13].find("at bound") != std::string::npos) {
          ++at_bound;
          QVERIFY(near_end(value, box.lo[k]) || near_end(value, box.hi[k]) ||
                  (m + 1 == 8 && i == 4));
        }
        if (p[13].find("limits clipped to the model's range") != std::string::npos) {
          ++clipped;
          const double b_end = (m + 1 == 8 && i == 4) ? number(csv_cells(csv[line - 2])[8]) : 0.0;
          QVERIFY(near_end(low, box.lo[k]) || near_end(high, box.hi[k]) ||
                  (b_end > 0.0 && high <= b_end));
        }
      }
    }
    QCOMPARE(best, 1);
    QVERIFY(std::fabs(std::accumulate(weights.begin(), weights.end(), 0.0) - 1.0) < 1e-9);
    QVERIFY(at_bound >= 1);
    QVERIFY(clipped >= 1);
  }
};

INHIBRA_QT_TEST(ResultsTableWindowTest)
INHIBRA_QT_TEST(ExampleResultsTableTest)
#include "results_table_qtest.moc"
