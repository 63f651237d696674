// Start-up and the command loop: the main window as it starts, charts that never
// hold a command up, a paused run that Help and Quit still reach, and the program
// ending promptly when its main window is closed, whatever it is doing.
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "shell/info_pages.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "toolkit/column_font.hpp"

using namespace inhibra;
using support::running_shell;

Q_DECLARE_METATYPE(std::vector<inhibra::shell::result_plot>)

namespace {

// A shell after a run; its plot commands put a chart in the Plots tab, as the plot
// facility does outside a run.
struct shell_after_run {
  bool start() { return s.start_and_run(); }

  std::vector<shell::result_plot> kinds;  // read once the command has returned
  support::fitted_shell s{{1}, "Data.in", [this](core::fit_context&, shell::result_plot kind) {
                            kinds.push_back(kind);
                            (void)s.app.tk.open_plot_window("Plot", [](QPainter&, const QRect&) {});
                          }};
  running_shell& app = s.app;
};

}  // namespace

class CommandLoopTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpShowsTheMainWindowWithAFixedPitchPanel() {
    running_shell app;
    QVERIFY(app.start());
    QMainWindow* w = app.window();
    QVERIFY(w != nullptr);
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QString("Inhibra: Enzyme Inhibition Modeling Software"));
    const int width = static_cast<int>(static_cast<float>(app.tk.getmaxwidth()) / 2.0f);
    QVERIFY(w->width() >= width);
    QPlainTextEdit* panel = app.panel();
    QVERIFY(panel != nullptr);
    QVERIFY(panel->isEnabled());
    QVERIFY(toolkit::characters_line_up(panel->font()));  // the report's columns line up
    QCOMPARE(panel->lineWrapMode(), QPlainTextEdit::NoWrap);
    // Five pixels of the window's background around the panel, also when it grows.
    QWidget* client = panel->parentWidget();
    const int client_width = client->width();
    w->resize(w->size() + QSize(40, 30));
    QVERIFY(support::wait_until([&] { return client->width() == client_width + 40; }));
    QCOMPARE(panel->geometry().topLeft(), QPoint(5, 5));
    QCOMPARE(client->width() - panel->geometry().right() - 1, 5);
    QCOMPARE(client->height() - panel->geometry().bottom() - 1, 5);
    const QImage shown = client->grab().toImage();
    QCOMPARE(shown.pixelColor(1, 1), QColor(153, 204, 255));
    QCOMPARE(shown.pixelColor(shown.width() - 2, shown.height() - 2), QColor(153, 204, 255));
    // Unknown command codes do nothing; the next command runs.
    app.shell.post(99);
    app.shell.post(18);
    QVERIFY(support::no_message_box_within(50));
    const int before = app.done();
    QVERIFY(support::choose_and_answer_box(app, "Toolbar/About"));
    QCOMPARE(app.done(), before + 1);
    QVERIFY(app.quit());
    QCOMPARE(app.exit_code(), 0);
    QCOMPARE(app.end_program_calls.load(), 1);
  }

  void splashScreenGoesOnAClickOrAKey() {
    for (bool by_key : {false, true}) {
      shell::timings slow = support::quick_timings();
      slow.splash = 60000;
      running_shell app({}, slow);
      app.start_async();
      QWidget* splash = nullptr;
      QVERIFY(support::wait_until([&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
          if (w->isVisible() && w->windowTitle() == "Inhibra" && w != app.window()) splash = w;
        }
        return splash != nullptr && !splash->findChildren<QWidget*>().isEmpty();
      }));
      QWidget* client = splash->findChildren<QWidget*>().front();
      // Its text is drawn in black on its background.
      QVERIFY(support::wait_until([&] {
        const QImage page = client->grab().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < page.height(); y += 2)
          for (int x = 0; x < page.width(); x += 2)
            colours.insert(page.pixel(x, y));
        return colours.contains(QColor(0, 0, 0).rgb()) &&
               colours.contains(QColor(242, 245, 250).rgb());
      }));
      // Clicked (or typed on) until it goes: it listens once its text is drawn.
      QPointer<QWidget> target = client;
      QVERIFY(support::wait_until(
          [&] {
            if (app.shell.in_command_loop()) return true;
            if (!target.isNull() && by_key) QTest::keyClick(target.data(), Qt::Key_Space);
            if (!target.isNull() && !by_key) QTest::mouseClick(target.data(), Qt::LeftButton);
            return false;
          },
          3000));
      QVERIFY(app.quit());
    }
  }

  // A run paused at a chart leaves the window usable: Help opens beside it, another
  // command is kept for after the run, and Quit ends the run (no results file) and
  // the program at once.
  void aPausedRunLetsHelpAndQuitThrough() {
    support::fitted_shell s({1});
    s.fit.show_chart = true;
    QVERIFY(s.start_and_open());
    QVERIFY(s.app.choose("Toolbar/Run"));
    QVERIFY(support::wait_until([&] { return support::paused_chart(s.app) != nullptr; }));
    QCOMPARE(s.app.window()->windowTitle(), support::lf(shell::plot_wait_title));
    QVERIFY(s.app.choose("Toolbar/Help"));
    const auto help = support::answer_message_box();
    QVERIFY(help.has_value());
    QCOMPARE(help->text, support::lf(shell::help_page_text()));
    QVERIFY(!s.app.finished());
    QVERIFY(s.app.choose("Toolbar/Quit"));
    QVERIFY(s.app.wait_finished(3000));
    QVERIFY(!std::filesystem::exists(s.dir.path() / "Data.out"));
    QCOMPARE(s.app.end_program_calls.load(), 1);
  }

  // Continue goes on with the run; Stop in the status bar ends it before its next
  // model and the run leaves no results file and no results on show.
  void continueGoesOnAndStopEndsTheRun() {
    for (const bool stop : {false, true}) {
      support::fitted_shell s({1});
      s.fit.show_chart = true;
      QVERIFY(s.start_and_open());
      const int before = s.app.done();
      QVERIFY(s.app.choose("Toolbar/Run"));
      QVERIFY(support::wait_until([&] { return support::paused_chart(s.app) != nullptr; }));
      toolkit::Workspace* ws = s.app.tk.workspace();
      QVERIFY(ws->stopButton()->isVisible());
      (stop ? ws->stopButton() : ws->continueButton())->click();
      QVERIFY(s.app.wait_done(before));
      QCOMPARE(std::filesystem::exists(s.dir.path() / "Data.out"), !stop);
      QVERIFY(!ws->stopButton()->isVisible());
      QCOMPARE(ws->noticeLabel()->text().contains(support::lf(shell::run_stopped_notice)), stop);
      QCOMPARE(s.app.panel_text().contains(support::lf(shell::run_stopped_notice)), stop);
      QCOMPARE(support::chart_titles(s.app).size(), stop ? 0 : 1);
      QVERIFY(s.app.quit());
    }
  }

  void plotCommandsDrawTheirPlots_data() {
    using shell::result_plot;
    QTest::addColumn<int>("best_model");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<std::vector<result_plot>>("kinds");
    QTest::newRow("hyperbolic best model")
        << 7 << QStringList{"Toolbar/XY_Plot",   "Plots/XY Plot",      "Toolbar/Residuals",
                            "Plots/Residuals",   "Toolbar/Ca/Sp_Plot", "Plots/Ca/Sp Plot",
                            "Toolbar/MC50_Plot", "Plots/MC50 Plot"}
        << std::vector<result_plot>{result_plot::xy,
                                    result_plot::xy,
                                    result_plot::residuals,
                                    result_plot::residuals,
                                    result_plot::kmapp_hyperbolic,
                                    result_plot::kmapp_hyperbolic,
                                    result_plot::mc50,
                                    result_plot::mc50};
    QTest::newRow("reciprocal views")
        << 2 << QStringList{"Plots/Lineweaver-Burk Plot", "Plots/Dixon Plot"}
        << std::vector<result_plot>{result_plot::lineweaver_burk, result_plot::dixon};
    QTest::newRow("linear best model")
        << 4 << QStringList{"Toolbar/Ca/Sp_Plot", "Plots/Ca/Sp Plot"}
        << std::vector<result_plot>{result_plot::kmapp_linear, result_plot::kmapp_linear};
  }

  void plotCommandsDrawTheirPlots() {
    QFETCH(int, best_model);
    QFETCH(QStringList, entries);
    QFETCH(std::vector<shell::result_plot>, kinds);
    shell_after_run r;
    r.s.fit.best_model = best_model;
    QVERIFY(r.start());
    const QString report = r.app.panel_text();
    const int first = r.app.done();
    for (const QString& entry : entries)
      QVERIFY2(r.app.run_command(entry), qPrintable(entry));  // none waits for its chart
    QCOMPARE(r.app.done(), first + static_cast<int>(entries.size()));
    QCOMPARE(r.app.panel_text(), report);
    QCOMPARE(r.kinds, kinds);
    QCOMPARE(support::chart_titles(r.app).size(), entries.size());
    QVERIFY(support::other_windows(r.app).isEmpty());
  }

  // The residuals are drawn against [S] until the switch asks for the fitted rate,
  // from either entry; the switch carries a check mark and changes nothing else.
  void residualSwitchChoosesTheResidualPlotsAxis() {
    using shell::result_plot;
    shell_after_run r;
    QVERIFY(r.start());
    const QString entry = "Settings/Residuals Against Fitted Rate";
    QVERIFY(!r.app.action(entry)->isChecked());
    QVERIFY(r.app.run_command("Toolbar/Residuals"));
    QVERIFY(r.app.run_command(entry));
    QVERIFY(r.app.action(entry)->isChecked());
    QVERIFY(r.app.run_command("Toolbar/Residuals"));
    QVERIFY(r.app.run_command("Plots/Residuals"));
    QVERIFY(r.app.run_command("Toolbar/XY_Plot"));
    QVERIFY(r.app.run_command(entry));
    QVERIFY(!r.app.action(entry)->isChecked());
    QVERIFY(r.app.run_command("Plots/Residuals"));
    QCOMPARE(r.kinds,
             (std::vector<result_plot>{result_plot::residuals, result_plot::residuals_by_rate,
                                       result_plot::residuals_by_rate, result_plot::xy,
                                       result_plot::residuals}));
  }

  void closingTheMainWindowEndsPromptly_data() {
    QTest::addColumn<QString>("during");  // the entry whose command is going on
    QTest::newRow("a run") << "Toolbar/Run";
    QTest::newRow("the model dialog") << "Toolbar/Models";
    QTest::newRow("an information box") << "Toolbar/Help";
  }

  void closingTheMainWindowEndsPromptly() {
    QFETCH(QString, during);
    support::fitted_shell s({3, 4});
    auto& app = s.app;
    s.fit.hold();
    QVERIFY(s.start_and_open());
    QVERIFY(app.choose(during));
    if (during == "Toolbar/Run") {
      QVERIFY(support::wait_until([&] { return s.fit.inside(); }));
      app.window()->close();
      QCOMPARE(app.end_program_calls.load(), 1);
      QVERIFY(app.tk.closing());
      // The run goes on to its end; nothing it does afterwards waits for the person.
      std::thread([&] { app.ctx->fe->message(core::box_kind::error, "late"); }).join();
      s.fit.release();
    } else if (during == "Toolbar/Models") {
      QVERIFY(support::wait_until([] { return support::model_dialog_window() != nullptr; }));
      QVERIFY(support::press_dialog_button("Clear"));
      app.window()->close();
    } else {
      // An information page blocks nothing: the main window still closes, and the
      // page goes with it.
      QVERIFY(support::wait_until([] { return support::shown_message_box() != nullptr; }));
      app.window()->close();
    }
    QVERIFY(app.wait_finished(3000));
    QCOMPARE(app.end_program_calls.load(), 1);
    QVERIFY(support::model_dialog_window() == nullptr);
    QVERIFY(support::no_message_box_within(50));
  }
};

INHIBRA_QT_TEST(CommandLoopTest)
#include "command_loop_qtest.moc"
