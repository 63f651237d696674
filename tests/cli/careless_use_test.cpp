// inhibra-fit used carelessly or against its grain, run as a separate process: each
// run checks the exit status, the messages and afterwards every file in the folder
// (the data untouched, an earlier results file intact after a failed run, nothing
// left behind).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/run_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

namespace fs = std::filesystem;
using files = std::map<std::string, std::string>;

const std::string example =
    support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in");
const std::string aborted = "Error: * * * ERROR: RUN ABORTED * * *\n";

// The example with one row replaced (rows count from 1).
std::string example_with_row(int row, const std::string& text) {
  std::size_t start = 0;
  for (int k = 1; k < row; ++k)
    start = example.find('\n', start) + 1;
  const std::size_t end = example.find('\n', start);
  return example.substr(0, start) + text + example.substr(end);
}

// How a complete results file ends.
std::string closing_line(const std::string& results) {
  return "\r\n RESULTS FILE " + results + "\r\n\r\n";
}

// The last line on the terminal of a run that stopped: it names the results file the
// run did not write.
std::string stopped(const std::string& results, const std::string& label = "") {
  return label + " RESULTS FILE " + results + "\n";
}

// Files in the notation of support::snapshot ("<other>" is a pipe); in what a run
// writes, "<report>" stands for a complete results file and "<png>" for a picture.
void create(const support::temp_dir& dir, const files& given) {
  for (const auto& [name, content] : given) {
    if (content == "<folder>") {
      fs::create_directories(dir.file(name));
    } else if (content == "<other>") {
      ASSERT_EQ(mkfifo(dir.file(name).c_str(), 0600), 0);
    } else if (content.starts_with("<link to ")) {
      fs::create_symlink(content.substr(9, content.size() - 10), dir.file(name));
    } else {
      dir.write(name, content);
    }
  }
}

// The plots of one input in the folder P (a file already named in `f` is kept).
files with_plots(files f, const std::string& stem, int models) {
  f.try_emplace("P", "<folder>");
  for (const char* what : {"best-dixon", "best-kmapp", "best-lineweaver-burk", "best-mc50",
                           "best-residuals", "best-xy"})
    f.try_emplace("P/" + stem + "-" + what + ".png", "<png>");
  for (int m = 1; m <= models; ++m)
    f.try_emplace("P/" + stem + "-model0" + std::to_string(m) + "-xy.png", "<png>");
  return f;
}

// The text with "<dir>" replaced by the folder as the program sees it (absolute, links
// resolved).
std::string in_folder(std::string text, const support::temp_dir& dir) {
  const std::string folder = fs::canonical(dir.path()).string();
  for (auto at = text.find("<dir>"); at != std::string::npos; at = text.find("<dir>", at))
    text.replace(at, 5, folder);
  return text;
}

// Runs inhibra-fit with `args` in a folder holding `given`; checks its status,
// messages and output, and that afterwards the folder holds `given` with `written`
// added or replaced.
void expect_run(const char* what, const files& given, const std::string& args, int status,
                const std::string& expected_err, const files& written = {},
                const std::string& setup = fixed_date, const std::string& out = "") {
  SCOPED_TRACE(what);
  support::temp_dir dir;
  create(dir, given);
  const auto r = run_fit(args, dir, setup);
  EXPECT_EQ(r.status, status);
  // "<dir>" in `err` stands for the folder of the run, "...\n" for any lines.
  const std::string err = in_folder(expected_err, dir);
  const auto gap = err.find("...\n");
  if (gap == std::string::npos)
    EXPECT_EQ(r.err, err);
  else
    EXPECT_TRUE(r.err.starts_with(err.substr(0, gap)) && r.err.ends_with(err.substr(gap + 4)))
        << r.err;
  EXPECT_EQ(r.out, out);
  files want = given;
  for (const auto& [name, content] : written)
    want[name] = content;
  auto got = support::snapshot(dir.path());
  for (auto& [name, content] : got) {
    const auto w = want.find(name);
    if (w == want.end()) continue;
    const auto closing = closing_line(name);
    if (w->second == "<report>" && content.ends_with(closing) && content.size() > closing.size())
      content = w->second;
    if (w->second == "<png>" && content.starts_with("\x89PNG\r\n")) content = w->second;
  }
  EXPECT_EQ(got, want);
}

// The report of the example alone, for models 1 and 2.
const std::string& lone_report() {
  static const std::string report = [] {
    support::temp_dir dir;
    dir.write("Data.in", example);
    EXPECT_EQ(run_fit("-q -m 1,2 Data.in", dir).status, 0);
    return support::read_file(dir.file("Data.out"));
  }();
  return report;
}

