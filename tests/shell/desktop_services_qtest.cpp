// The desktop program's real services behind the real shell: a run of the example
// data file shows the model's plot window and waits for it (the main window saying
// so), loads the report, and the plot commands show their charts; with pausing off
// the next run shows no window and its charts are shown on request afterwards.
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
#include "desktop_services_qtest.moc"
