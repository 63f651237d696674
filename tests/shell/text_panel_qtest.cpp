// The text commands: the name rules, the panel's line rule, saving the panel,
// opening the results and the data file in the person's editor, choosing the data
// file, and the end of the program when the results cannot be read.
#include <QPrinter>
#include <QScopeGuard>
#include <QTest>
#include <atomic>
#include <cstdlib>
#include <filesystem>
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
[[nodiscard]] auto env_override(const char* name, const std::optional<std::string>& value) {
  std::optional<QByteArray> old;
  if (qEnvironmentVariableIsSet(name)) old = qgetenv(name);
  value ? qputenv(name, QByteArray::fromStdString(*value)) : qunsetenv(name);
  return qScopeGuard([name, old] { old ? qputenv(name, *old) : qunsetenv(name); });
}

// An editor that writes its argument count and arguments, one a line, to `record`.
std::string fake_editor(const support::temp_dir& dir, const std::string& record) {
  const std::string script =
      dir.write("editor.sh", "#!/bin/sh\nprintf '%s\\n' \"$#\" > '" + record +
                                 ".part'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + record +
                                 ".part'; done\nmv '" + record + ".part' '" + record + "'\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  return script;
}

// The file's text once it exists, or an empty text after five seconds.
std::string wait_for_file(const std::string& name) {
  support::wait_until([&] { return std::filesystem::exists(name); }, 5000);
  return std::filesystem::exists(name) ? support::read_file(name) : std::string();
}

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
    // A link at the name is replaced by the saved text; what it pointed to stays.
    const std::string kept = dir.file("kept.txt");
    QVERIFY(shell::writelines(kept, "earlier\r\n"));
    std::filesystem::create_symlink(kept, dir.file("link.txt"));
    QVERIFY(shell::writelines(dir.file("link.txt"), "new\r\n"));
    QCOMPARE(support::read_file(kept), std::string("earlier\r\n"));
    QCOMPARE(support::read_file(dir.file("link.txt")), std::string("new\r\n"));
    QVERIFY(!std::filesystem::is_symlink(dir.file("link.txt")));
  }

  void saveWritesThePanelTextWithCrLf() {
    support::fitted_shell s;
    s.fit.report = "\r\n\r\n  REPORT\r\n  a   b\r\n";
    QVERIFY(s.start_and_run());
    const QString shown = s.app.panel_text();
    QCOMPARE(shown, QString("\r\n  REPORT\r\n  a   b\r\n"));
    const auto dialog = support::choose_and_answer_dialog(
        s.app, "File/Save Results", QString::fromStdString(s.dir.file("saved")));
    QVERIFY(dialog.has_value());
    QCOMPARE(dialog->title, QString("Save Data"));
    QVERIFY(dialog->saving);
    QCOMPARE(dialog->proposed, QStringList{QString::fromStdString(s.dir.file("Data.txt"))});
    QVERIFY(dialog->filters.front().contains("*.txt"));
    // The default extension is added.
    QCOMPARE(QString::fromStdString(support::read_file(s.dir.file("saved.txt"))), shown);
  }

  void cancelledSaveWritesNothing() {
    support::fitted_shell s;
    QVERIFY(s.start_and_run());
    QVERIFY(support::choose_and_answer_dialog(s.app, "File/Save Results"));
    QVERIFY(!std::filesystem::exists(s.dir.file("Data.txt")));
  }

  void entriesOpenTheirFileInTheEditor_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("data_name");
    QTest::addColumn<bool>("by_visual");  // else by EDITOR, with VISUAL unset
    QTest::addColumn<QString>("option");  // given in the variable before the name
    QTest::newRow("edit: VISUAL with an option, a name with blanks")
        << "File/Edit Data File"
        << "my data.in" << true << "--new-window";
    QTest::newRow("edit: EDITOR when VISUAL is unset") << "File/Edit Data File"
                                                       << "Data.in" << false << "";
  }

  void entriesOpenTheirFileInTheEditor() {
    QFETCH(QString, entry);
    QFETCH(QString, data_name);
    QFETCH(bool, by_visual);
    QFETCH(QString, option);
    support::fitted_shell s({1}, data_name.toStdString());
    const std::string record = s.dir.file("editor-args");
    std::string command = fake_editor(s.dir, record);
    if (!option.isEmpty()) command += " " + option.toStdString();
    const auto visual = env_override("VISUAL", by_visual ? std::optional(command) : std::nullopt);
    const auto editor = env_override("EDITOR", by_visual ? std::nullopt : std::optional(command));
    QVERIFY(s.start_and_run());
    QVERIFY(s.app.run_command(entry));
    const std::string& file = s.data;
    const std::string args = option.isEmpty() ? "1\n" : "2\n" + option.toStdString() + "\n";
    QCOMPARE(wait_for_file(record), args + file + "\n");
    QVERIFY(s.app.action(entry)->isEnabled());  // offered again
  }

  // Print Results prints the results file as written through the print dialog; a
  // chooser stands in for it here and prints to a PDF file, which holds the
  // report's lines. Cancelled, nothing is printed; without a results file the
  // entry is greyed out.
  void printResultsPrintsTheReport() {
    support::fitted_shell s;
    const std::string pdf = s.dir.file("printed.pdf");
    std::atomic<int> asked{0};
    std::atomic<bool> print{false};
    s.app.tk.set_printer_chooser([&](QPrinter& printer, QWidget*) {
      ++asked;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return print.load();
    });
    QVERIFY(s.start_and_run());
    QVERIFY(s.app.run_command("File/Print Results"));
    QCOMPARE(asked.load(), 1);
    QVERIFY(!std::filesystem::exists(pdf));  // cancelled
    print = true;
    QVERIFY(s.app.run_command("File/Print Results"));
    QCOMPARE(asked.load(), 2);
    QVERIFY(std::filesystem::exists(pdf));
    QCOMPARE(support::read_file(pdf).substr(0, 5), std::string("%PDF-"));
    // The text of the PDF, as a reader extracts it, holds every line of the report.
    const std::string text_file = s.dir.file("printed.txt");
    const std::string extract = "pdftotext '" + pdf + "' '" + text_file + "'";
    QVERIFY2(std::system(extract.c_str()) == 0, "pdftotext (poppler-utils) is needed");
    const QString printed = QString::fromStdString(support::read_file(text_file));
    QStringList report_lines;
    for (const QString& line : QString::fromStdString(s.fit.report).split("\r\n"))
      if (!line.trimmed().isEmpty()) report_lines << line.trimmed();
    QVERIFY(report_lines.size() >= 2);
    for (const QString& line : report_lines)
      QVERIFY2(printed.simplified().contains(line.simplified()), qPrintable(line));
    QVERIFY(s.app.action("File/Print Results")->isEnabled());
    QVERIFY(support::no_message_box_within(50));

    std::filesystem::remove(s.dir.file("Data.out"));
    QVERIFY(s.app.run_command("File/Print Results"));
    QCOMPARE(asked.load(), 2);
    QVERIFY(!s.app.action("File/Print Results")->isEnabled());
  }

  void editOfAMissingFileDisablesTheEntry() {
    support::fitted_shell s;
    const std::string record = s.dir.file("editor-args");
    const auto visual = env_override("VISUAL", fake_editor(s.dir, record));
    QVERIFY(s.start_and_open());
    std::filesystem::remove(s.data);
    QVERIFY(s.app.run_command("File/Edit Data File"));
    QVERIFY(!s.app.action("File/Edit Data File")->isEnabled());
    support::pump_events(100);
    QVERIFY(!std::filesystem::exists(record));
  }

  void withoutAnyEditorABoxSaysHowToSetOne() {
    support::fitted_shell s;
    const auto visual = env_override("VISUAL", std::nullopt);
    const auto editor = env_override("EDITOR", std::nullopt);
    const auto path = env_override("PATH", s.dir.path().string());  // no xdg-open there
    QVERIFY(!shell::find_editor().has_value());
    QVERIFY(s.start_and_open());
    const auto box = support::choose_and_answer_box(s.app, "File/Edit Data File");
    QVERIFY(box.has_value());
    QCOMPARE(box->title, QString("Information"));
    QVERIFY(box->text.startsWith("No text editor could be started for " +
                                 QString::fromStdString(s.data) + "\n"));
    QVERIFY(box->text.contains("VISUAL or EDITOR"));
  }

  void openDialogStartsInTheWorkingFolderAndMovesToTheFile() {
    support::temp_dir start_dir;
    support::temp_dir data_dir;
    const std::string data = support::write_example_data(data_dir.path(), "Mixed.Case.in");
    running_shell app;
    std::filesystem::current_path(start_dir.path());
    QVERIFY(app.start());
    const auto dialog =
        support::choose_and_answer_dialog(app, "Toolbar/OpenData", QString::fromStdString(data));
    QVERIFY(dialog.has_value());
    QCOMPARE(dialog->title, QString("Enter data file"));
    QCOMPARE(std::filesystem::path(dialog->directory.toStdString()),
             std::filesystem::canonical(start_dir.path()));
    // Native files and tables, either case.
    QCOMPARE(
        dialog->filters,
        QStringList{"Data files (*.in *.csv *.tsv *.tab *.xlsx *.IN *.CSV *.TSV *.TAB *.XLSX)"});
    // The name keeps its case and becomes the title; its folder becomes the working one.
    QCOMPARE(app.window()->windowTitle(), QString::fromStdString(data));
    QCOMPARE(std::filesystem::current_path(), std::filesystem::canonical(data_dir.path()));
  }

  void resultsThatCannotBeReadEndTheProgram() {
    support::fitted_shell s;
    auto& app = s.app;
    std::filesystem::create_directory(s.dir.file("Data.out"));  // not a file
    s.fit.write_results = false;
    QVERIFY(s.start_and_open());
    QVERIFY(app.choose("Toolbar/Run"));
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QCOMPARE(box->text, "Textbox Data File Read - Fatal error!\nCould not open the output file " +
                            QString::fromStdString(s.dir.file("Data.out")));
    QVERIFY(app.wait_finished());
    QCOMPARE(app.exit_code(), 1);
    QCOMPARE(app.end_program_calls.load(), 1);
  }
};

INHIBRA_QT_TEST(TextPanelTest)
#include "text_panel_qtest.moc"
