// A desktop that remembers and takes files from anywhere: a file named on the
// command line is open at start-up, a file dropped on the main window or chosen
// under "Recent Files" is opened, and weighting, model selection, plot pausing,
// the last folder, the recent files, the window's size and the axis units (which
// the charts' labels carry) come back in a second instance over the same settings
// file (a temporary one, never the person's).
#include <QInputDialog>
#include <QMenu>
#include <QTest>
#include <filesystem>
#include <mutex>
#include <utility>

#include "plotengine/pplot.hpp"
#include "shell/axis_units.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/settings_file.hpp"

using namespace inhibra;
using support::fitted_shell;

namespace {

// True once the main window's title is `title`.
bool title_becomes(support::running_shell& app, const QString& title) {
  return support::wait_until([&] { return app.window()->windowTitle() == title; });
}

QStringList recent_entries(support::running_shell& app) {
  QStringList shown;
  QAction* recent = app.action("File/Recent Files");
  if (recent == nullptr || recent->menu() == nullptr) return {"(no Recent Files menu)"};
  for (QAction* a : recent->menu()->actions()) {
    if (a->isVisible()) shown << a->text();
  }
  return shown;
}

// Waits for the text dialog and confirms `text` in it.
bool answer_text(const QString& text) {
  return support::wait_until([&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* d = qobject_cast<QInputDialog*>(w); d != nullptr && d->isVisible()) {
        d->setTextValue(text);
        d->accept();
        return true;
      }
    }
    return false;
  });
}

// The axis labels of the charts the shell shows; each plot command shows one chart
// labelled as the rate plot is.
struct chart_labels {
  std::mutex mutex;
  std::vector<std::pair<std::string, std::string>> seen;

  shell::services services() {
    shell::services s;
    s.make_plot = [](core::fit_context& ctx, shell::result_plot) {
      plotengine::pplot chart;
      chart.title = "chart";
      chart.x_label = "[SUBSTRATE]";
      chart.y_label = "RATE";
      ctx.fe->show_plot(chart);
    };
    s.present_plot = [this](toolkit::window_system&, const plotengine::pplot& p) {
      std::lock_guard lock(mutex);
      seen.emplace_back(p.x_label, p.y_label);
    };
    return s;
  }
  std::pair<std::string, std::string> after_plot(support::running_shell& app) {
    const int before = app.done();
    app.shell.handle_plot();
    if (!app.wait_done(before)) return {};
    std::lock_guard lock(mutex);
    return seen.empty() ? std::pair<std::string, std::string>() : seen.back();
  }
};

bool set_units(support::running_shell& app, const QString& concentration, const QString& rate) {
  const int before = app.done();
  return app.choose("Settings/Axis Units...") && answer_text(concentration) && answer_text(rate) &&
         app.wait_done(before);
}

using labels = std::pair<std::string, std::string>;

}  // namespace

class RememberingTest : public QObject {
  Q_OBJECT

 private slots:
  void fileNamedAtStartIsOpen() {
    fitted_shell r;
    r.app.shell.set_start_file(r.data);
    QVERIFY(r.app.start());
    QVERIFY(title_becomes(r.app, QString::fromStdString(r.data)));
    QVERIFY(r.app.action("Run")->isEnabled());
    QVERIFY(r.app.run_command("Run"));
    QCOMPARE(QString::fromStdString(r.fit.data_file_seen), QString::fromStdString(r.data));
  }

  void missingFileNamedAtStartIsReported() {
    fitted_shell r;
    const std::string missing = r.dir.file("Nowhere.in");
    r.app.shell.set_start_file(missing);
    r.app.start_async();
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QVERIFY(box->text.contains(QString::fromStdString(missing)));
    QVERIFY(support::wait_until([&] { return r.app.shell.in_command_loop(); }));
    QVERIFY(!r.app.action("Run")->isEnabled());
  }

  void droppedAndRecentFilesAreOpened() {
    fitted_shell r;
    const std::string second = support::write_example_data(r.dir.path(), "Second.in");
    QVERIFY(r.app.start());
    QCOMPARE(recent_entries(r.app), QStringList());
    QVERIFY(!r.app.action("File/Recent Files")->isEnabled());

    // A drop opens the file as the open dialog would.
    int before = r.app.done();
    r.app.tk.stopidle();  // nothing pending: the drop handler alone must start the command
    r.app.shell.handle_dropped_file(second);
    QVERIFY(r.app.wait_done(before));
    QVERIFY(title_becomes(r.app, QString::fromStdString(second)));
    QVERIFY(support::open_data_file(r.app, r.data));
    QCOMPARE(recent_entries(r.app),
             QStringList({QString::fromStdString(r.data), QString::fromStdString(second)}));

    // The second entry opens Second.in again and moves it to the front.
    before = r.app.done();
    QVERIFY(r.app.choose("File/Recent Files/" + QString::fromStdString(second)));
    QVERIFY(r.app.wait_done(before));
    QVERIFY(title_becomes(r.app, QString::fromStdString(second)));
    QCOMPARE(recent_entries(r.app).front(), QString::fromStdString(second));
  }

