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
#include "toolkit/toolkit_harness.hpp"

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
  return support::answer_window<QInputDialog>([&](QInputDialog* d) {
    d->setTextValue(text);
    d->accept();
  });
}

using labels = std::pair<std::string, std::string>;

// The axis labels of the charts the shell shows; each plot command shows one chart
// labelled as the rate plot is.
struct chart_labels {
  std::mutex mutex;
  std::vector<labels> seen;

  shell::services services() {
    shell::services s;
    s.make_plot = [](core::fit_context& ctx, shell::result_plot) {
      plotengine::pplot chart;
      chart.title = "chart";
      chart.x_label = "[S]";
      chart.y_label = "Rate v";
      ctx.fe->show_plot(chart);
    };
    s.present_plot = [this](toolkit::window_system&, const plotengine::pplot& p, bool) {
      std::lock_guard lock(mutex);
      seen.emplace_back(p.x_label, p.y_label);
    };
    return s;
  }
  labels after_plot(support::running_shell& app) {
    const int before = app.done();
    app.shell.handle_plot();
    if (!app.wait_done(before)) return {};
    std::lock_guard lock(mutex);
    return seen.empty() ? labels() : seen.back();
  }
};

bool set_units(support::running_shell& app, const QString& concentration, const QString& rate) {
  const int before = app.done();
  return app.choose("Settings/Axis Units...") && answer_text(concentration) && answer_text(rate) &&
         app.wait_done(before);
}

}  // namespace

class RememberingTest : public QObject {
  Q_OBJECT

 private slots:
  void fileNamedAtStartIsOpenOrReported() {
    fitted_shell r;
    r.app.shell.set_start_file(r.data);
    QVERIFY(r.app.start());
    QVERIFY(title_becomes(r.app, QString::fromStdString(r.data)));
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(QString::fromStdString(r.fit.data_file_seen), QString::fromStdString(r.data));

    fitted_shell missing;
    const std::string nowhere = missing.dir.file("Nowhere.in");
    missing.app.shell.set_start_file(nowhere);
    missing.app.start_async();
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QVERIFY(box->text.contains(QString::fromStdString(nowhere)));
    QVERIFY(support::wait_until([&] { return missing.app.shell.in_command_loop(); }));
    QVERIFY(!missing.app.action("Toolbar/Run")->isEnabled());

    // A name without its extension opens the file a run of that name reads.
    fitted_shell bare;
    bare.app.shell.set_start_file(bare.dir.file("Data"));
    QVERIFY(bare.app.start());
    QVERIFY(title_becomes(bare.app, QString::fromStdString(bare.data)));
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

  // The charts' own titles get the units (the full table is the plots' test).
  void unitsGoOnConcentrationAndRateLabelsOnly() {
    const shell::axis_units units{"mM", "mM/s"};
    QCOMPARE(shell::label_with_unit("[I]", units), std::string("[I] (mM)"));
    QCOMPARE(shell::label_with_unit("Rate v", units), std::string("Rate v (mM/s)"));
    QCOMPARE(shell::label_with_unit("Something", units), std::string("Something"));
    QCOMPARE(shell::label_with_unit("Rate v", {"mM", ""}), std::string("Rate v"));
  }

  void secondInstanceRestoresTheSettings() {
    support::temp_dir config;  // the settings file and the data file
    const std::string ini = config.file("inhibra.ini");
    const std::string data = support::write_example_data(config.path());
    chart_labels charts;
    QSize size;
    {
      toolkit::settings_file store(ini);
      support::running_shell app(charts.services());
      support::select_models(app.shell.choices(), {1, 7});
      app.shell.set_settings(&store);
      QVERIFY(app.start());
      QCOMPARE(charts.after_plot(app), labels("[S]", "Rate v"));  // no units by default
      QVERIFY(set_units(app, "uM", "uM/min"));
      QCOMPARE(charts.after_plot(app), labels("[S] (uM)", "Rate v (uM/min)"));
      QVERIFY(support::open_data_file(app, data));
      QVERIFY(app.run_command("Settings/Weight/Turn-ON Robust Wt"));
      QVERIFY(app.run_command("Settings/Weight/Poisson Weights (1/v)"));
      QVERIFY(app.run_command("Settings/Pause at Each Model's Plot"));
      QVERIFY(app.run_command("Settings/Fast Fitting"));
      QVERIFY(!app.action("Settings/Show Replicates as Mean \u00b1 SD")->isChecked());
      QVERIFY(app.run_command("Settings/Show Replicates as Mean \u00b1 SD"));
      QVERIFY(app.run_command("Settings/Residuals Against Fitted Rate"));
      QVERIFY(app.shell.choices().replicate_means.load());
      app.window()->resize(app.window()->size() - QSize(40, 30));
      size = app.window()->size();
      QVERIFY(app.quit());
    }
    toolkit::settings_file store(ini);
    support::running_shell again(charts.services());
    again.shell.set_settings(&store);
    QVERIFY(again.start());
    QCOMPARE(charts.after_plot(again), labels("[S] (uM)", "Rate v (uM/min)"));
    QCOMPARE(again.shell.choices().weighting_switch.load(), 2);
    QVERIFY(again.shell.choices().errors.load() == core::error_model::poisson);
    QVERIFY(again.action("Settings/Weight/Poisson Weights (1/v)")->isChecked());
    QList<int> selected;
    for (int k = 1; k <= 10; ++k) {
      if (again.shell.choices().models[k - 1].load()) selected << k;
    }
    QCOMPARE(selected, QList<int>({1, 7}));
    QVERIFY(!again.action("Settings/Pause at Each Model's Plot")->isChecked());
    QVERIFY(again.shell.choices().fast.load());
    QVERIFY(again.action("Settings/Fast Fitting")->isChecked());
    QVERIFY(again.shell.choices().replicate_means.load());
    QVERIFY(again.action("Settings/Show Replicates as Mean \u00b1 SD")->isChecked());
    QVERIFY(again.action("Settings/Residuals Against Fitted Rate")->isChecked());
    QCOMPARE(again.window()->size(), size);
    QCOMPARE(recent_entries(again), QStringList{QString::fromStdString(data)});
    // The open dialog starts in the folder of the last data file.
    const auto dialog = support::choose_and_answer_dialog(again, "Toolbar/OpenData");
    QVERIFY(dialog.has_value());
    QCOMPARE(std::filesystem::weakly_canonical(dialog->directory.toStdString()),
             std::filesystem::weakly_canonical(config.path()));
    QVERIFY(set_units(again, "", ""));
    QCOMPARE(charts.after_plot(again), labels("[S]", "Rate v"));
  }
};

INHIBRA_QT_TEST(RememberingTest)
#include "remembering_qtest.moc"
