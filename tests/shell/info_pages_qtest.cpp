// The information pages: each command shows its page as one information box, the
// pages fit their buffers, and the example page's data lines form a valid data file.
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
using support::running_shell;

namespace {

QString lf(const std::string& crlf_text) {
  QString t = QString::fromStdString(crlf_text);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return t;
}

std::vector<std::string> lines_of(const std::string& crlf_text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (true) {
    const auto end = crlf_text.find("\r\n", start);
    lines.push_back(crlf_text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

bool has_line(const std::string& page, const std::string& line) {
  const auto lines = lines_of(page);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

class InfoPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void eachPageOpensAsOneInformationBox_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text");
    QTest::newRow("example") << "File/Example Data File" << lf(shell::example_page_text());
    QTest::newRow("models") << "File/Model Library" << lf(shell::models_page_text());
    QTest::newRow("mechanism") << "File/Mechanism of Inhibition"
                               << lf(shell::mechanism_page_text());
    QTest::newRow("mc50") << "File/MC50" << lf(shell::mc50_page_text());
    QTest::newRow("help") << "Help" << lf(shell::help_page_text());
    QTest::newRow("about bar") << "About" << lf(shell::about_page_text());
    QTest::newRow("about file") << "File/About" << lf(shell::about_page_text());
  }

  void eachPageOpensAsOneInformationBox() {
    QFETCH(QString, entry);
    QFETCH(QString, text);
    running_shell app;
    QVERIFY(app.start());
    const int before = app.done();
    QVERIFY(app.choose(entry));
    const auto box = support::answer_message_box();
    QVERIFY(box.has_value());
    QCOMPARE(box->title, QString("Information"));
    QCOMPARE(box->icon, QMessageBox::Information);
    QCOMPARE(box->text, text);
    QVERIFY(app.wait_done(before));
    QVERIFY(support::no_message_box_within(100));
    // The loop goes on: the next command runs.
    QVERIFY(app.choose("File/Open Data File"));
    QVERIFY(support::answer_file_dialog(QString()).has_value());
    QVERIFY(app.wait_done(before + 1));
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
    for (const auto& [text, buffer] : pages) {
      QVERIFY(static_cast<int>(text.size()) <= buffer);
      QVERIFY(text.find("\r\n") != std::string::npos);
      QVERIFY(text.back() != ' ');
    }
    // Every page keeps its last line: nothing was cut.
    QVERIFY(shell::example_page_text().ends_with("700    400    0.024"));
    QVERIFY(shell::models_page_text().ends_with(
        "o LER = Log(Evidence Ratio (WtMin/Wti)) of Akaike AICc weights"));
    QVERIFY(shell::mc50_page_text().ends_with("Wiley, New York."));
    QVERIFY(shell::mechanism_page_text().ends_with("Springer, Wien."));
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
    auto ctx = std::make_unique<fit::fit_context>();
    std::ostringstream console;
    const auto read = data::read_data_file(*ctx, name, nullptr, console);
    QCOMPARE(read.status, fit::run_status::success);
    QCOMPARE(ctx->idat, 24);
    QCOMPARE(ctx->idatasets, 4);
    for (int c = 0; c < 4; ++c)
      QCOMPARE(ctx->id2[static_cast<std::size_t>(c)], 6);
    // The rates by [I] as the page promises them.
    const std::array<double, 24> rates = {0.032, 0.055, 0.08,  0.102, 0.116, 0.13,  0.017, 0.028,
                                          0.045, 0.065, 0.072, 0.078, 0.01,  0.018, 0.03,  0.041,
                                          0.048, 0.052, 0.004, 0.008, 0.012, 0.015, 0.022, 0.024};
    for (std::size_t k = 0; k < rates.size(); ++k)
      QCOMPARE(ctx->rate[k], rates[k]);
  }

  void modelLibraryPageListsEveryModel() {
    const std::string page = shell::models_page_text();
    QVERIFY(
        page.starts_with("     INHIBRA\u2122 SOFTWARE LIBRARY MODEL TYPES\r\n"
                         "NOTE: Data.in files require [S], [I], Rate data in 3 columns."));
    for (const char* header : {"1- Linear Specific Inhibition, LSpI: Par=3",
                               "2- Linear Mixed Inhibition, LMx(Sp=Ca)I: Par=3",
                               "3- Linear Mixed Inhibition, LMx(Sp<Ca)I: Par=4",
                               "4- Linear Mixed Inhibition, LMx(Sp>Ca)I: Par=4",
                               "5- Hyperbolic Specific Inhibition, HSpI: Par=4",
                               "6- Hyperbolic Mixed Inhibition, HMx(Sp=Ca)I: Par=4",
                               "7- Hyperbolic Catalytic Inhibition, HCaI: Par=4",
                               "8- Hyperbolic Mixed Inhibition, HMx(Sp<Ca)I: Par=5",
                               "9- Hyperbolic Mixed Inhibition, HMx(Sp>Ca)I: Par=5",
                               "10- General Hyperbolic Enzyme-Modifier Model: Par=5"}) {
      QVERIFY2(has_line(page, header), header);
    }
    QVERIFY(has_line(page, "   v = Vmax / (1 + Km / [S] * (1 + [I] / Ki))"));
    QVERIFY(has_line(page, "       [0 < a < Inf, 0 < b < Inf]"));
    QVERIFY(has_line(page, "  Corrected AICc = n*LN(SSR/n) + (factor)*(p+1)*n/(n-p)"));
  }

  void helpAndOtherPagesCarryTheirKeyLines() {
    const std::string help = shell::help_page_text();
    QVERIFY(
        help.starts_with("   INHIBRA\u2122 Instructions of Use\r\n"
                         "          INHIBRA\u2122 - Enzyme Inhibition Modeling Software"));
    QVERIFY(has_line(help, " INSTRUCTIONS:"));
    QVERIFY(
        has_line(help, "   1- Open a data file (filename.in) by selecting the [OpenData] menu."));
    QVERIFY(has_line(help, "   14- General Modifier Mechanism is discribed in [File/Mechanism]."));
    QVERIFY(has_line(help, "Note: When more than one mechanism produce best curve fits, it is"));
    QVERIFY(shell::mechanism_page_text().starts_with(
        "Reaction scheme of General Modifier (Botts-Morales) Mechanism:"));
    QVERIFY(has_line(shell::mc50_page_text(), "MC50 = alpha*Ki*(Km + [S]) / (alpha*Km + [S])"));
    QVERIFY(shell::about_page_text().starts_with("INHIBRA\u2122"));
  }

  void splashNamesTheProgramAndItsVersion() {
    const auto lines = shell::splash_lines();
    QCOMPARE(std::string(lines.front()),
             std::string("Inhibra - Enzyme Inhibition Modeling Software"));
    QCOMPARE(std::string(lines.back()), std::string("Version 5.2"));
    QVERIFY(std::find(lines.begin(), lines.end(),
                      "FOR ITS INSTALLATION, USE, AND FUNCTIONALITY.") != lines.end());
  }
};

INHIBRA_QT_TEST(InfoPagesTest)
#include "info_pages_qtest.moc"
