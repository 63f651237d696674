// "Run": the model dialog instead of a run without models, the box without a data
// file, the report in the panel after a run, the follow-up page or dialog of each
// run status, what happens while a run goes on and the weighting switch around it.
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <filesystem>

#include "shell/info_pages.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"

using namespace inhibra;
using support::fitted_shell;

namespace {

const QString main_title("Inhibra: Enzyme Inhibition Modeling Software");

// The weighting in force carries the radio mark; both entries stay enabled.
bool weighting_offered(support::running_shell& app, bool on) {
  QAction* turn_on = app.action("Settings/Weight/Turn-ON Robust Wt");
  QAction* turn_off = app.action("Settings/Weight/Turn-OFF Robust Wt");
  return turn_on->isEnabled() && turn_off->isEnabled() && turn_on->isChecked() == on &&
         turn_off->isChecked() == !on;
}

}  // namespace

class RunCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void runWithoutModelsOpensTheDialogInstead() {
    fitted_shell r({});
    QVERIFY(r.start_and_open());
    QVERIFY(r.app.choose("Toolbar/Run"));
    QVERIFY(support::wait_until([] { return support::model_dialog_window() != nullptr; }));
    // Choosing a model and closing the dialog; the next "Run" starts the fit.
    support::model_dialog_window()->findChildren<QCheckBox*>().at(2)->setChecked(true);
    const int before = r.app.done();
    QVERIFY(support::press_dialog_button("Close"));
    QVERIFY(r.app.wait_done(before));
    QVERIFY(support::no_message_box_within(50));
    QVERIFY(r.app.shell.choices().models[2].load());
    QCOMPARE(r.fit.runs.load(), 0);
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(r.fit.runs.load(), 1);
  }

  void runOrPrintWithoutAFileIsRefused() {
    fitted_shell r;
    QVERIFY(r.app.start());
    // The menus never offer Run without a file; the command is reached directly.
    r.app.action("Toolbar/Run")->setEnabled(true);
    r.app.action("Fit/Run Curve-fit")->setEnabled(true);
    const int before = r.app.done();
    r.app.shell.handle_run();
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QCOMPARE(box->title, QString("Information"));
    QCOMPARE(box->text, QString("No data file open - Warning!\nOpen a data file for input. "));
    QVERIFY(r.app.wait_done(before));
    QVERIFY(!r.app.action("Toolbar/Run")->isEnabled());
    QVERIFY(!r.app.action("Fit/Run Curve-fit")->isEnabled());
    QCOMPARE(r.fit.runs.load(), 0);
    // Nor do they offer printing before a run: the entry is greyed out again, silently.
    r.app.action("File/Print Results")->setEnabled(true);
    const int printed = r.app.done();
    r.app.shell.handle_print();
    QVERIFY(r.app.wait_done(printed));
    QVERIFY(!r.app.action("File/Print Results")->isEnabled());
    QVERIFY(support::no_message_box_within(50));
  }

  void panelShowsTheResultsFileFromItsSecondLine_data() {
    QTest::addColumn<int>("models");
    QTest::addColumn<bool>("at_end");  // where the view starts
    QTest::newRow("one model: from the start") << 1 << false;
    QTest::newRow("several models: at the summary") << 3 << true;
  }

  void panelShowsTheResultsFileFromItsSecondLine() {
    QFETCH(int, models);
    QFETCH(bool, at_end);
    fitted_shell r;
    r.fit.models = models;
    r.fit.report = "FIRST LINE IS NOT SHOWN\r\n\r\n   TITLE   \r\ncol1  col2\t\r\nlast";
    QVERIFY(r.start_and_run());
    QCOMPARE(r.app.panel_text(), QString("\r\n   TITLE\r\ncol1  col2\r\nlast\r\n"));
    QCOMPARE(QString::fromStdString(r.fit.data_file_seen), QString::fromStdString(r.data));
    QPlainTextEdit* panel = r.app.panel();
    QCOMPARE(panel->textCursor().position(), at_end ? panel->toPlainText().size() : 0);
  }

  void eachStatusHasItsFollowUp_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("page");  // the box shown after the run, if any
    QTest::addColumn<bool>("asks_for_a_file");
    for (int status : {4, 5, 6}) {
      QTest::addRow("status %d: model library", status)
          << status << support::lf(shell::models_page_text()) << false;
    }
    QTest::newRow("status 7: example page")
        << 7 << support::lf(shell::example_page_text()) << false;
    QTest::newRow("status 3: nothing more") << 3 << QString() << false;
    QTest::newRow("status 1: another file") << 1 << QString() << true;
    QTest::newRow("status 2: another file") << 2 << QString() << true;
  }

  void eachStatusHasItsFollowUp() {
    QFETCH(int, status);
    QFETCH(QString, page);
    QFETCH(bool, asks_for_a_file);
    fitted_shell r;
    r.fit.status = status;
    r.fit.write_results = false;
    r.fit.record.results_name = r.dir.file("Data.out");
    QVERIFY(r.start_and_open());
    const int before = r.app.done();
    QVERIFY(r.app.choose("Toolbar/Run"));
    if (asks_for_a_file) {
      const auto dialog = support::answer_file_dialog(QString());
      QVERIFY(dialog.has_value());
      QCOMPARE(dialog->title, QString("Enter data file"));
    } else if (!page.isEmpty()) {
      const auto box = support::answer_message_box();
      QVERIFY(box.has_value());
      QCOMPARE(box->text, page);
    }
    QVERIFY(r.app.wait_done(before));
    QVERIFY(support::no_message_box_within(50));
    // A cancelled dialog leaves no data file open; otherwise Run stays offered.
    QCOMPARE(r.app.action("Toolbar/Run")->isEnabled(), !asks_for_a_file);
    // No run ended in order: there is no fit of this file to draw.
    QVERIFY(!r.app.action("Toolbar/XY_Plot")->isEnabled());
    QVERIFY(!r.app.action("Plots/XY Plot")->isEnabled());
    // The panel ends with the run's closing line; a missing data file has no results
    // file to name.
    const QString closing =
        "\r\n RESULTS FILE " + QString::fromStdString(r.dir.file("Data.out")) + "\r\n\r\n";
    QCOMPARE(r.app.panel_text(), status == 1 ? QString() : closing);
    QVERIFY(!std::filesystem::exists(r.dir.path() / "Data.out"));
  }

  void anotherFileLeavesNothingOfTheLastRunOnShow() {
    fitted_shell r({1, 2});
    r.fit.record.data_name = r.data;
    r.fit.record.fitted.resize(2);
    r.fit.record.fitted[0].model = 1;
    r.fit.record.fitted[1].model = 2;
    r.fit.record.ranking = {{1, -95.0, 0.0, 0.9, 0.0, "**"}, {2, -90.0, 5.0, 0.1, 0.95, "  "}};
    QVERIFY(r.start_and_run());
    QVERIFY(!r.app.panel_text().isEmpty());
    QVERIFY(support::wait_until([&] { return r.app.tk.table_window() != nullptr; }));
    QVERIFY(r.app.action("Fit/Results Table")->isEnabled());
    QVERIFY(
        r.app.action(QString::fromUtf8("Fit/Check the Verdict by Simulation\u2026"))->isEnabled());

    const std::string other = support::write_example_data(r.dir.path(), "Other.in");
    QVERIFY(support::open_data_file(r.app, other));
    QCOMPARE(r.app.panel_text(), QString());
    QVERIFY(support::wait_until([&] { return r.app.tk.table_window() == nullptr; }));
    QVERIFY(!r.app.action("Fit/Results Table")->isEnabled());
    QVERIFY(
        !r.app.action(QString::fromUtf8("Fit/Check the Verdict by Simulation\u2026"))->isEnabled());
    QVERIFY(!r.app.action("Toolbar/XY_Plot")->isEnabled());
  }

  void aFileARunCouldNotReadLeavesTheRecentFiles() {
    fitted_shell r;
    QVERIFY(r.start_and_open());
    auto recent = [&] {
      QStringList shown;
      for (QAction* a : r.app.action("File/Recent Files")->menu()->actions()) {
        if (a->isVisible()) shown << a->text();
      }
      return shown;
    };
    QCOMPARE(recent(), QStringList{QString::fromStdString(r.data)});
    r.fit.status = core::code(core::run_status::file_rejected);
    r.fit.write_results = false;
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(recent(), QStringList());
  }

  void withoutPausingARunIsNotPaced() {
    support::temp_dir dir;
    const std::string data = support::write_example_data(dir.path(), "Data.in");
    support::fake_fit fit;
    shell::services svc = fit.services();
    svc.run = [plain = svc.run](core::fit_context& ctx, std::string& name, fit::run_record& out) {
      for (int k = 0; k < 3; ++k)  // as a run paces each model's fit
        ctx.fe->idle(4000);
      return plain(ctx, name, out);
    };
    shell::timings slow = support::quick_timings();
    slow.settle = slow.flush = 4000;
    support::running_shell app(svc, slow);
    support::select_models(app.shell.choices(), {1});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(app.run_command("Settings/Pause at Each Model's Plot"));
    QVERIFY(!app.action("Settings/Pause at Each Model's Plot")->isChecked());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(app.run_command("Toolbar/Run", 60000));
    // Paced, the run and the report's loading would wait 3 x 4 s and 3 x 4 s.
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!app.panel_text().isEmpty());
  }

  void duringARunTheTitleSaysSoAndCommandsAreLost() {
    fitted_shell r;
    r.fit.hold();
    QVERIFY(r.start_and_open());
    const int before = r.app.done();
    QVERIFY(r.app.choose("Toolbar/Run"));
    QVERIFY(support::wait_until([&] { return r.fit.inside(); }));
    QCOMPARE(r.app.window()->windowTitle(), QString("Wait, computing model..."));
    // An information page comes up at once, without waiting for the run.
    QVERIFY(r.app.choose("Toolbar/About"));
    const auto about = support::answer_message_box();
    QVERIFY(about.has_value());
    QVERIFY(r.fit.inside());
    QVERIFY(
        r.app.choose("Settings/Weight/Turn-ON Robust Wt"));  // its command is lost, not its switch
    QCOMPARE(r.app.shell.choices().weighting_switch.load(), 2);
    r.fit.release();
    QVERIFY(r.app.wait_done(before));
    QVERIFY(support::no_message_box_within(200));
    QCOMPARE(r.app.done(), before + 1);
    QCOMPARE(r.app.window()->windowTitle(), main_title);
    QCOMPARE(r.fit.weighting_seen.load(), 0);
    QVERIFY(weighting_offered(r.app, true));
  }

  void weightingAndMethodAreSettingsOfTheRuns() {
    fitted_shell r;
    QVERIFY(r.start_and_open());
    const char* chain = "Settings/Weight/Chain Only (Reproduce Earlier Results)";
    const char* refine = "Settings/Weight/Refine Fits (Default)";
    QVERIFY(r.app.run_command("Settings/Weight/Turn-ON Robust Wt"));
    QVERIFY(r.app.run_command(chain));
    QVERIFY(weighting_offered(r.app, true));
    QVERIFY(r.app.action(chain)->isChecked() && !r.app.action(refine)->isChecked());
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(r.fit.weighting_seen.load(), 2);
    QCOMPARE(r.fit.chain_only_seen.load(), 1);
    // Clear after a robust run switches weighting off; the method stays.
    QVERIFY(r.app.run_command("Toolbar/Clear"));
    QCOMPARE(r.app.shell.choices().weighting_switch.load(), 0);
    QVERIFY(weighting_offered(r.app, false));
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(r.fit.weighting_seen.load(), 0);
    QCOMPARE(r.fit.chain_only_seen.load(), 1);
    QVERIFY(r.app.run_command(refine));
    QVERIFY(r.app.run_command("Settings/Weight/Turn-ON Robust Wt"));
    QVERIFY(r.app.run_command("Settings/Weight/Turn-OFF Robust Wt"));
    QVERIFY(weighting_offered(r.app, false));
    QVERIFY(!r.app.action(chain)->isChecked() && r.app.action(refine)->isChecked());
    QVERIFY(r.app.action(chain)->isEnabled() && r.app.action(refine)->isEnabled());
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(r.fit.weighting_seen.load(), 0);
    QCOMPARE(r.fit.chain_only_seen.load(), 0);
    QCOMPARE(r.fit.fast_seen.load(), 0);
    // Fast fitting: a check mark, seen by the next run; offered unless the chain alone
    // fits.
    const char* fast = "Settings/Fast Fitting";
    QVERIFY(!r.app.action(fast)->isChecked() && r.app.action(fast)->isEnabled());
    QVERIFY(r.app.run_command(fast));
    QVERIFY(r.app.action(fast)->isChecked());
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(r.fit.fast_seen.load(), 1);
    QVERIFY(r.app.run_command(chain));
    QVERIFY(!r.app.action(fast)->isEnabled());
    QVERIFY(r.app.run_command(refine));
    QVERIFY(r.app.action(fast)->isEnabled());
    QVERIFY(r.app.run_command(fast));
    QVERIFY(!r.app.action(fast)->isChecked());
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(r.fit.fast_seen.load(), 0);
    // The error model: one entry of three carries the radio mark, and the run uses it.
    const char* error_entries[] = {"Settings/Weight/Equal Weights",
                                   "Settings/Weight/Relative Weights (1/v\u00b2)",
                                   "Settings/Weight/Poisson Weights (1/v)"};
    QVERIFY(r.app.action(error_entries[0])->isChecked());
    for (const auto errors : {core::error_model::poisson, core::error_model::relative}) {
      const char* entry = error_entries[static_cast<int>(errors)];
      QVERIFY(r.app.run_command(entry));
      for (const char* other : error_entries)
        QCOMPARE(r.app.action(other)->isChecked(), other == entry);
      QVERIFY(r.app.run_command("Toolbar/Run"));
      QVERIFY(r.fit.errors_seen.load() == errors);
    }
  }

  void messagesOfTheRunAppearAsBoxes() {
    fitted_shell r;
    QVERIFY(r.app.start());
    // The run reaches the person through the context's front end.
    std::thread t([&] {
      r.app.ctx->fe->message(core::box_kind::warning, "first\r\nsecond");
      r.app.ctx->fe->set_title("Wait, computing model # 3");
    });
    const auto box = support::answer_message_box();
    QVERIFY(support::wait_until(
        [&] { return r.app.window()->windowTitle() == QString("Wait, computing model # 3"); }));
    t.join();
    QVERIFY(box.has_value());
    QCOMPARE(box->title, QString("Warning"));
    QCOMPARE(box->text, QString("first\nsecond"));
  }
};

INHIBRA_QT_TEST(RunCommandTest)
#include "run_command_qtest.moc"
