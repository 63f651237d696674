// The text commands: the name rules, the panel's line rule, saving the panel,
// opening the results and the data file in the person's editor, choosing the data
// file, and the end of the program when the results cannot be read.
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "shell/editor.hpp"
#include "shell/shell_harness.hpp"
#include "shell/text_panel.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"

using namespace inhibra;
using support::running_shell;

namespace {

// Sets an environment variable (or removes it) until the end of the scope.
class env_override {
 public:
  env_override(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~env_override() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  env_override(const env_override&) = delete;
  env_override& operator=(const env_override&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// An editor that writes its argument count and arguments, one a line, to `record`.
std::string fake_editor(const support::temp_dir& dir, const std::string& record) {
  const std::string script =
      dir.write("editor.sh", "#!/bin/sh\nprintf '%s\\n' \"$#\" > '" + record +
                                 ".part'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + record +
                                 ".part'; done\nmv '" + record + ".part' '" + record + "'\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  return script;
}

std::optional<std::string> wait_for_file(const std::string& name) {
  if (!support::wait_until([&] { return std::filesystem::exists(name); }, 5000))
    return std::nullopt;
  return support::read_file(name);
}

// A shell after a run of the fake fit on `data`.
struct shell_with_report {
  explicit shell_with_report(const std::string& data_name = "Data.in")
      : data(support::write_example_data(dir.path(), data_name)), app(fit.services()) {
    support::select_models(*app.ctx, {1});
  }
  bool start() {
    return app.start() && support::open_data_file(app, data) && app.run_command("Run");
  }

  support::temp_dir dir;
  std::string data;
  support::fake_fit fit;
  running_shell app;
};

}  // namespace

class TextPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void savedTextNameReplacesTheLastExtension() {
    QCOMPARE(shell::saved_text_name("RUN.2.IN"), std::string("RUN.2.txt"));
    QCOMPARE(shell::saved_text_name("Data.in"), std::string("Data.txt"));
    QCOMPARE(shell::saved_text_name("/work/my.folder/data"),
             std::string("/work/my.folder/data.txt"));
    QCOMPARE(shell::saved_text_name("  /tmp/x.y.in  "), std::string("/tmp/x.y.txt"));
  }

  void panelLineIsCutThenTrimmed() {
    QCOMPARE(shell::panel_line("abc   \r"), std::string("abc\r\n"));
    QCOMPARE(shell::panel_line(""), std::string("\r\n"));
    QCOMPARE(shell::panel_line(std::string(200, 'x')), std::string(150, 'x') + "\r\n");
    QCOMPARE(shell::panel_line(std::string(150, 'y')), std::string(150, 'y') + "\r\n");
    QCOMPARE(shell::panel_line(std::string(149, 'z') + "\r"), std::string(149, 'z') + "\r\n");
    // Cut first, then the blanks before the cut go.
    QCOMPARE(shell::panel_line(std::string(148, 'a') + "     x"), std::string(148, 'a') + "\r\n");
  }

  void writelinesEndsEveryLineWithCrLf() {
    support::temp_dir dir;
    const std::string name = dir.file("out.txt");
    QVERIFY(shell::writelines(name, "a\r\nb"));
    QCOMPARE(support::read_file(name), std::string("a\r\nb\r\n"));
    QVERIFY(shell::writelines(name, "c\r\n"));
    QCOMPARE(support::read_file(name), std::string("c\r\n"));  // replaced, not appended
    QVERIFY(shell::writelines(name, ""));
    QCOMPARE(support::read_file(name), std::string());
    QVERIFY(!shell::writelines(dir.file("no/such/folder.txt"), "x"));
  }

  void saveWritesThePanelTextWithCrLf() {
    shell_with_report s;
    s.fit.report = "\r\n\r\n  REPORT\r\n  a   b\r\n";
    QVERIFY(s.start());
    const QString shown = s.app.panel_text();
    QCOMPARE(shown, QString("\r\n  REPORT\r\n  a   b\r\n"));
    const int before = s.app.done();
    QVERIFY(s.app.choose("File/Save Results"));
    const auto dialog = support::answer_file_dialog(QString::fromStdString(s.dir.file("saved")));
    QVERIFY(dialog.has_value());
    QVERIFY(s.app.wait_done(before));
    QCOMPARE(dialog->title, QString("Save Data"));
    QVERIFY(dialog->saving);
    QCOMPARE(dialog->proposed.size(), 1);
    QCOMPARE(dialog->proposed.front(), QString::fromStdString(s.dir.file("Data.txt")));
    QVERIFY(dialog->filters.front().contains("*.txt"));
    // The default extension is added.
    QCOMPARE(QString::fromStdString(support::read_file(s.dir.file("saved.txt"))), shown);
  }

  void cancelledSaveWritesNothing() {
    shell_with_report s;
    QVERIFY(s.start());
    const int before = s.app.done();
    QVERIFY(s.app.choose("File/Save Results"));
    QVERIFY(support::answer_file_dialog(QString()).has_value());
    QVERIFY(s.app.wait_done(before));
    QVERIFY(!std::filesystem::exists(s.dir.file("Data.txt")));
  }

  void printOpensTheResultsFileInTheEditor() {
    shell_with_report s;
    const std::string record = s.dir.file("editor-args");
    env_override visual("VISUAL", fake_editor(s.dir, record));
    QVERIFY(s.start());
    QVERIFY(s.app.run_command("File/Print Results"));
    const auto args = wait_for_file(record);
    QVERIFY(args.has_value());
    QCOMPARE(*args, "1\n" + s.dir.file("Data.out") + "\n");
    QVERIFY(s.app.action("File/Print Results")->isEnabled());
  }

  void printBeforeAnyRunDisablesTheEntry() {
    running_shell app;
    QVERIFY(app.start());
    app.action("File/Print Results")->setEnabled(true);  // the menus never offer it yet
    const int before = app.done();
    app.shell.handle_print();
    QVERIFY(app.wait_done(before));
    QVERIFY(!app.action("File/Print Results")->isEnabled());
    QVERIFY(support::no_message_box_within(50));
  }

  void editPassesANameWithBlanksAsOneArgument() {
    shell_with_report s("my data.in");
    const std::string record = s.dir.file("editor-args");
    env_override visual("VISUAL", fake_editor(s.dir, record) + " --new-window");
    QVERIFY(s.app.start());
    QVERIFY(support::open_data_file(s.app, s.data));
    QVERIFY(s.app.run_command("File/Edit Data File"));
    const auto args = wait_for_file(record);
    QVERIFY(args.has_value());
    QCOMPARE(*args, "2\n--new-window\n" + s.data + "\n");
  }

  void editorVariableIsEditorWhenVisualIsUnset() {
    shell_with_report s;
    const std::string record = s.dir.file("editor-args");
    env_override visual("VISUAL", std::nullopt);
    env_override editor("EDITOR", fake_editor(s.dir, record));
    QVERIFY(s.app.start());
    QVERIFY(support::open_data_file(s.app, s.data));
    QVERIFY(s.app.run_command("File/Edit Data File"));
    const auto args = wait_for_file(record);
    QVERIFY(args.has_value());
    QCOMPARE(*args, "1\n" + s.data + "\n");
  }

  void editOfAMissingFileDisablesTheEntry() {
    shell_with_report s;
    const std::string record = s.dir.file("editor-args");
    env_override visual("VISUAL", fake_editor(s.dir, record));
    QVERIFY(s.app.start());
    QVERIFY(support::open_data_file(s.app, s.data));
    std::filesystem::remove(s.data);
    QVERIFY(s.app.run_command("File/Edit Data File"));
    QVERIFY(!s.app.action("File/Edit Data File")->isEnabled());
    support::pump_events(100);
    QVERIFY(!std::filesystem::exists(record));
  }

  void withoutAnyEditorABoxSaysHowToSetOne() {
    shell_with_report s;
    env_override visual("VISUAL", std::nullopt);
    env_override editor("EDITOR", std::nullopt);
    env_override path("PATH", s.dir.path().string());  // no xdg-open there
    QVERIFY(!shell::find_editor().has_value());
    QVERIFY(s.app.start());
    QVERIFY(support::open_data_file(s.app, s.data));
    const int before = s.app.done();
    QVERIFY(s.app.choose("File/Edit Data File"));
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QCOMPARE(box->title, QString("Information"));
    QVERIFY(box->text.startsWith("No text editor could be started for " +
                                 QString::fromStdString(s.data) + "\n"));
    QVERIFY(box->text.contains("VISUAL or EDITOR"));
    QVERIFY(s.app.wait_done(before));
  }

  void openDialogStartsInTheWorkingFolderAndMovesToTheFile() {
    support::temp_dir start_dir;
    support::temp_dir data_dir;
    const std::string data = support::write_example_data(data_dir.path(), "Mixed.Case.in");
    running_shell app;
    std::filesystem::current_path(start_dir.path());
    QVERIFY(app.start());
    const int before = app.done();
    QVERIFY(app.choose("OpenData"));
    const auto dialog = support::answer_file_dialog(QString::fromStdString(data));
    QVERIFY(dialog.has_value());
    QVERIFY(app.wait_done(before));
    QCOMPARE(dialog->title, QString("Enter data file"));
    QCOMPARE(std::filesystem::path(dialog->directory.toStdString()),
             std::filesystem::canonical(start_dir.path()));
    QVERIFY(dialog->filters.front().contains("*.in"));
    // The name keeps its case and becomes the title; its folder becomes the working one.
    QCOMPARE(app.window()->windowTitle(), QString::fromStdString(data));
    QCOMPARE(std::filesystem::current_path(), std::filesystem::canonical(data_dir.path()));
  }

  void resultsThatCannotBeReadEndTheProgram() {
    support::temp_dir dir;
    const std::string data = support::write_example_data(dir.path());
    std::filesystem::create_directory(dir.file("Data.out"));  // not a file
    support::fake_fit fit;
    fit.write_results = false;
    running_shell app(fit.services());
    support::select_models(*app.ctx, {1});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(app.choose("Run"));
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QCOMPARE(box->text, "Textbox Data File Read - Fatal error!\nCould not open the output file " +
                            QString::fromStdString(dir.file("Data.out")));
    QVERIFY(app.wait_finished());
    QCOMPARE(app.exit_code(), 1);
    QCOMPARE(app.end_program_calls.load(), 1);
  }
};

INHIBRA_QT_TEST(TextPanelTest)
#include "text_panel_qtest.moc"