TEST(CarelessUse, RefusedInputsAndOutputsLeaveEveryFileAsItWas) {
  const std::string row_refused =
      "Warning: Data line 2 does not begin with three numbers [S] [I] Rate:\n";
  const std::string same_results =
      "Warning: Data.txt: Results file Data.out of Data.txt is also the results file of Data.in: "
      "Data.txt is not fitted\n";
  const std::string too_large =
      "Warning: Results file not written: Data.out (File too large); an earlier file of that "
      "name is left as it was\n" +
      aborted;
  const files earlier = {{"Data.in", example}, {"Data.out", "earlier results\r\n"}};
  const files two_inputs = {{"Data.in", example}, {"Data.txt", example_with_row(1, "50 0 0.04")}};

  expect_run(
      "data file named like its results", {{"x.out", example}}, "-q x.out", 2,
      "Warning: Results file x.out is the data file x.out itself: give the data file another "
      "name\n" +
          aborted + stopped("x.out"));
  expect_run(
      "decimal comma", {{"comma.in", example_with_row(2, "100 0 0,055")}}, "-q -m 1 comma.in", 3,
      row_refused + "100 0 0,055\ndecimal comma? use a point\n" + aborted + stopped("comma.out"));
  expect_run("several files, one missing, one failing",
             {{"good.in", example}, {"bad.in", "1 0 1\n2 0 2\n3 0 3\n"}},
             "-q -m 1 good.in gone bad.in", 3,
             "Warning: gone.in: File does not exist: gone.in\n"
             "Error: gone.in: * * * OPEN ANOTHER DATA FILE * * *\n"
             "Warning: bad.in: Single curve data must be greater than 5\n"
             "Error: bad.in: * * * ERROR: RUN ABORTED * * *\n" +
                 stopped("bad.out", "bad.in: "),
             {{"good.out", "<report>"}});
  for (const char* jobs : {"1", "2"})
    expect_run("two inputs, one results file", two_inputs,
               "-q -m 1,2 -j " + std::string(jobs) + " Data.in Data.txt", 2, same_results,
               {{"Data.out", lone_report()}});
  expect_run("link to a full disk at the results name",
             {{"Data.in", example}, {"Data.out", "<link to /dev/full>"}}, "-q -m 1 Data.in", 0, "",
             {{"Data.out", "<report>"}});
  // A file-size limit makes the writes fail as a full disk does.
  for (const char* models : {"1", "1-3"})
    expect_run("full disk", earlier, "-q -m " + std::string(models) + " Data.in", 2, too_large, {},
               std::string(fixed_date) + "; ulimit -f 4;");
  // A run that waited on a pipe would be ended by `timeout` (status 124).
  expect_run("pipes and devices",
             {{"pipe.in", "<other>"},
              {"zero.in", "<link to /dev/zero>"},
              {"Data.in", example},
              {"Data.out", "<other>"}},
             "-q -j 1 -m 1 pipe.in zero.in Data.in", 2,
             "Warning: pipe.in: Not a regular file (a folder, pipe or device): pipe.in\n"
             "Error: pipe.in: Data input file error at Line 381\n"
             "Error: pipe.in: * * * ERROR: RUN ABORTED * * *\n"
             "pipe.in:  RESULTS FILE pipe.out\n"
             "Warning: zero.in: Not a regular file (a folder, pipe or device): zero.in\n"
             "Error: zero.in: Data input file error at Line 381\n"
             "Error: zero.in: * * * ERROR: RUN ABORTED * * *\n"
             "zero.in:  RESULTS FILE zero.out\n"
             "Warning: Data.in: Results file Data.out: not a regular file: Data.in is not "
             "fitted\n",
             {}, std::string(fixed_date) + " timeout 120");
  expect_run(
      "plots of inputs with one stem",
      {{"a", "<folder>"}, {"a/Data.in", example}, {"b", "<folder>"}, {"b/Data.in", example}},
      "-q -m 1,2 --plots P a/Data.in b/Data.in", 0, "",
      with_plots(with_plots({{"a/Data.out", "<report>"}, {"b/Data.out", "<report>"}}, "a-Data", 2),
                 "b-Data", 2));
  // Plot names that two inputs would share are refused as a shared results file is
  // (the output plan's tests pin which inputs and the message).
  expect_run("plot folder that is a file", {{"Data.in", example}, {"file", ""}},
             "-q -m 1 --plots file Data.in", 2,
             "Error: plot files: cannot write into the folder <dir>/file (Not a directory)\n");
  // Found before the fit, so nothing is written for that input.
  expect_run("a folder in the way of a plot",
             {{"Data.in", example}, {"P", "<folder>"}, {"P/Data-best-xy.png", "<folder>"}},
             "-q -m 1 --plots P Data.in", 2,
             "Warning: Plot file P/Data-best-xy.png: a folder has that name: Data.in is not "
             "fitted\n");
  expect_run(
      "a check of a missing file", {}, "--check nothing", 1,
      "Warning: File does not exist: nothing.in\nError: * * * OPEN ANOTHER DATA FILE * * *\n");
  expect_run(
      "a check of a rejected file", {{"bad.in", "1,2,3\n4 5 6\n7 8 9\n"}}, "--check bad.in", 3,
      "Warning: Data columns not equal to 3\nInformation: THE MODEL FUNCTION REQUIRES 3 DATA "
      "COLUMNS,\nBUT THE FILE CONTAINS ONLY X,Y DATA.\n...\n" +
          aborted);
}

