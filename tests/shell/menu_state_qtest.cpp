// The menus and the tool bar: each one whole and in order (so every entry of before
// is offered once in its place), the radio marks of the settings, and a command
// offered only when its inputs exist (every entry checked after start-up, opening a
// file, cancelling the open dialog, a run with one and with several curves,
// clearing and saving).
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"

using namespace inhibra;

namespace {

using states = std::map<QString, bool>;

// Each menu in its order ("" is the bar, "Toolbar" the tool bar under it), and its
// entries greyed out right after start-up; "Results Table" comes after a run that
// fitted a model, and the check by simulation after a run that ranked two or more
// (none here).
struct menu {
  QString name;
  QStringList entries;
  QStringList off_at_start;
};
const menu menus[] = {
    {"", {"File", "Fit", "Plots", "Settings", "Help"}, {}},
    {"File",
     {"Open Data File", "Import Table\u2026", "Recent Files", "Edit Data File", "Save Results",
      "Print Results", "Example Data File", "Quit"},
     {"Recent Files", "Edit Data File", "Save Results", "Print Results"}},
    {"Fit",
     {"Models\u2026", "Run Curve-fit", "Clear Display", "Results Table",
      "Check the Verdict by Simulation\u2026", "MC50"},
     {"Run Curve-fit", "Clear Display", "Results Table", "Check the Verdict by Simulation\u2026"}},
    {"Plots",
     {"XY Plot", "Residuals", "Ca/Sp Plot", "MC50 Plot", "Lineweaver-Burk Plot", "Dixon Plot",
      "Show Model Plots of Last Run"},
     {"XY Plot", "Residuals", "Ca/Sp Plot", "MC50 Plot", "Lineweaver-Burk Plot", "Dixon Plot",
      "Show Model Plots of Last Run"}},
    {"Settings",
     {"Weight", "Pause at Each Model's Plot", "Fast Fitting", "Show Replicates as Mean \u00b1 SD",
      "Residuals Against Fitted Rate", "Axis Units..."},
     {"Weight"}},
    {"Settings/Weight",
     {"Turn-ON Robust Wt", "Turn-OFF Robust Wt", "Equal Weights", "Relative Weights (1/v\u00b2)",
      "Poisson Weights (1/v)", "Chain Only (Reproduce Earlier Results)", "Refine Fits (Default)"},
     {}},
    {"Help", {"Help", "Mechanism of Inhibition", "Model Library", "About"}, {}},
    {"Toolbar",
     {"OpenData", "Models", "Run", "Clear", "XY_Plot", "Residuals", "Ca/Sp_Plot", "MC50_Plot",
      "Help", "About", "Quit"},
     {"Run", "Clear", "XY_Plot", "Residuals", "Ca/Sp_Plot", "MC50_Plot"}}};

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

// The texts of the entries, separating lines left out.
QStringList texts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* a : actions) {
    if (!a->isSeparator()) out << a->text();
  }
  return out;
}

// The entries of menu `name` as shown, in order.
QList<QAction*> entries_of(const support::running_shell& app, const QString& name) {
  if (name.isEmpty()) return app.window()->menuBar()->actions();
  if (name == "Toolbar") return app.window()->findChild<QToolBar*>()->actions();
  return app.action(name)->menu()->actions();
}

// Changes to the start state, "+entry" enabled and "-entry" disabled, applied in order.
const QStringList after_open = {"+Settings/Weight",  "+File/Recent Files",   "+Toolbar/Run",
                                "+Toolbar/Clear",    "+File/Edit Data File", "+Fit/Run Curve-fit",
                                "+Fit/Clear Display"};
const QStringList after_run = {"+Toolbar/XY_Plot",
                               "+Toolbar/Residuals",
                               "+Toolbar/Ca/Sp_Plot",
                               "+Toolbar/MC50_Plot",
                               "+Plots/XY Plot",
                               "+Plots/Residuals",
                               "+Plots/Ca/Sp Plot",
                               "+Plots/MC50 Plot",
                               "+File/Save Results",
                               "+File/Print Results",
                               "+Plots/Lineweaver-Burk Plot",
                               "+Plots/Dixon Plot"};

}  // namespace

class MenuStateTest : public QObject {
  Q_OBJECT

