// The desktop program's real services behind the real shell: a run of the example
// data file shows the model's plot window and waits for it (the main window saying
// so), loads the report, and the plot commands show their charts; with pausing off
// the next run shows no window and its charts are shown on request afterwards. A
// refused run shows why in the panel and writes nothing.
#include <QTest>
#include <filesystem>
#include <sstream>

#include "shell/desktop.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/plot_window.hpp"

using namespace inhibra;
using support::open_plot_window;
using support::running_shell;

namespace {

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
    support::select_models(*app.ctx, {2});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, support::write_example_data(dir.path())));
    QVERIFY(!app.action("Settings/Show Model Plots of Last Run")->isEnabled());

    const int before = app.done();
    QVERIFY(app.choose("Run"));
    // The fit of model 2 is shown, and the run waits for its window.
    QVERIFY(support::wait_until([] { return open_plot_window() != nullptr; }, 60000));
    toolkit::PlotWindow* plot = open_plot_window();
    QVERIFY(plot->windowTitle().startsWith("2- "));
    QVERIFY(support::wait_until([&] { return colours_shown(plot) > 4; }));
    support::pump_events(100);
    QCOMPARE(app.done(), before);
    QCOMPARE(app.window()->windowTitle(), QString("Close the plot window to continue"));
    plot->closeAction()->trigger();
    QVERIFY(app.wait_done(before, 60000));

    // The report is in the panel and beside the data file.
    QVERIFY(std::filesystem::exists(dir.path() / "Data.out"));
    QVERIFY(app.panel_text().contains("RESULTS FILE"));
    QVERIFY(app.action("Ca/Sp_Plot")->isEnabled());  // four curves

    // Plot commands after the run.
    for (const QString entry : {"XY_Plot", "Residuals"}) {
      const int again = app.done();
      QVERIFY(app.choose(entry));
      QVERIFY(support::wait_until([] { return open_plot_window() != nullptr; }));
      QVERIFY(entry == "XY_Plot" || open_plot_window()->windowTitle().contains(entry));
      open_plot_window()->close();
      QVERIFY(app.wait_done(again));
    }

    // Without pausing the run goes straight through: no plot window ever opens.
    support::select_models(*app.ctx, {1, 2});
    QVERIFY(app.run_command("Settings/Pause at Each Model's Plot"));
    QVERIFY(!app.action("Settings/Pause at Each Model's Plot")->isChecked());
    bool window_seen = false;
    const int second = app.done();
    QVERIFY(app.choose("Run"));
    QVERIFY(support::wait_until(
        [&] {
          window_seen = window_seen || open_plot_window() != nullptr;
          return app.done() > second;
        },
        120000));
    QVERIFY(!window_seen);
    QVERIFY(app.panel_text().contains("RESULTS FILE"));

    // Both models' charts are there afterwards, each in a window of its own.
    QVERIFY(app.run_command("Settings/Show Model Plots of Last Run"));
    QStringList titles;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* p = qobject_cast<toolkit::PlotWindow*>(w); p != nullptr && p->isVisible())
        titles << p->windowTitle().left(3);
    }
    titles.sort();
    QCOMPARE(titles, QStringList({"1- ", "2- "}));
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<toolkit::PlotWindow*>(w) != nullptr) w->close();
    }
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
    support::select_models(*app.ctx, {1});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    const int done = app.done();
    QVERIFY(app.choose("Run"));
    QStringList seen;
    for (qsizetype k = 0; k < boxes.size(); ++k) {
      const auto box = support::answer_message_box(60000);
      QVERIFY(box.has_value());
      seen << box->title + ": " + box->text.section('\n', 0, 0);
    }
    QVERIFY(app.wait_done(done, 60000));
    QVERIFY(support::no_message_box_within(50));
    QCOMPARE(seen, boxes);
    const std::string results = dir.file("Data.out");
    QCOMPARE(app.panel_text(),
             panel + "\r\n RESULTS FILE " + QString::fromStdString(results) + "\r\n\r\n");
    QCOMPARE(QString::fromStdString(console.str()),
             QString::fromStdString(" RESULTS FILE " + results + "\n"));
    QVERIFY(support::snapshot(dir.path()) == before);
    QVERIFY(app.action("Run")->isEnabled());  // corrected, the file can be run again
  }

  void fileWithoutExtensionIsReadAsNamed() {
    support::temp_dir dir;
    const std::string data = support::write_example_data(dir.path(), "my data");
    dir.write("mydata.in", "not this one\n");
    std::ostringstream console;
    running_shell app(shell::desktop_services(console));
    support::select_models(*app.ctx, {1});
    QVERIFY(app.start());
    QVERIFY(app.run_command("Settings/Pause at Each Model's Plot"));
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(app.run_command("Run", 120000));
    QVERIFY(support::no_message_box_within(50));
    QVERIFY(std::filesystem::exists(dir.path() / "my data.out"));
    QVERIFY(!std::filesystem::exists(dir.path() / "mydata.out"));
    QVERIFY(app.panel_text().contains(" RESULTS FILE " +
                                      QString::fromStdString(dir.file("my data.out"))));
  }
};

INHIBRA_QT_TEST(RefusedDesktopRunTest)
#include "desktop_services_qtest.moc"