// Six rows of the example's curve `k` (0 to 3) as "[S] [I] rate", with [I] written
// as `inhibitor`.
std::string example_curve(int k, const std::string& inhibitor) {
  std::istringstream in(example);
  std::string out;
  int n = 0;
  for (std::string line; std::getline(in, line); ++n) {
    if (n / 6 != k) continue;
    std::istringstream words(line);
    std::string s, i, v;
    words >> s >> i >> v;
    out += s + " " + inhibitor + " " + v + "\n";
  }
  return out;
}

// Data that are not what they seem, as a new user writes them: the run says what it
// found and goes on, labelled by the file among several. What the reader says of
// each kind of data is pinned by its own tests.
TEST(CarelessUse, DataThatAreNotWhatTheySeemAreToldAndNothingIsLost) {
  expect_run("curves apart by a blank line", {{"k.in", example_with_row(13, "")}}, "-q -m 1 k.in",
             0,
             "Warning: The data end at line 13 (a blank line), but 11 lines below it begin with "
             "three numbers and were not read. The rows of all curves follow one another, without "
             "blank or note lines between them\n",
             {{"k.out", "<report>"}});
  expect_run("a terminal escape in a name among several", {{"k.in", example}},
             "-q -m 1 k.in \"\x1b[2Jx\"", 1,
             "Warning: \\x1B[2Jx.in: File does not exist: \\x1B[2Jx.in\n"
             "Error: \\x1B[2Jx.in: * * * OPEN ANOTHER DATA FILE * * *\n",
             {{"k.out", "<report>"}});
  expect_run("a line break in a checked name", {{"a\nb.in", example}}, "--check \"a\nb.in\"", 0, "",
             {}, fixed_date, "a\\x0Ab.in: rows=24 curves=4 per-curve=6,6,6,6 columns=3\n");
  expect_run("a name with a blank and no extension", {{"my data", example}, {"mydata.in", "x\n"}},
             "-q -m 1 \"my data\"", 0, "", {{"my data.out", "<report>"}});
}

// A complete report survives a rejected rerun byte for byte and with its time; where
// there was none, none is made.
TEST(CarelessUse, RejectedRerunKeepsTheEarlierReportAndItsTime) {
  support::temp_dir dir;
  dir.write("k.in", example);
  ASSERT_EQ(run_fit("-q -m 1 k.in", dir).status, 0);
  const std::string report = support::read_file(dir.file("k.out"));
  ASSERT_TRUE(report.ends_with(closing_line("k.out")));
  const auto then = fs::file_time_type::clock::now() - std::chrono::hours(24);
  fs::last_write_time(dir.file("k.out"), then);
  dir.write("k.in", example_with_row(2, "100 0 0,055"));
  EXPECT_EQ(run_fit("-q -m 1 k.in", dir).status, 3);
  EXPECT_EQ(support::read_file(dir.file("k.out")), report);
  EXPECT_EQ(fs::last_write_time(dir.file("k.out")), then);
  fs::remove(dir.file("k.out"));
  EXPECT_EQ(run_fit("-q -m 1 k.in", dir).status, 3);
  EXPECT_EQ(support::file_names(dir.path()), std::vector<std::string>{"k.in"});
}

