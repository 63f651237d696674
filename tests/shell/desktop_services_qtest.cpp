// The desktop program's real services behind the real shell: a run of the example
// data file pauses at the model's chart in the Plots tab (the main window saying
// so), loads the report and the ranked table, and the plot commands add their
// charts; with pausing off the next run goes straight through and its charts are
// there when it ends; Stop ends a run without a results file. A refused run shows
// why in the panel and writes nothing. The reciprocal views, the residual axes and
// the Figure dialog on the charts of a real fit.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <span>
#include <sstream>
#include <vector>

#include "models/model_library.hpp"
#include "plots/reciprocal_plots.hpp"
#include "plots/xyplot.hpp"
#include "shell/desktop.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/recording_frontend.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/figure_dialog.hpp"
#include "toolkit/plot_window.hpp"
#include "toolkit/toolkit_harness.hpp"
#include "toolkit/workspace.hpp"

using namespace inhibra;
using support::open_plot_window;
using support::running_shell;

namespace {

// Keeps a copy of every chart shown.
struct chart_keeper final : support::recording_frontend {
  void show_plot(const plotengine::pplot& plot) override { kept.push_back(plot); }
  std::vector<plotengine::pplot> kept;
};

// The values as the chart stores them.
std::vector<float> as_floats(std::span<const double> values) {
  return {values.begin(), values.end()};
}

// Colours in a grab of the window's chart; a drawn chart has many.
int colours_shown(toolkit::PlotWindow* w) {
  const QImage shown = w->canvas()->grab().toImage();
  QSet<QRgb> colours;
  for (int y = 0; y < shown.height(); y += 3) {
    for (int x = 0; x < shown.width(); x += 3)
      colours.insert(shown.pixel(x, y));
  }
  return static_cast<int>(colours.size());
}

}  // namespace

class DesktopServicesTest : public QObject {
  Q_OBJECT

