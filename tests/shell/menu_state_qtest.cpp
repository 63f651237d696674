// The menus offer a command only when its inputs exist: checked entry by entry
// after start-up, opening a file, cancelling the open dialog, a run (one and
// several curves), clearing and saving.
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"

using namespace inhibra;
using support::running_shell;

namespace {

using states = std::map<QString, bool>;

// The state right after start-up: every entry is listed.
states start_state() {
  return {{"File", true},
          {"OpenData", true},
          {"Models", true},
          {"Weight", false},
          {"Run", false},
          {"Clear", false},
          {"XY_Plot", false},
          {"Residuals", false},
          {"Ca/Sp_Plot", false},
          {"MC50_Plot", false},
          {"Help", true},
          {"About", true},
          {"Quit", true},
          {"File/Open Data File", true},
          {"File/Edit Data File", false},
          {"File/Run Curve-fit", false},
          {"File/XY Plot", false},
          {"File/Clear Display", false},
          {"File/Save Results", false},
          {"File/Print Results", false},
          {"File/Mechanism of Inhibition", true},
          {"File/Model Library", true},
          {"File/MC50", true},
          {"File/Example Data File", true},
          {"File/About", true},
          {"File/Quit", true},
          {"Weight/Turn-ON Robust Wt", true},
          {"Weight/Turn-OFF Robust Wt", false}};
}

states with(states base, const states& changes) {
  for (const auto& [entry, enabled] : changes)
    base[entry] = enabled;
  return base;
}

// Lists the entries whose state differs from the expected one.
QString differences(const states& got, const states& want) {
  QString out;
  for (const auto& [entry, enabled] : want) {
    const auto it = got.find(entry);
    if (it == got.end()) {
      out += entry + " missing; ";
    } else if (it->second != enabled) {
      out += entry + (enabled ? " should be enabled; " : " should be disabled; ");
    }
  }
  if (got.size() != want.size()) out += QStringLiteral("unexpected number of entries; ");
  return out;
}

// After opening a data file.
const states open_changes = {{"Weight", true},
                             {"Run", true},
                             {"Clear", true},
                             {"File/Edit Data File", true},
                             {"File/Run Curve-fit", true},
                             {"File/Clear Display", true}};

// After a run: plots, saving and printing offered.
const states run_done_changes = {{"XY_Plot", true},           {"Residuals", true},
                                 {"Ca/Sp_Plot", true},        {"MC50_Plot", true},
                                 {"File/XY Plot", true},      {"File/Save Results", true},
                                 {"File/Print Results", true}};

}  // namespace

class MenuStateTest : public QObject {
  Q_OBJECT

 private slots:
  void startOffersOnlyOpeningAndPages() {
    running_shell app;
    QVERIFY(app.start());
    QCOMPARE(differences(app.menu_states(), start_state()), QString());
    // The bar holds its entries in the order they were made.
    QStringList bar;
    for (QAction* a : app.window()->menuBar()->actions())
      bar << a->text();
    QCOMPARE(bar, QStringList({"File", "OpenData", "Models", "Weight", "Run", "Clear", "XY_Plot",
                               "Residuals", "Ca/Sp_Plot", "MC50_Plot", "Help", "About", "Quit"}));
    QStringList file;
    for (QAction* a : app.action("File")->menu()->actions())
      file << a->text();
    QCOMPARE(file, QStringList({"Open Data File", "Edit Data File", "Run Curve-fit", "XY Plot",
                                "Clear Display", "Save Results", "Print Results",
                                "Mechanism of Inhibition", "Model Library", "MC50",
                                "Example Data File", "About", "Quit"}));
  }

  void openingAFileOffersRunEditAndWeighting() {
    support::temp_dir dir;
    const auto data = support::write_example_data(dir.path());
    running_shell app;
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    QCOMPARE(differences(app.menu_states(), with(start_state(), open_changes)), QString());
    QCOMPARE(app.window()->windowTitle(), QString::fromStdString(data));
  }