// The JSON names only a results file that was written, and counts every curve.
TEST(CarelessUse, JsonNamesOnlyWrittenResultsAndTrueCurveCounts) {
  support::temp_dir dir;
  std::string eleven;
  for (int k = 0; k < 11; ++k)
    eleven += example_curve(k % 4, std::to_string(100 * k));
  dir.write("eleven.in", eleven);
  dir.write("k.in", example);
  auto files_of = [&](const std::string& args) {
    const auto r = run_fit(args, dir);
    EXPECT_TRUE(nlohmann::json::accept(r.out)) << r.out;
    return nlohmann::json::parse(r.out).at("files");
  };
  const auto fitted = files_of("-q -m 1 -j 1 --json - k.in gone eleven.in");
  EXPECT_EQ(fitted.at(0).at("results_file"), "k.out");
  EXPECT_TRUE(fitted.at(1).at("results_file").is_null());
  EXPECT_TRUE(fitted.at(2).at("results_file").is_null());
  EXPECT_EQ(fitted.at(2).at("curves"), 11);
  const auto checked = files_of("--check --json - gone eleven.in");
  EXPECT_FALSE(checked.at(0).contains("results_file"));
  EXPECT_TRUE(checked.at(0).at("curves").is_null());
  EXPECT_EQ(checked.at(1).at("curves"), 11);
  EXPECT_EQ(checked.at(1).at("rows"), 66);
  EXPECT_TRUE(checked.at(1).at("per_curve").is_null());
  EXPECT_EQ(support::file_names(dir.path()),
            (std::vector<std::string>{"eleven.in", "k.in", "k.out"}));
}