 private slots:
  void runsOfTheExampleShowTheirPlotsAndReport() {
    support::temp_dir dir;
    std::ostringstream console;
    running_shell app(shell::desktop_services(console));
    support::select_models(app.shell.choices(), {2});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, support::write_example_data(dir.path())));
    QVERIFY(!app.action("Plots/Show Model Plots of Last Run")->isEnabled());

    const int before = app.done();
    QVERIFY(app.choose("Toolbar/Run"));
    // The fit of model 2 is shown in the Plots tab, and the run waits for Continue.
    QVERIFY(support::wait_until([&] { return support::paused_chart(app) != nullptr; }, 60000));
    toolkit::PlotWindow* plot = support::paused_chart(app);
    QVERIFY(plot->windowTitle().startsWith("2- "));
    QVERIFY(support::wait_until([&] { return colours_shown(plot) > 4; }));
    support::pump_events(100);
    QCOMPARE(app.done(), before);
    QCOMPARE(app.window()->windowTitle(), support::lf(shell::plot_wait_title));
    QVERIFY(support::other_windows(app).isEmpty());
    app.tk.workspace()->continueButton()->click();
    QVERIFY(app.wait_done(before, 60000));

    // The report is in the panel and beside the data file, the ranked table in the
    // Results tab, which is shown; the chart stays in the Plots tab.
    QVERIFY(std::filesystem::exists(dir.path() / "Data.out"));
    QVERIFY(app.panel_text().contains("RESULTS FILE"));
    QVERIFY(app.action("Toolbar/Ca/Sp_Plot")->isEnabled());  // four curves
    toolkit::Workspace* ws = app.tk.workspace();
    QVERIFY(ws->results() != nullptr);
    QCOMPARE(ws->currentIndex(), static_cast<int>(toolkit::workspace_tab::results));
    QCOMPARE(support::chart_titles(app).size(), 1);
    // Nothing of the run opened a window of its own, and no box interrupted it.
    QVERIFY(support::other_windows(app).isEmpty());

    // Plot commands after the run add their charts without waiting.
    for (const QString entry : {"Toolbar/XY_Plot", "Toolbar/Residuals"}) {
      QVERIFY(app.run_command(entry));
      QVERIFY(entry == "Toolbar/XY_Plot" ||
              support::chart_titles(app).back().contains(entry.section('/', 1)));
    }
    QCOMPARE(support::chart_titles(app).size(), 3);

    // Without pausing the run goes straight through; its charts are in the Plots tab
    // when it ends, in place of the earlier ones.
    support::select_models(app.shell.choices(), {1, 2});
    QVERIFY(app.run_command("Settings/Pause at Each Model's Plot"));
    QVERIFY(!app.action("Settings/Pause at Each Model's Plot")->isChecked());
    bool paused = false;
    bool other_window = false;
    const int second = app.done();
    QVERIFY(app.choose("Toolbar/Run"));
    QVERIFY(support::wait_until(
        [&] {
          paused = paused || support::paused_chart(app) != nullptr;
          other_window = other_window || !support::other_windows(app).isEmpty();
          return app.done() > second;
        },
        120000));
    QVERIFY(!paused);
    QVERIFY(!other_window);
    QVERIFY(app.panel_text().contains("RESULTS FILE"));
    auto first_three = [&] {
      QStringList titles;
      for (const QString& t : support::chart_titles(app))
        titles << t.left(3);
      return titles;
    };
    QCOMPARE(first_three(), QStringList({"1- ", "2- "}));
    // Asked again, the same charts: none stacks on another.
    QVERIFY(app.run_command("Plots/Show Model Plots of Last Run"));
    QCOMPARE(first_three(), QStringList({"1- ", "2- "}));
  }

  // After a real run the Lineweaver-Burk and Dixon entries add the views of the fit
  // held (titled as the charts say), and the residuals are drawn against [S] or,
  // by the switch, against the fitted rate.
  void reciprocalViewsAndResidualAxesOfARealFit() {
    support::temp_dir dir;
    std::ostringstream console;
    running_shell app(shell::desktop_services(console));
    support::select_models(app.shell.choices(), {2});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, support::write_example_data(dir.path())));
    QVERIFY(app.run_command("Settings/Pause at Each Model's Plot"));
    QVERIFY(!app.action("Plots/Dixon Plot")->isEnabled());
    QVERIFY(app.run_command("Toolbar/Run", 120000));
    const auto rate = models::held_model_rate(*app.ctx);
    const auto burk = plots::lineweaver_burk_chart(*app.ctx, rate);
    const auto dixon = plots::dixon_chart(*app.ctx, rate);
    QVERIFY(burk.has_value() && dixon.has_value());
    QVERIFY(app.run_command("Plots/Lineweaver-Burk Plot"));
    QCOMPARE(support::chart_titles(app).back(), support::lf(burk->title).replace('\n', ' '));
    QVERIFY(app.run_command("Plots/Dixon Plot"));
    QCOMPARE(support::chart_titles(app).back(), support::lf(dixon->title).replace('\n', ' '));
    QVERIFY(support::other_windows(app).isEmpty());

    // The Figure dialog of the chart on show edits its texts: the chart in the tab,
    // its name in the list and the pictures saved from it carry them.
    auto* page = qobject_cast<toolkit::PlotWindow*>(app.tk.workspace()->currentPlot());
    QVERIFY(page != nullptr && page->figureAction()->isVisible());
    QTimer::singleShot(0, page, [page] { page->figureAction()->trigger(); });
    QVERIFY(support::answer_window<toolkit::FigureDialog>([](toolkit::FigureDialog* d) {
      d->titleBox()->setPlainText("Figure 4\nDixon view of model 2");
      d->xLabelBox()->setText("Inhibitor (uM)");
      d->yLabelBox()->setText("1/v (min/uM)");
      d->accept();
    }));
    QCOMPARE(page->windowTitle(), QString("Figure 4 Dixon view of model 2"));
    QCOMPARE(support::chart_titles(app).back(), page->windowTitle());
    const std::string svg = dir.file("figure.svg");
    QVERIFY(page->saveAs(QString::fromStdString(svg)));
    const std::string saved = support::read_file(svg);
    for (const char* text : {"Dixon view of model 2", "Inhibitor (uM)", "1/v (min/uM)"})
      QVERIFY2(saved.find(text) != std::string::npos, text);

    // The service draws the residuals of curve 1 at its rows' [S], or at their fitted
    // rates: the points of series 1 (series 0 is the zero line).
    const plots::xy_curves curves = plots::group_curves(*app.ctx);
    const auto first = static_cast<std::size_t>(curves.n[0]);
    QVERIFY(first >= 2);
    chart_keeper keeper;
    core::frontend* shown_by = app.ctx->fe;
    app.ctx->fe = &keeper;
    const shell::services svc = shell::desktop_services(console);
    svc.make_plot(*app.ctx, shell::result_plot::residuals);
    svc.make_plot(*app.ctx, shell::result_plot::residuals_by_rate);
    app.ctx->fe = shown_by;
    QCOMPARE(keeper.kept.size(), std::size_t{2});
    QCOMPARE(keeper.kept[0].data.at(1).x, as_floats(std::span(curves.xd).first(first)));
    QCOMPARE(keeper.kept[1].data.at(1).x, as_floats(std::span(curves.yf).first(first)));
    QVERIFY(keeper.kept[0].x_label != keeper.kept[1].x_label);
    QCOMPARE(keeper.kept[0].data.at(1).y, keeper.kept[1].data.at(1).y);
  }

  // Stop during a real run (paused at its first model) ends it before the next: no
  // results file, no results on show, and the status bar says why.
  void stopEndsARealRunWithoutAResultsFile() {
    support::temp_dir dir;
    std::ostringstream console;
    running_shell app(shell::desktop_services(console));
    support::select_models(app.shell.choices(), {1, 2, 3});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, support::write_example_data(dir.path())));
    const int before = app.done();
    QVERIFY(app.choose("Toolbar/Run"));
    QVERIFY(support::wait_until([&] { return support::paused_chart(app) != nullptr; }, 60000));
    toolkit::Workspace* ws = app.tk.workspace();
    QVERIFY(ws->progressBar()->isVisible());
    QVERIFY(ws->progressBar()->text().contains("Model 1 (1 of 3)"));
    ws->stopButton()->click();
    QVERIFY(app.wait_done(before, 60000));
    QVERIFY(!std::filesystem::exists(dir.path() / "Data.out"));
    QVERIFY(ws->results() == nullptr);
    QCOMPARE(support::chart_titles(app).size(), 0);
    QVERIFY(ws->noticeLabel()->text().contains(support::lf(shell::run_stopped_notice)));
    QVERIFY(!app.action("Toolbar/XY_Plot")->isEnabled());
  }
};

