// The information pages: each command shows its page as one information box, the
// pages fit their buffers, and the example page's data lines form a valid data file.
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <array>
#include <sstream>

#include "data/data_file.hpp"
#include "shell/info_pages.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"

using namespace inhibra;
using support::lf;
using support::running_shell;

namespace {

std::vector<std::string> lines_of(const std::string& crlf_text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = crlf_text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(crlf_text.substr(start, end - start));
  lines.push_back(crlf_text.substr(start));
  return lines;
}

}  // namespace

class InfoPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void eachPageOpensAsOneInformationBox_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text");
    QTest::newRow("example") << "File/Example Data File" << lf(shell::example_page_text());
    QTest::newRow("models") << "Help/Model Library" << lf(shell::models_page_text());
    QTest::newRow("mechanism") << "Help/Mechanism of Inhibition"
                               << lf(shell::mechanism_page_text());
    QTest::newRow("mc50") << "Fit/MC50" << lf(shell::mc50_page_text());
    QTest::newRow("help bar") << "Toolbar/Help" << lf(shell::help_page_text());
    QTest::newRow("help menu") << "Help/Help" << lf(shell::help_page_text());
    QTest::newRow("about bar") << "Toolbar/About" << lf(shell::about_page_text());
    QTest::newRow("about menu") << "Help/About" << lf(shell::about_page_text());
  }

  void eachPageOpensAsOneInformationBox() {
    QFETCH(QString, entry);
    QFETCH(QString, text);
    running_shell app;
    QVERIFY(app.start());
    const auto box = support::choose_and_answer_box(app, entry);
    QVERIFY(box.has_value());
    QCOMPARE(box->title, QString("Information"));
    QCOMPARE(box->icon, QMessageBox::Information);
    QCOMPARE(box->text, text);
    QVERIFY(support::no_message_box_within(100));
    // The loop goes on: the next command runs.
    QVERIFY(support::choose_and_answer_dialog(app, "File/Open Data File"));
  }

  // Run also on a 1366 x 768 screen (a CTest entry of its own): a page taller than
  // the screen scrolls inside a box that fits it, its button in reach.
  void everyPageFitsTheScreen() {
    running_shell app;
    QVERIFY(app.start());
    const int room = app.window()->screen()->availableGeometry().height();
    for (const char* entry : {"Toolbar/Help", "Help/Model Library", "Help/Mechanism of Inhibition",
                              "Fit/MC50", "File/Example Data File", "Toolbar/About"}) {
      const int before = app.done();
      QVERIFY(app.choose(entry));
      QVERIFY(support::wait_until([] { return support::shown_message_box() != nullptr; }));
      QMessageBox* box = support::shown_message_box();
      QVERIFY2(box->frameGeometry().height() <= room, entry);
      QVERIFY(!box->text().isEmpty());
      QVERIFY(support::answer_message_box().has_value());
      QVERIFY(app.wait_done(before));
    }
  }

  void pagesFitTheirBuffers() {
    const std::array<std::pair<std::string, int>, 6> pages = {{
        {shell::example_page_text(), shell::example_page_buffer},
        {shell::models_page_text(), shell::models_page_buffer},
        {shell::mechanism_page_text(), shell::mechanism_page_buffer},
        {shell::mc50_page_text(), shell::mc50_page_buffer},
        {shell::help_page_text(), shell::help_page_buffer},
        {shell::about_page_text(), shell::about_page_buffer},
    }};
    for (const auto& [text, buffer] : pages)
      QVERIFY(static_cast<int>(text.size()) <= buffer && text.back() != ' ');
    // Every page keeps its last line: nothing was cut.
    QVERIFY(shell::example_page_text().ends_with("700    400    0.024"));
    QVERIFY(shell::models_page_text().ends_with(
        "o LER = Log(Evidence Ratio (WtMin/Wti)) of Akaike AICc weights"));
    QVERIFY(shell::mc50_page_text().ends_with("Wiley, New York."));
    QVERIFY(shell::mechanism_page_text().ends_with("Springer, Wien."));
    QVERIFY(shell::help_page_text().ends_with("The Mechanism and MC50 pages give the theory."));
    // About and the splash screen name the version this program was built as.
    QVERIFY(shell::about_page_text().find("\nVersion " INHIBRA_VERSION "\r") != std::string::npos);
    QCOMPARE(shell::splash_lines().back(), std::string_view("Version " INHIBRA_VERSION));
  }

  // Help names every entry the menus and the tool bar have, each in brackets as
  // they show it ("[Weight]" for a drop-down, "[Fit/Run Curve-fit]" where the Fit
  // menu's entry is meant), so that nothing a person sees goes unexplained.
  void helpNamesEveryMenuEntry() {
    running_shell app;
    QVERIFY(app.start());
    const QString help = QString::fromStdString(shell::help_page_text()).simplified();
    QStringList missing;
    for (const auto& [path, action] : app.actions()) {
      if (path.startsWith("File/Recent Files/")) continue;
      const QString name = action->text();  // the entry within its drop-down
      const bool named = help.contains("[" + path + "]") || help.contains("[" + name + "]") ||
                         help.contains("[" + path + "/");  // a drop-down, by its entries
      if (!named) missing << path;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    QVERIFY(app.quit());
  }

  void pageTextIsCutAtItsBufferAndTrimmed() {
    const std::array<std::string_view, 2> lines = {"ab\u2122cd", "next"};
    QCOMPARE(shell::page_text(lines, 100), std::string("ab\u2122cd\r\nnext"));
    // The cut never splits a character: "™" takes three bytes from the third on.
    QCOMPARE(shell::page_text(lines, 3), std::string("ab"));
    QCOMPARE(shell::page_text(lines, 5), std::string("ab\u2122"));
    const std::array<std::string_view, 2> padded = {"x  ", "   "};
    QCOMPARE(shell::page_text(padded, 100), std::string("x  \r\n"));
  }

  void examplePageDataFormAValidFourCurveFile() {
    const auto lines = lines_of(shell::example_page_text());
    QCOMPARE(lines.size(), std::size_t{33});
    QCOMPARE(lines[0], std::string("EXAMPLE INPUT DATA FILE STRUCTURE (DATA.IN):"));
    QCOMPARE(lines[8], std::string(41, '~'));
    QCOMPARE(lines[9], std::string(" 50    0    0.032      !<-- CURVE #1 [I]=0"));
    QCOMPARE(lines[15], std::string("50     100    0.017    !<-- CURVE #2 [I]=100"));
    std::string data;
    for (std::size_t i = 9; i < lines.size(); ++i)
      data += lines[i] + "\r\n";
    support::temp_dir dir;
    const auto name = dir.write("Example.in", data);
    auto ctx = std::make_unique<core::fit_context>();
    std::ostringstream console;
    const auto read = data::read_data_file(*ctx, name, nullptr, console);
    QCOMPARE(read.status, core::run_status::success);
    QCOMPARE(ctx->idat, 24);
    QCOMPARE(ctx->idatasets, 4);
    for (int c = 0; c < 4; ++c)
      QCOMPARE(ctx->id2[static_cast<std::size_t>(c)], 6);
    // The first and the last rate of the page.
    QCOMPARE(ctx->rate[0], 0.032);
    QCOMPARE(ctx->rate[23], 0.024);
  }
};

INHIBRA_QT_TEST(InfoPagesTest)
#include "info_pages_qtest.moc"