TEST(JsonWithAnUndecodableFileName, StaysValidAndKeepsTheBytes) {
  support::temp_dir dir;
  const std::string name = "data\xff\xfe.in";
  dir.write(name, example);
  const auto r = run_fit("-q -m 1 --json - " + quoted(name), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto json = nlohmann::json::parse(r.out);
  const auto& f = json.at("files").at(0);
  EXPECT_EQ(f.at("file"), "data\xef\xbf\xbd\xef\xbf\xbd.in");
  EXPECT_EQ(f.at("file_bytes"), "64617461fffe2e696e");
  EXPECT_EQ(f.at("results_file_bytes"), "64617461fffe2e6f7574");
  EXPECT_EQ(f.at("best_model"), 1);
  EXPECT_TRUE(fs::exists(dir.file("data\xff\xfe.out")));
}

TEST(PlotsWithoutARuntimeFolder, LeaveNothingInTheTemporaryFolder) {
  support::temp_dir dir;
  support::temp_dir temporary;
  dir.write("Data.in", example);
  // A folder another user could have prepared at the old predictable place.
  fs::create_directory(temporary.file("inhibra-runtime-" + std::to_string(getuid())));
  fs::create_directory(temporary.file("runtime-root"));
  const auto before = support::snapshot(temporary.path());
  const auto r =
      run_fit("-q -m 1 --plots P Data.in", dir,
              "unset XDG_RUNTIME_DIR; TMPDIR=" + quoted(temporary.path()) + " " + fixed_date);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(support::file_names(dir.file("P")).size(), 7u);
  EXPECT_EQ(support::snapshot(temporary.path()), before);
}

TEST(PlotsUnderAForeignPlatform, AreStillWritten) {
  support::temp_dir dir;
  dir.write("Data.in", example);
  const auto r =
      run_fit("-q -m 1 --format svg --plots P Data.in", dir,
              "QT_QPA_PLATFORM=xcb DISPLAY= WAYLAND_DISPLAY= " + std::string(fixed_date));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(support::read_file(dir.file("P/Data-best-xy.svg")).starts_with("<?xml"));
}

// Plots for a journal column: the size in inches at a resolution, the units on the
// axes and in the legend, the residuals against the fitted rate, and the
// Lineweaver-Burk and Dixon views beside the others.
TEST(PlotsForAPaper, SizeUnitsAndTheReciprocalViews) {
  support::temp_dir dir;
  dir.write("Data.in", example);
  const auto r = run_fit(
      "-q -m 4 --format svg --figure-width 3.5 --dpi 300 --concentration-unit uM "
      "--rate-unit uM/min --residuals-against rate --plots P Data.in",
      dir, fixed_date);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string xy = support::read_file(dir.file("P/Data-best-xy.svg"));
  EXPECT_NE(xy.find(R"(width="88.9mm")"), std::string::npos);
  EXPECT_NE(xy.find("[I] = 100 uM"), std::string::npos);
  EXPECT_NE(xy.find("Rate v (uM/min)"), std::string::npos);
  const std::string residuals = support::read_file(dir.file("P/Data-best-residuals.svg"));
  EXPECT_NE(residuals.find("Fitted rate (uM/min)"), std::string::npos);
  const std::string burk = support::read_file(dir.file("P/Data-best-lineweaver-burk.svg"));
  EXPECT_NE(burk.find("1/v (min/uM)"), std::string::npos);
  EXPECT_NE(burk.find("not a fit to 1/v"), std::string::npos);
  const std::string dixon = support::read_file(dir.file("P/Data-best-dixon.svg"));
  EXPECT_NE(dixon.find("[S] = 333 uM"), std::string::npos);

  // Sizes out of reason, or a height without a width, are refused before any work.
  for (const char* wrong : {"--figure-height 3", "--figure-width 3 --dpi 10", "--figure-width 100",
                            "--residuals-against number"}) {
    const auto refused = run_fit(std::string("-q --plots Q ") + wrong + " Data.in", dir);
    EXPECT_EQ(refused.status, 64) << wrong;  // the usage error of sysexits.h
    EXPECT_FALSE(fs::exists(dir.file("Q"))) << wrong;
  }
}

TEST(DegenerateData, IsFittedWithWarningsAndTheJsonAgreesWithItself) {
  support::temp_dir dir;
  std::string same;
  for (int k = 0; k < 24; ++k)
    same += "50 0 0.5\n";
  dir.write("same.in", same);
  const auto r = run_fit("-q -m 1,2,3 --json - same.in", dir);
  EXPECT_EQ(r.status, 0);
  const std::string one_level =
      "Every row has the same inhibitor concentration ([I] = 0): inhibition constants cannot "
      "be determined from this data. Measure the rates at two or more inhibitor "
      "concentrations, one of them 0";
  const std::string equal = "All rates are equal: the data cannot tell the models apart";
  EXPECT_EQ(r.err,
            "Warning: " + one_level + "\nWarning: " + equal +
                "\n"
                "Warning: Model 1 fits every rate exactly (residual sum of squares 0): its AICc is "
                "-Infinity\n"
                "Warning: Model 2 fits every rate exactly (residual sum of squares 0): its AICc is "
                "-Infinity\n"
                "Warning: Model 3 fits every rate exactly (residual sum of squares 0): its AICc is "
                "-Infinity\n");
  const auto f = nlohmann::json::parse(r.out).at("files").at(0);
  EXPECT_EQ(f.at("warnings"), nlohmann::json::array({one_level, equal}));
  // Equal report criteria: the later model is the best one, and the report's ranking
  // says so first.
  EXPECT_EQ(f.at("best_model"), 3);
  EXPECT_EQ(f.at("report_ranking").at(0).at("model"), 3);
  EXPECT_EQ(f.at("report_ranking").at(0).at("rank"), 1);
  EXPECT_TRUE(f.at("tie").get<bool>());
  EXPECT_TRUE(f.at("report_ranking").at(0).at("report_criterion").is_null());
  EXPECT_TRUE(f.at("models").at(0).at("report_criterion").is_null());
  // A sum of 0 has no likelihood: the textbook criteria are null and give no weight.
  for (const auto& row : f.at("ranking")) {
    EXPECT_TRUE(row.at("aicc").is_null()) << row;
    EXPECT_EQ(row.at("akaike_weight"), 0.0) << row;
  }
  EXPECT_TRUE(f.at("models").at(0).at("bic").is_null());
  EXPECT_TRUE(support::read_file(dir.file("same.out")).ends_with(closing_line("same.out")));
}

TEST(SourceDateEpochOutOfRange, IsIgnoredWithAWarning) {
  support::temp_dir dir;
  dir.write("Data.in", example);
  const auto r = run_fit("-q -m 1 Data.in", dir, "SOURCE_DATE_EPOCH=67768036191676799");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Warning: SOURCE_DATE_EPOCH=67768036191676799 is not a whole number of seconds from "
            "1970 to the end of 9999; the reports show the current time\n");
  const std::string report = support::read_file(dir.file("Data.out"));
  const std::size_t date = report.find("\r\n\r\n                   ") + 23;
  ASSERT_LT(date, report.size());
  EXPECT_EQ(report.substr(date + 24, 2), "\r\n");
  EXPECT_EQ(report[date + 3], ' ') << report.substr(date, 24);  // "Www Mmm dd hh:mm:ss yyyy"
  EXPECT_NE(report.substr(date, 24), "Tue Nov 14 22:13:20 2023");
}

}  // namespace
}  // namespace inhibra::cli