 private slots:
  void menusKeepTheirOrder() {
    support::running_shell app;
    QVERIFY(app.start());
    for (const menu& m : menus)
      QCOMPARE(texts(entries_of(app, m.name)), m.entries);
    // Standard keys beside unchanged texts.
    QCOMPARE(app.action("File/Open Data File")->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(app.action("File/Save Results")->shortcut(), QKeySequence(QKeySequence::Save));
    QCOMPARE(app.action("File/Print Results")->shortcut(), QKeySequence(QKeySequence::Print));
    QCOMPARE(app.action("File/Quit")->shortcut(), QKeySequence(QKeySequence::Quit));
    QCOMPARE(app.action("Help/Help")->shortcut(), QKeySequence(QKeySequence::HelpContents));
    // The tool bar stays: it cannot be hidden, moved or floated away.
    auto* tools = app.window()->findChild<QToolBar*>();
    QVERIFY(!tools->toggleViewAction()->isVisible());
    QVERIFY(!tools->isMovable() && !tools->isFloatable());
  }

  // A radio mark follows the setting whichever way it changed: its entry, a click on
  // the entry already marked (nothing changes), Clear after a robust run.
  void radioMarksFollowTheSettings() {
    support::fitted_shell s;
    QVERIFY(s.start_and_open());
    auto& app = s.app;
    auto marked = [&app](const QStringList& group) {
      QStringList on;
      for (const QString& entry : group) {
        QAction* a = app.action("Settings/Weight/" + entry);
        if (!a->isCheckable() || !a->isEnabled()) return QStringList{"not a radio: " + entry};
        if (a->isChecked()) on << entry;
      }
      return on;
    };
    const QStringList robust = {"Turn-ON Robust Wt", "Turn-OFF Robust Wt"};
    const QStringList errors = {"Equal Weights", "Relative Weights (1/v\u00b2)",
                                "Poisson Weights (1/v)"};
    const QStringList method = {"Chain Only (Reproduce Earlier Results)", "Refine Fits (Default)"};
    QCOMPARE(marked(robust), QStringList{"Turn-OFF Robust Wt"});
    QCOMPARE(marked(errors), QStringList{"Equal Weights"});
    QCOMPARE(marked(method), QStringList{"Refine Fits (Default)"});
    for (int twice = 0; twice < 2; ++twice) {
      QVERIFY(app.run_command("Settings/Weight/Turn-ON Robust Wt"));
      QCOMPARE(marked(robust), QStringList{"Turn-ON Robust Wt"});
      QCOMPARE(app.shell.choices().weighting_switch.load(), 2);
      QVERIFY(app.run_command("Settings/Weight/Chain Only (Reproduce Earlier Results)"));
      QCOMPARE(marked(method), QStringList{"Chain Only (Reproduce Earlier Results)"});
      QVERIFY(app.shell.choices().chain_only.load());
    }
    for (int k = 2; k >= 0; --k) {
      QVERIFY(app.run_command("Settings/Weight/" + errors[k]));
      QCOMPARE(marked(errors), QStringList{errors[k]});
      QCOMPARE(static_cast<int>(app.shell.choices().errors.load()), k);
    }
    // Clear after a robust run turns robust weighting off, and the mark moves.
    QVERIFY(app.run_command("Toolbar/Run"));
    QVERIFY(app.run_command("Toolbar/Clear"));
    QCOMPARE(marked(robust), QStringList{"Turn-OFF Robust Wt"});
    QCOMPARE(marked(method), QStringList{"Chain Only (Reproduce Earlier Results)"});
    QVERIFY(app.run_command("Settings/Weight/Refine Fits (Default)"));
    QCOMPARE(marked(method), QStringList{"Refine Fits (Default)"});
    QVERIFY(!app.shell.choices().chain_only.load());
  }

  void entriesFollowTheCommands_data() {
    QTest::addColumn<QStringList>("steps");  // "open", "cancel", "save" or an entry to run
    QTest::addColumn<int>("curves");
    QTest::addColumn<QStringList>("changes");
    QTest::newRow("start") << QStringList() << 4 << QStringList();
    QTest::newRow("open") << QStringList{"open"} << 4 << after_open;
    QTest::newRow("cancelled open")
        << QStringList{"cancel"} << 4 << QStringList{"+Toolbar/Clear", "+Fit/Clear Display"};
    QTest::newRow("cancelled after an open")
        << QStringList{"open", "cancel"} << 4
        << after_open + QStringList{"-Toolbar/Run", "-Fit/Run Curve-fit"};
    QTest::newRow("run, four curves")
        << QStringList{"open", "Toolbar/Run"} << 4 << after_open + after_run;
    QTest::newRow("run, one curve")
        << QStringList{"open", "Fit/Run Curve-fit"} << 1
        << after_open + after_run + QStringList{"-Toolbar/Ca/Sp_Plot", "-Plots/Ca/Sp Plot"};
    QTest::newRow("clear after a run")
        << QStringList{"open", "Toolbar/Run", "Toolbar/Clear"} << 4
        << after_open + QStringList{"-Toolbar/Clear", "-Fit/Clear Display", "-File/Edit Data File"};
    QTest::newRow("save after a run")
        << QStringList{"open", "Toolbar/Run", "save"} << 4
        << after_open + after_run +
               QStringList{"-Toolbar/Run", "-Fit/Run Curve-fit", "-File/Save Results"};
    // A cancelled open enables Clear while no file is open; clearing takes it away.
    QTest::newRow("clear without a file")
        << QStringList{"cancel", "Toolbar/Clear"} << 4 << QStringList();
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
        QVERIFY(support::choose_and_answer_dialog(s.app, "Toolbar/OpenData"));
      } else if (step == "save") {
        QVERIFY(support::choose_and_answer_dialog(s.app, "File/Save Results",
                                                  QString::fromStdString(s.dir.file("saved.txt"))));
      } else {
        QVERIFY2(s.app.run_command(step), qPrintable(step));
        if (step == "Toolbar/Clear") QCOMPARE(s.app.panel_text(), QString());
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