  void cancellingTheOpenDialogKeepsRunDisabled() {
    running_shell app;
    QVERIFY(app.start());
    const int before = app.done();
    QVERIFY(app.choose("OpenData"));
    QVERIFY(support::answer_file_dialog(QString()).has_value());
    QVERIFY(app.wait_done(before));
    const states cancelled = with(start_state(), {{"Clear", true}, {"File/Clear Display", true}});
    QCOMPARE(differences(app.menu_states(), cancelled), QString());
  }

  void cancellingAfterAnOpenTakesRunAway() {
    support::temp_dir dir;
    const auto data = support::write_example_data(dir.path());
    running_shell app;
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    const int before = app.done();
    QVERIFY(app.choose("File/Open Data File"));
    QVERIFY(support::answer_file_dialog(QString()).has_value());
    QVERIFY(app.wait_done(before));
    // Open cancelled changes only Run, Clear and the opening entries; the rest stays open.
    const states want =
        with(with(start_state(), open_changes), {{"Run", false}, {"File/Run Curve-fit", false}});
    QCOMPARE(differences(app.menu_states(), want), QString());
  }

  void runWithSeveralCurvesOffersEveryPlot() {
    support::temp_dir dir;
    const auto data = support::write_example_data(dir.path());
    support::fake_fit fit;
    fit.curves = 4;
    running_shell app(fit.services());
    support::select_models(*app.ctx, {1, 2});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(app.run_command("Run"));
    QCOMPARE(fit.runs.load(), 1);
    const states want = with(with(start_state(), open_changes), run_done_changes);
    QCOMPARE(differences(app.menu_states(), want), QString());
  }

  void runWithOneCurveLeavesCaSpPlotDisabled() {
    support::temp_dir dir;
    const auto data = support::write_example_data(dir.path());
    support::fake_fit fit;
    fit.curves = 1;
    running_shell app(fit.services());
    support::select_models(*app.ctx, {3});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(app.run_command("File/Run Curve-fit"));
    const states want =
        with(with(with(start_state(), open_changes), run_done_changes), {{"Ca/Sp_Plot", false}});
    QCOMPARE(differences(app.menu_states(), want), QString());
  }

  void clearAfterARunTakesThePlotsAway() {
    support::temp_dir dir;
    const auto data = support::write_example_data(dir.path());
    support::fake_fit fit;
    running_shell app(fit.services());
    support::select_models(*app.ctx, {1});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(app.run_command("Run"));
    QVERIFY(app.run_command("Clear"));
    const states want =
        with(with(start_state(), open_changes),
             {{"Clear", false}, {"File/Clear Display", false}, {"File/Edit Data File", false}});
    QCOMPARE(differences(app.menu_states(), want), QString());
    QCOMPARE(app.panel_text(), QString());
  }

  void saveAfterARunTakesRunAway() {
    support::temp_dir dir;
    const auto data = support::write_example_data(dir.path());
    support::fake_fit fit;
    running_shell app(fit.services());
    support::select_models(*app.ctx, {1});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(app.run_command("Run"));
    const int before = app.done();
    QVERIFY(app.choose("File/Save Results"));
    QVERIFY(support::answer_file_dialog(QString::fromStdString(dir.file("saved.txt"))).has_value());
    QVERIFY(app.wait_done(before));
    const states want =
        with(with(with(start_state(), open_changes), run_done_changes),
             {{"Run", false}, {"File/Run Curve-fit", false}, {"File/Save Results", false}});
    QCOMPARE(differences(app.menu_states(), want), QString());
  }

  void clearWithoutADataFileDisablesOnlyClear() {
    running_shell app;
    QVERIFY(app.start());
    // Both Clear entries are enabled by a cancelled open while no file is open.
    const int before = app.done();
    QVERIFY(app.choose("OpenData"));
    QVERIFY(support::answer_file_dialog(QString()).has_value());
    QVERIFY(app.wait_done(before));
    QVERIFY(app.run_command("Clear"));
    QCOMPARE(differences(app.menu_states(), start_state()), QString());
  }
};

INHIBRA_QT_TEST(MenuStateTest)
#include "menu_state_qtest.moc"