INHIBRA_QT_TEST(DesktopServicesTest)

// Runs of the real fit on data it refuses: the boxes say why, the panel shows what
// they said and the run's closing line, the terminal gets the closing line, and no
// file changes (an earlier report is kept, none is made). A file named without an
// extension is read as named.
class RefusedDesktopRunTest : public QObject {
  Q_OBJECT

 private slots:
  void panelShowsWhyAndNothingIsWritten_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("earlier");       // an earlier report beside the data
    QTest::addColumn<QStringList>("boxes");  // each box's title and first line
    QTest::addColumn<QString>("panel");      // the panel before the closing line
    const QString comma = "50 0 0.032\n100 0 0,055\n200 0 0.08\n333 0 0.102\n500 0 0.116\n";
    const QStringList comma_boxes = {
        "Warning: Data line 2 does not begin with three numbers [S] [I] Rate:",
        "Error: * * * ERROR: RUN ABORTED * * *"};
    const QString comma_panel =
        "Warning: Data line 2 does not begin with three numbers [S] [I] Rate:\r\n100 0 0,055\r\n"
        "decimal comma? use a point\r\nError: * * * ERROR: RUN ABORTED * * *\r\n";
    QTest::newRow("decimal comma, earlier report") << comma << true << comma_boxes << comma_panel;
    QTest::newRow("decimal comma, no report") << comma << false << comma_boxes << comma_panel;
    // The advice is longer than a panel line: it is broken at a blank.
    const QString advice =
        "read it as a table (a name ending in .csv, or inhibra-fit --table), or save the data as "
        "plain text: three columns [S] [I] rate separated by blanks, one row a line, no header row";
    const auto blank = advice.lastIndexOf(' ', 149);
    QTest::newRow("spreadsheet export")
        << QString("S,I,v\n50,0,0.032\n100,0,0.055\n200,0,0.08\n") << true
        << QStringList{"Warning: Data columns not equal to 3",
                       "Warning: Line 1 looks like a spreadsheet export with a header row:",
                       "Error: * * * ERROR: RUN ABORTED * * *"}
        << "Warning: Data columns not equal to 3\r\nWarning: Line 1 looks like a spreadsheet "
           "export with a header row:\r\nS,I,v\r\n" +
               advice.left(blank) + "\r\n" + advice.mid(blank + 1) +
               "\r\nError: * * * ERROR: RUN ABORTED * * *\r\n";
    // A message longer than a panel line is broken at a blank, not cut.
    const QString cut_short =
        "The data end at line 3 (a blank line), but 5 lines below it begin with three numbers "
        "and were not read. The rows of all curves follow one another, without blank or note "
        "lines between them";
    const QString warned = "Warning: " + cut_short;
    const auto at = warned.lastIndexOf(' ', 149);
    QTest::newRow("rows left below, too few rows")
        << QString("50 0 0.032\n100 0 0.055\n\n") + QString(comma).replace(',', '.') << false
        << QStringList{warned, "Warning: Data rows exceeded limit of 1000",
                       "Error: * * * ERROR: RUN ABORTED * * *"}
        << warned.left(at) + "\r\n" + warned.mid(at + 1) +
               "\r\nWarning: Data rows exceeded limit of 1000\r\nthe data hold 2 rows; at least "
               "3 are needed\r\nError: * * * ERROR: RUN ABORTED * * *\r\n";
  }

  void panelShowsWhyAndNothingIsWritten() {
    QFETCH(QString, content);
    QFETCH(bool, earlier);
    QFETCH(QStringList, boxes);
    QFETCH(QString, panel);
    support::temp_dir dir;
    const std::string data = dir.write("Data.in", content.toStdString());
    if (earlier) dir.write("Data.out", "an earlier complete report\r\n");
    const auto before = support::snapshot(dir.path());
    std::ostringstream console;
    running_shell app(shell::desktop_services(console));
    support::select_models(app.shell.choices(), {1});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    const int done = app.done();
    QVERIFY(app.choose("Toolbar/Run"));
    // No box interrupts the run: what it said is above the Results tab's table.
    QVERIFY(app.wait_done(done, 60000));
    QVERIFY(support::no_message_box_within(50));
    const QStringList notices = app.tk.workspace()->noticeLabel()->text().split('\n');
    QCOMPARE(notices.size(), boxes.size());
    for (qsizetype k = 0; k < boxes.size(); ++k)
      QVERIFY2(notices[k].startsWith(boxes[k]), qPrintable(notices[k]));
    const std::string results = dir.file("Data.out");
    QCOMPARE(app.panel_text(),
             panel + "\r\n RESULTS FILE " + QString::fromStdString(results) + "\r\n\r\n");
    QCOMPARE(QString::fromStdString(console.str()),
             QString::fromStdString(" RESULTS FILE " + results + "\n"));
    QVERIFY(support::snapshot(dir.path()) == before);
    QVERIFY(app.action("Toolbar/Run")->isEnabled());  // corrected, the file can be run again
  }

  void fileWithoutExtensionIsReadAsNamed() {
    support::temp_dir dir;
    const std::string data = support::write_example_data(dir.path(), "my data");
    dir.write("mydata.in", "not this one\n");
    std::ostringstream console;
    running_shell app(shell::desktop_services(console));
    support::select_models(app.shell.choices(), {1});
    QVERIFY(app.start());
    QVERIFY(app.run_command("Settings/Pause at Each Model's Plot"));
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(app.run_command("Toolbar/Run", 120000));
    QVERIFY(support::no_message_box_within(50));
    QVERIFY(std::filesystem::exists(dir.path() / "my data.out"));
    QVERIFY(!std::filesystem::exists(dir.path() / "mydata.out"));
    QVERIFY(app.panel_text().contains(" RESULTS FILE " +
                                      QString::fromStdString(dir.file("my data.out"))));
  }
};

INHIBRA_QT_TEST(RefusedDesktopRunTest)
#include "desktop_services_qtest.moc"
