// The model-selection dialog: its boxes show the selection, its four selection
// buttons change boxes and selection at once, single ticks count only on "Close",
// the title bar cannot close it, and it fits its contents and the screen.
#include <QScreen>
#include <QTest>
#include <algorithm>

#include "models/model_catalogue.hpp"
#include "shell/model_dialog.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "toolkit/column_font.hpp"

using namespace inhibra;
using support::running_shell;

namespace {

// Ticks of the ten boxes, in model order.
QList<bool> ticks(QWidget* dialog) {
  QList<bool> out;
  for (auto* box : dialog->findChildren<QCheckBox*>())
    out << box->isChecked();
  return out;
}

QList<bool> selection(const shell::run_choices& choices) {
  QList<bool> out;
  for (const auto& k : choices.models)
    out << k.load();
  return out;
}

QList<bool> models_ticked(std::initializer_list<int> models) {
  QList<bool> out(10, false);
  for (int k : models)
    out[k - 1] = true;
  return out;
}

// Opens the dialog through the "Models" bar entry.
QWidget* open_dialog(running_shell& app) {
  if (!app.choose("Toolbar/Models")) return nullptr;
  support::wait_until([] { return support::model_dialog_window() != nullptr; });
  return support::model_dialog_window();
}

bool close_dialog(running_shell& app) {
  const int before = app.done();
  return support::press_dialog_button("Close") && app.wait_done(before);
}

}  // namespace

class ModelDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void boxesAndButtonsChangeTheSelection() {
    running_shell app;
    support::select_models(app.shell.choices(), {1, 7});
    QVERIFY(app.start());
    QWidget* dialog = open_dialog(app);
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->windowTitle(), QString("Inhibra"));
    QVERIFY(!app.window()->isEnabled());  // modal: the main window waits
    const auto boxes = dialog->findChildren<QCheckBox*>();
    for (int k = 0; k < 10; ++k)
      QCOMPARE(boxes[k]->text(), QString::fromUtf8(shell::model_labels[k].data(), 71));
    QVERIFY(toolkit::characters_line_up(boxes[0]->font()));  // the labels' columns line up
    QVERIFY(std::all_of(boxes.begin(), boxes.end(), [](QCheckBox* b) { return b->isVisible(); }));
    QStringList buttons;
    for (auto* b : dialog->findChildren<QPushButton*>())
      buttons << b->text();
    QCOMPARE(buttons, QStringList({"Linear", "Hyperbolic", "All Models", "Clear", "Close"}));
    QVERIFY(support::wait_until([&] { return ticks(dialog) == models_ticked({1, 7}); }));

    // The selection buttons change boxes and selection at once.
    const std::pair<QString, QList<bool>> presses[] = {
        {"All Models", models_ticked({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
        {"Linear", models_ticked({1, 2, 3, 4})},
        {"Hyperbolic", models_ticked({5, 6, 7, 8, 9, 10})},
        {"Clear", models_ticked({})}};
    for (const auto& [button, want] : presses) {
      QVERIFY(support::press_dialog_button(button));
      QCOMPARE(ticks(dialog), want);
      QCOMPARE(selection(app.shell.choices()), want);
    }
    // Single ticks count only on "Close"; the title bar cannot close the dialog.
    boxes[0]->setChecked(true);
    boxes[8]->setChecked(true);
    dialog->close();
    support::pump_events(20);
    QVERIFY(dialog->isVisible());
    QCOMPARE(selection(app.shell.choices()), models_ticked({}));
    QVERIFY(close_dialog(app));
    QCOMPARE(selection(app.shell.choices()), models_ticked({1, 9}));
    QVERIFY(support::wait_until([] { return support::model_dialog_window() == nullptr; }));
    QVERIFY(app.window()->isEnabled());
  }

  // Run also on a 1366 x 768 screen (a CTest entry of its own), where the dialog
  // once reached below the screen's edge.
  void dialogIsInsideTheScreen() {
    running_shell app;
    QVERIFY(app.start());
    QWidget* dialog = open_dialog(app);
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->screen()->availableGeometry().contains(dialog->frameGeometry()));
    // Its contents fit inside it without overlapping.
    QWidget* client = dialog->findChild<QCheckBox*>()->parentWidget();
    const QRect inside = client->rect();
    QList<QRect> taken;
    for (QWidget* w : client->findChildren<QWidget*>()) {
      if (qobject_cast<QCheckBox*>(w) == nullptr && qobject_cast<QPushButton*>(w) == nullptr) {
        continue;
      }
      QVERIFY2(inside.contains(w->geometry()) && w->width() >= w->sizeHint().width(),
               qPrintable(w->property("text").toString()));
      for (const QRect& r : taken)
        QVERIFY(!r.intersects(w->geometry()));
      taken << w->geometry();
    }
    QCOMPARE(taken.size(), 15);
    // The boxes are at least as large as asked for, one row apart.
    const auto boxes = client->findChildren<QCheckBox*>();
    const shell::dialog_geometry g = shell::model_dialog_geometry(app.tk);
    QVERIFY(boxes[0]->width() >= 700);
    QCOMPARE(boxes[1]->y() - boxes[0]->y(), g.row);
    QCOMPARE(g.row, g.height / 15);
    QVERIFY(g.width >= static_cast<int>(static_cast<float>(app.tk.getmaxwidth()) / 3.7f));
    QVERIFY(g.height >= static_cast<int>(static_cast<float>(app.tk.getmaxheight()) / 2.3f));
    // The textbook names, when the screen is wide enough for them, stand right of the
    // boxes and inside the dialog.
    if (g.textbook_x > 0) {
      QVERIFY(g.textbook_x >= boxes[0]->x() + boxes[0]->width());
      for (const models::model_facts& m : models::model_catalogue)
        QVERIFY(g.textbook_x + app.tk.textwidth(toolkit::gui_font, g.textbook_size, m.textbook) <=
                inside.width());
    }
    QVERIFY(close_dialog(app));
  }

  void buttonRowIsCentredWithTheGivenSpacing() {
    shell::dialog_geometry g;
    g.width = 1000;
    g.button_width = 80;
    g.button_step = 100;
    // Five buttons span 4 * 100 + 80 = 480 pixels, centred on 500.
    for (int k = 0; k < 5; ++k)
      QCOMPARE(g.button_x(k), 260 + 100 * k);
  }
};

INHIBRA_QT_TEST(ModelDialogTest)
#include "model_dialog_qtest.moc"