  void unitsGoOnConcentrationAndRateLabelsOnly() {
    const shell::axis_units units{"mM", "mM/s"};
    QCOMPARE(shell::label_with_unit("[INHIBITOR]", units), std::string("[INHIBITOR] (mM)"));
    QCOMPARE(shell::label_with_unit("Kmapp", units), std::string("Kmapp (mM)"));
    QCOMPARE(shell::label_with_unit("MC50", units), std::string("MC50 (mM)"));
    QCOMPARE(shell::label_with_unit("RATE", units), std::string("RATE (mM/s)"));
    QCOMPARE(shell::label_with_unit("NUMBER", units), std::string("NUMBER"));
    QCOMPARE(shell::label_with_unit("RESIDUAL", units), std::string("RESIDUAL"));
    QCOMPARE(shell::label_with_unit("RATE", {"mM", ""}), std::string("RATE"));
  }

  void axisUnitsReachTheChartsAndAreKept() {
    support::temp_dir config;
    const std::string ini = config.file("inhibra.ini");
    chart_labels charts;
    {
      toolkit::settings_file store(ini);
      support::running_shell app(charts.services());
      app.shell.set_settings(&store);
      QVERIFY(app.start());
      QCOMPARE(charts.after_plot(app), labels("[SUBSTRATE]", "RATE"));  // none by default
      QVERIFY(set_units(app, "uM", "uM/min"));
      QCOMPARE(charts.after_plot(app), labels("[SUBSTRATE] (uM)", "RATE (uM/min)"));
      QVERIFY(app.quit());
    }
    toolkit::settings_file store(ini);
    support::running_shell again(charts.services());
    again.shell.set_settings(&store);
    QVERIFY(again.start());
    QCOMPARE(charts.after_plot(again), labels("[SUBSTRATE] (uM)", "RATE (uM/min)"));
    QVERIFY(set_units(again, "", ""));
    QCOMPARE(charts.after_plot(again), labels("[SUBSTRATE]", "RATE"));
  }

  void secondInstanceRestoresTheSettings() {
    support::temp_dir config;
    const std::string ini = config.file("inhibra.ini");
    support::temp_dir folder;  // outlives the first instance
    const std::string data = support::write_example_data(folder.path());
    QSize size;
    {
      toolkit::settings_file store(ini);
      fitted_shell r({3, 7});
      r.app.shell.set_settings(&store);
      QVERIFY(r.app.start());
      QVERIFY(support::open_data_file(r.app, data));
      QVERIFY(r.app.run_command("Weight/Turn-ON Robust Wt"));
      QVERIFY(r.app.run_command("Settings/Pause at Each Model's Plot"));
      r.app.window()->resize(r.app.window()->size() - QSize(40, 30));
      size = r.app.window()->size();
      QVERIFY(r.app.quit());
    }
    toolkit::settings_file store(ini);
    fitted_shell again({});
    again.app.shell.set_settings(&store);
    QVERIFY(again.app.start());
    QCOMPARE(again.app.ctx->nwt_global.load(), 2);
    QList<int> selected;
    for (int k = 1; k <= 10; ++k) {
      if (again.app.ctx->imdl[k - 1] != 0) selected << k;
    }
    QCOMPARE(selected, QList<int>({3, 7}));
    QVERIFY(!again.app.action("Settings/Pause at Each Model's Plot")->isChecked());
    QCOMPARE(again.app.window()->size(), size);
    QCOMPARE(recent_entries(again.app).size(), 1);
    QVERIFY(recent_entries(again.app).front().endsWith("Data.in"));
    // The open dialog starts in the folder of the last data file.
    QVERIFY(again.app.choose("OpenData"));
    const auto dialog = support::answer_file_dialog(QString());
    QVERIFY(dialog.has_value());
    QCOMPARE(std::filesystem::weakly_canonical(dialog->directory.toStdString()),
             std::filesystem::weakly_canonical(folder.path()));
  }
};

INHIBRA_QT_TEST(RememberingTest)
#include "remembering_qtest.moc"
