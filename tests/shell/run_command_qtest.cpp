// "Run": the model dialog instead of a run without models, the box without a data
// file, the report in the panel after a run, the follow-up page or dialog of each
// run status, the title during a run and the weighting switch around it.
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "data/file_names.hpp"
#include "shell/info_pages.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"

using namespace inhibra;
using support::running_shell;

namespace {

QString lf(std::string_view crlf_text) {
  QString t = QString::fromUtf8(crlf_text.data(), static_cast<qsizetype>(crlf_text.size()));
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return t;
}

// A shell with a data file open and models 1 and 2 selected, ready to run.
struct ready_shell {
  explicit ready_shell(support::fake_fit& fit)
      : data(support::write_example_data(dir.path())), app(fit.services()) {
    support::select_models(*app.ctx, {1, 2});
  }
  bool start() { return app.start() && support::open_data_file(app, data); }

  support::temp_dir dir;
  std::string data;
  running_shell app;
};

}  // namespace

class RunCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void runWithoutModelsOpensTheDialogInstead() {
    support::fake_fit fit;
    ready_shell r(fit);
    support::select_models(*r.app.ctx, {});
    QVERIFY(r.start());
    QVERIFY(r.app.choose("Run"));
    QVERIFY(support::wait_until([] { return support::model_dialog_window() != nullptr; }));
    QCOMPARE(fit.runs.load(), 0);
    // Choosing a model and closing the dialog; the next "Run" starts the fit.
    QWidget* dialog = support::model_dialog_window();
    QVERIFY(dialog != nullptr);
    dialog->findChildren<QCheckBox*>().at(2)->setChecked(true);
    const int before = r.app.done();
    QVERIFY(support::press_dialog_button("Close"));
    QVERIFY(r.app.wait_done(before));
    QVERIFY(support::no_message_box_within(50));
    QCOMPARE(r.app.ctx->imdl[2].load(), 1);
    QCOMPARE(fit.runs.load(), 0);
    QVERIFY(r.app.run_command("Run"));
    QCOMPARE(fit.runs.load(), 1);
  }

  void runWithoutADataFileShowsTheTwoLineBox() {
    support::fake_fit fit;
    running_shell app(fit.services());
    support::select_models(*app.ctx, {1});
    QVERIFY(app.start());
    // The menus never offer Run without a file; the command is reached directly.
    app.action("Run")->setEnabled(true);
    app.action("File/Run Curve-fit")->setEnabled(true);
    const int before = app.done();
    app.shell.handle_run();
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QCOMPARE(box->title, QString("Information"));
    QCOMPARE(box->text, QString("No data file open - Warning!\nOpen a data file for input. "));
    QVERIFY(app.wait_done(before));
    QVERIFY(!app.action("Run")->isEnabled());
    QVERIFY(!app.action("File/Run Curve-fit")->isEnabled());
    QCOMPARE(fit.runs.load(), 0);
    // Opening a file offers Run again.
    support::temp_dir dir;
    QVERIFY(support::open_data_file(app, support::write_example_data(dir.path())));
    QVERIFY(app.action("Run")->isEnabled());
    QVERIFY(app.action("File/Run Curve-fit")->isEnabled());
  }

  void panelShowsTheResultsFileFromItsSecondLine() {
    support::fake_fit fit;
    fit.report = "FIRST LINE IS NOT SHOWN\r\n\r\n   TITLE   \r\ncol1  col2\t\r\nlast";
    ready_shell r(fit);
    QVERIFY(r.start());
    QVERIFY(r.app.run_command("Run"));
    QCOMPARE(r.app.panel_text(), QString("\r\n   TITLE\r\ncol1  col2\r\nlast\r\n"));
    QCOMPARE(QString::fromStdString(fit.data_file_seen), QString::fromStdString(r.data));
    // The main title is back once the run is done.
    QCOMPARE(r.app.window()->windowTitle(),
             QString("Inhibra: Enzyme Inhibition Modeling Software"));
  }

  void longResultsLinesAreCutButKeepTheirBreak() {
    support::fake_fit fit;
    const std::string long_line(200, 'x');
    const std::string exact(150, 'y');
    const std::string almost(149, 'z');
    fit.report = "\r\n" + long_line + "\r\n" + exact + "\r\n" + almost + "\r\nnext\r\n";
    ready_shell r(fit);
    QVERIFY(r.start());
    QVERIFY(r.app.run_command("Run"));
    const QString want = QString::fromStdString(std::string(150, 'x') + "\r\n" + exact + "\r\n" +
                                                almost + "\r\nnext\r\n");
    QCOMPARE(r.app.panel_text(), want);
  }

  void oneModelShowsTheReportFromItsStart() {
    support::fake_fit fit;
    fit.models = 1;
    ready_shell r(fit);
    QVERIFY(r.start());
    QVERIFY(r.app.run_command("Run"));
    QCOMPARE(r.app.panel()->textCursor().position(), 0);
  }

  void severalModelsLeaveTheViewAtTheSummary() {
    support::fake_fit fit;
    fit.models = 3;
    ready_shell r(fit);
    QVERIFY(r.start());
    QVERIFY(r.app.run_command("Run"));
    QPlainTextEdit* panel = r.app.panel();
    QCOMPARE(panel->textCursor().position(), panel->toPlainText().size());
  }

  void titleSaysComputingDuringTheRun() {
    support::fake_fit fit;
    fit.hold();
    ready_shell r(fit);
    QVERIFY(r.start());
    const int before = r.app.done();
    QVERIFY(r.app.choose("Run"));
    QVERIFY(support::wait_until([&] { return fit.inside(); }));
    QCOMPARE(r.app.window()->windowTitle(), QString("Wait, computing model..."));
    fit.release();
    QVERIFY(r.app.wait_done(before));
    QCOMPARE(r.app.window()->windowTitle(),
             QString("Inhibra: Enzyme Inhibition Modeling Software"));
  }

  void statusesFourFiveAndSixShowTheModelLibrary() {
    for (int status : {4, 5, 6}) {
      support::fake_fit fit;
      fit.status = status;
      ready_shell r(fit);
      QVERIFY(r.start());
      const int before = r.app.done();
      QVERIFY(r.app.choose("Run"));
      const auto box = support::answer_message_box();
      QVERIFY(box.has_value());
      QCOMPARE(box->text, lf(shell::models_page_text()));
      QVERIFY(r.app.wait_done(before));
      // The menus offer what a finished run offers, whatever the status.
      QVERIFY(r.app.action("XY_Plot")->isEnabled());
      QCOMPARE(r.app.panel_text(), QString());
    }
  }

  void statusSevenShowsTheExampleDataFile() {
    support::fake_fit fit;
    fit.status = 7;
    ready_shell r(fit);
    QVERIFY(r.start());
    const int before = r.app.done();
    QVERIFY(r.app.choose("Run"));
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QCOMPARE(box->text, lf(shell::example_page_text()));
    QVERIFY(r.app.wait_done(before));
  }

  void statusThreeShowsNothingMore() {
    support::fake_fit fit;
    fit.status = 3;
    ready_shell r(fit);
    QVERIFY(r.start());
    QVERIFY(r.app.run_command("Run"));
    QVERIFY(support::no_message_box_within(100));
    QVERIFY(r.app.action("Run")->isEnabled());
  }

  void statusesOneAndTwoOfferAnotherDataFile() {
    for (int status : {1, 2}) {
      support::fake_fit fit;
      fit.status = status;
      fit.write_results = false;
      ready_shell r(fit);
      QVERIFY(r.start());
      const int before = r.app.done();
      QVERIFY(r.app.choose("Run"));
      const auto dialog = support::answer_file_dialog(QString());
      QVERIFY(dialog.has_value());
      QCOMPARE(dialog->title, QString("Enter data file"));
      QVERIFY(r.app.wait_done(before));
      // Cancelled: no data file is open any more.
      QVERIFY(!r.app.action("Run")->isEnabled());
    }
  }

  void weightingChosenDuringARunIsShownAfterIt() {
    support::fake_fit fit;
    fit.hold();
    ready_shell r(fit);
    QVERIFY(r.start());
    const int before = r.app.done();
    QVERIFY(r.app.choose("Run"));
    QVERIFY(support::wait_until([&] { return fit.inside(); }));
    QVERIFY(r.app.choose("Weight/Turn-ON Robust Wt"));  // its command is lost, not its switch
    QCOMPARE(r.app.ctx->nwt_global.load(), 2);
    fit.release();
    QVERIFY(r.app.wait_done(before));
    QCOMPARE(fit.weighting_seen.load(), 0);
    QVERIFY(!r.app.action("Weight/Turn-ON Robust Wt")->isEnabled());
    QVERIFY(r.app.action("Weight/Turn-OFF Robust Wt")->isEnabled());
  }

  void clearAfterARobustRunSwitchesWeightingOff() {
    support::fake_fit fit;
    ready_shell r(fit);
    QVERIFY(r.start());
    QVERIFY(r.app.run_command("Weight/Turn-ON Robust Wt"));
    QCOMPARE(r.app.ctx->nwt_global.load(), 2);
    QVERIFY(!r.app.action("Weight/Turn-ON Robust Wt")->isEnabled());
    QVERIFY(r.app.action("Weight/Turn-OFF Robust Wt")->isEnabled());
    QVERIFY(r.app.run_command("Run"));
    QCOMPARE(fit.weighting_seen.load(), 2);
    QVERIFY(r.app.run_command("Clear"));
    QCOMPARE(r.app.ctx->nwt_global.load(), 0);
    QVERIFY(r.app.action("Weight/Turn-ON Robust Wt")->isEnabled());
    QVERIFY(!r.app.action("Weight/Turn-OFF Robust Wt")->isEnabled());
    // The next run is unweighted.
    QVERIFY(r.app.run_command("Run"));
    QCOMPARE(fit.weighting_seen.load(), 0);
  }

  void weightingEntriesToggle() {
    support::fake_fit fit;
    ready_shell r(fit);
    QVERIFY(r.start());
    QVERIFY(r.app.run_command("Weight/Turn-ON Robust Wt"));
    QVERIFY(r.app.run_command("Weight/Turn-OFF Robust Wt"));
    QCOMPARE(r.app.ctx->nwt_global.load(), 0);
    QVERIFY(r.app.action("Weight/Turn-ON Robust Wt")->isEnabled());
    QVERIFY(!r.app.action("Weight/Turn-OFF Robust Wt")->isEnabled());
  }

  void commandChosenDuringARunIsLost() {
    support::fake_fit fit;
    fit.hold();
    ready_shell r(fit);
    QVERIFY(r.start());
    const int before = r.app.done();
    QVERIFY(r.app.choose("Run"));
    QVERIFY(support::wait_until([&] { return fit.inside(); }));
    QVERIFY(r.app.choose("About"));
    fit.release();
    QVERIFY(r.app.wait_done(before));
    QVERIFY(support::no_message_box_within(200));
    QCOMPARE(r.app.done(), before + 1);
  }

  void messagesOfTheRunAppearAsBoxes() {
    support::fake_fit fit;
    ready_shell r(fit);
    r.app.shell.handle_none();
    QVERIFY(r.start());
    // The run reaches the person through the context's front end.
    QVERIFY(r.app.ctx->fe != nullptr);
    std::thread t([&] { r.app.ctx->fe->message(fit::box_kind::warning, "first\r\nsecond"); });
    const auto box = support::answer_message_box();
    t.join();
    QVERIFY(box.has_value());
    QCOMPARE(box->title, QString("Warning"));
    QCOMPARE(box->icon, QMessageBox::Warning);
    QCOMPARE(box->text, QString("first\nsecond"));
    std::thread title([&] { r.app.ctx->fe->set_title("Wait, computing model # 3"); });
    QVERIFY(support::wait_until(
        [&] { return r.app.window()->windowTitle() == QString("Wait, computing model # 3"); }));
    title.join();
  }
};

INHIBRA_QT_TEST(RunCommandTest)
#include "run_command_qtest.moc"
