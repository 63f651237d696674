// The menus offer a command only when its inputs exist: every entry is checked
// after start-up, opening a file, cancelling the open dialog, a run (one and
// several curves), clearing and saving.
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"

using namespace inhibra;

namespace {

using states = std::map<QString, bool>;

// Each menu in its order ("" is the bar), and its entries greyed out right after
// start-up; "Results Table" comes after a run that fitted a model, and the check by
// simulation after a run that ranked two or more (none here).
struct menu {
  QString name;
  QStringList entries;
  QStringList off_at_start;
};
const menu menus[] = {
    {"",
     {"File", "OpenData", "Models", "Weight", "Settings", "Run", "Clear", "XY_Plot", "Residuals",
      "Ca/Sp_Plot", "MC50_Plot", "Help", "About", "Quit"},
     {"Weight", "Run", "Clear", "XY_Plot", "Residuals", "Ca/Sp_Plot", "MC50_Plot"}},
    {"File",
     {"Open Data File", "Import Table\u2026", "Recent Files", "Edit Data File", "Run Curve-fit",
      "XY Plot", "Results Table", "Check the Verdict by Simulation\u2026", "Clear Display",
      "Save Results", "Print Results", "Mechanism of Inhibition", "Model Library", "MC50",
      "Example Data File", "About", "Quit"},
     {"Recent Files", "Edit Data File", "Run Curve-fit", "XY Plot", "Results Table",
      "Check the Verdict by Simulation\u2026", "Clear Display", "Save Results", "Print Results"}},
    {"Weight",
     {"Turn-ON Robust Wt", "Turn-OFF Robust Wt", "Equal Weights", "Relative Weights (1/v\u00b2)",
      "Poisson Weights (1/v)", "Chain Only (Reproduce Earlier Results)", "Refine Fits (Default)"},
     {"Turn-OFF Robust Wt", "Refine Fits (Default)"}},
    {"Settings",
     {"Pause at Each Model's Plot", "Fast Fitting", "Show Model Plots of Last Run",
      "Show Replicates as Mean \u00b1 SD", "Axis Units..."},
     {"Show Model Plots of Last Run"}}};

states start_state() {
  states s;
  for (const menu& m : menus) {
    const QString prefix = m.name.isEmpty() ? QString() : m.name + "/";
    for (const QString& entry : m.entries)
      s[prefix + entry] = !m.off_at_start.contains(entry);
  }
  return s;
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

QStringList texts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* a : actions)
    out << a->text();
  return out;
}

// Changes to the start state, "+entry" enabled and "-entry" disabled, applied in order.
const QStringList after_open = {"+Weight",
                                "+File/Recent Files",
                                "+Run",
                                "+Clear",
                                "+File/Edit Data File",
                                "+File/Run Curve-fit",
                                "+File/Clear Display"};
const QStringList after_run = {"+XY_Plot",           "+Residuals",    "+Ca/Sp_Plot",
                               "+MC50_Plot",         "+File/XY Plot", "+File/Save Results",
                               "+File/Print Results"};

}  // namespace

class MenuStateTest : public QObject {
  Q_OBJECT

 private slots:
  void menusKeepTheirOrder() {
    support::running_shell app;
    QVERIFY(app.start());
    for (const menu& m : menus) {
      QCOMPARE(texts(m.name.isEmpty() ? app.window()->menuBar()->actions()
                                      : app.action(m.name)->menu()->actions()),
               m.entries);
    }
    // Standard keys beside unchanged texts.
    QCOMPARE(app.action("File/Open Data File")->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(app.action("File/Save Results")->shortcut(), QKeySequence(QKeySequence::Save));
    QCOMPARE(app.action("File/Print Results")->shortcut(), QKeySequence(QKeySequence::Print));
    QCOMPARE(app.action("File/Quit")->shortcut(), QKeySequence(QKeySequence::Quit));
  }

  void entriesFollowTheCommands_data() {
    QTest::addColumn<QStringList>("steps");  // "open", "cancel", "save" or an entry to run
    QTest::addColumn<int>("curves");
    QTest::addColumn<QStringList>("changes");
    QTest::newRow("start") << QStringList() << 4 << QStringList();
    QTest::newRow("open") << QStringList{"open"} << 4 << after_open;
    QTest::newRow("cancelled open")
        << QStringList{"cancel"} << 4 << QStringList{"+Clear", "+File/Clear Display"};
    QTest::newRow("cancelled after an open")
        << QStringList{"open", "cancel"} << 4
        << after_open + QStringList{"-Run", "-File/Run Curve-fit"};
    QTest::newRow("run, four curves") << QStringList{"open", "Run"} << 4 << after_open + after_run;
    QTest::newRow("run, one curve") << QStringList{"open", "File/Run Curve-fit"} << 1
                                    << after_open + after_run + QStringList{"-Ca/Sp_Plot"};
    QTest::newRow("clear after a run")
        << QStringList{"open", "Run", "Clear"} << 4
        << after_open + QStringList{"-Clear", "-File/Clear Display", "-File/Edit Data File"};
    QTest::newRow("save after a run")
        << QStringList{"open", "Run", "save"} << 4
        << after_open + after_run +
               QStringList{"-Run", "-File/Run Curve-fit", "-File/Save Results"};
    // A cancelled open enables Clear while no file is open; clearing takes it away.
    QTest::newRow("clear without a file") << QStringList{"cancel", "Clear"} << 4 << QStringList();
  }

  void entriesFollowTheCommands() {
    QFETCH(QStringList, steps);
    QFETCH(int, curves);
    QFETCH(QStringList, changes);
    support::fitted_shell s({1, 2});
    s.fit.curves = curves;
    QVERIFY(s.app.start());
    for (const QString& step : steps) {
      if (step == "open") {
        QVERIFY(support::open_data_file(s.app, s.data));
      } else if (step == "cancel") {
        QVERIFY(support::choose_and_answer_dialog(s.app, "OpenData"));
      } else if (step == "save") {
        QVERIFY(support::choose_and_answer_dialog(s.app, "File/Save Results",
                                                  QString::fromStdString(s.dir.file("saved.txt"))));
      } else {
        QVERIFY2(s.app.run_command(step), qPrintable(step));
        if (step == "Clear") QCOMPARE(s.app.panel_text(), QString());
      }
    }
    states want = start_state();
    for (const QString& change : changes)
      want[change.mid(1)] = change.front() == '+';
    QCOMPARE(differences(s.app.menu_states(), want), QString());
  }
};

INHIBRA_QT_TEST(MenuStateTest)
#include "menu_state_qtest.moc"
