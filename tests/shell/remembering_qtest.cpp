// A desktop that remembers and takes files from anywhere: a file named on the
// command line is open at start-up, a file dropped on the main window or chosen
// under "Recent Files" is opened, and weighting, model selection, plot pausing,
// the last folder, the recent files and the window's size come back in a second
// instance over the same settings file (a temporary one, never the person's).
#include <QMenu>
#include <QTest>
#include <filesystem>

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
