// inhibra-fit used carelessly or against its grain, run as a separate process: each
// group checks the exit status, the messages and afterwards the bytes of every file
// in the folder (the data untouched, an earlier results file intact after a failed
// or interrupted run, nothing left behind).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

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

std::string closing_line(const std::string& results) {
  return "\r\n RESULTS FILE " + results + "\r\n\r\n";
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(DataFileNamedLikeItsResults, IsRefusedBeforeAnythingIsWritten) {
  support::temp_dir dir;
  dir.write("x.out", example);
  const auto r = run_fit("-q x.out", dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "Warning: Results file x.out is the data file x.out itself: give the data file "
            "another name\n" +
                aborted);
  EXPECT_EQ(support::snapshot(dir.path()), (files{{"x.out", example}}));
}

TEST(DecimalComma, RowIsRefusedWithAHintAndCsvRowsAreRead) {
  support::temp_dir dir;
  dir.write("comma.in", example_with_row(2, "100 0 0,055"));
  dir.write("shifted.in", example_with_row(3, "200,5 0 0.08"));
  auto r = run_fit("-q -m 1 comma.in", dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err,
            "Warning: Data line 2 does not begin with three numbers [S] [I] Rate:\n100 0 0,055\n"
            "decimal comma? use a point\n" +
                aborted);
  r = run_fit("-q -m 1 shifted.in", dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(has(r.err, "\n200,5 0 0.08\ndecimal comma? use a point\n")) << r.err;
  EXPECT_EQ(support::read_file(dir.file("comma.out")), closing_line("comma.out"));

  // The same values written as a spreadsheet exports them give the same report.
  dir.write("points.in", example);
  dir.write("csv.in", example_with_row(2, "100,0,0.055"));
  ASSERT_EQ(run_fit("-q -m 1 points.in csv.in", dir).status, 0);
  std::string csv_report = support::read_file(dir.file("csv.out"));
  csv_report.replace(csv_report.rfind("csv.out"), 7, "points.out");
  EXPECT_EQ(csv_report, support::read_file(dir.file("points.out")));
}

TEST(ControlByte, InsideANumberMakesTheRowUnreadable) {
  support::temp_dir dir;
  dir.write("nul.in", example_with_row(5, std::string("500 0 0.1\0"
                                                      "16",
                                                      12)));
  const auto r = run_fit("-q -m 1 nul.in", dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err,
            "Warning: Data line 5 does not begin with three numbers [S] [I] Rate:\n"
            "500 0 0.1\\x0016\ncontrol character in the line (shown as \\xNN); save the file as "
            "plain text\n" +
                aborted);
}

TEST(TwoInputsOneResultsFile, SecondIsRefusedAndTheFirstIsWrittenAlone) {
  support::temp_dir dir;
  dir.write("Data.in", example);
  ASSERT_EQ(run_fit("-q -m 1,2 Data.in", dir).status, 0);
  const std::string alone = support::read_file(dir.file("Data.out"));
  fs::remove(dir.file("Data.out"));
  dir.write("Data.txt", example_with_row(1, "50 0 0.04"));
  for (const char* jobs : {"-j 1", "-j 2"}) {
    const auto r = run_fit(std::string("-q -m 1,2 ") + jobs + " Data.in Data.txt", dir);
    EXPECT_EQ(r.status, 2) << jobs;
    EXPECT_EQ(r.err,
              "Warning: Data.txt: Results file Data.out of Data.txt is also the results file of "
              "Data.in: Data.txt is not fitted\n")
        << jobs;
    EXPECT_EQ(support::read_file(dir.file("Data.out")), alone) << jobs;
    EXPECT_EQ(support::file_names(dir.path()),
              (std::vector<std::string>{"Data.in", "Data.out", "Data.txt"}));
  }
}

TEST(FullDisk, LinkAtTheResultsNameIsReplacedAndAFailedWriteKeepsTheEarlierFile) {
  support::temp_dir dir;
  dir.write("Data.in", example);
  fs::create_symlink("/dev/full", dir.file("Data.out"));
  auto r = run_fit("-q -m 1 Data.in", dir);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file("Data.out"))));
  EXPECT_TRUE(support::read_file(dir.file("Data.out")).ends_with(closing_line("Data.out")));

  // A file-size limit makes the writes fail as a full disk does.
  dir.write("Data.out", "earlier results\r\n");
  for (const char* models : {"1", "1-3"}) {
    r = run_fit(std::string("-q -m ") + models + " Data.in", dir,
                std::string(fixed_date) + "; ulimit -f 4;");
    EXPECT_EQ(r.status, 2) << models;
    EXPECT_EQ(r.err,
              "Warning: Results file not written: Data.out (File too large); an earlier file of "
              "that name is left as it was\n" +
                  aborted)
        << models;
    EXPECT_EQ(support::snapshot(dir.path()),
              (files{{"Data.in", example}, {"Data.out", "earlier results\r\n"}}));
  }
}

// Starts inhibra-fit in `dir`, waits until its run has begun writing (a temporary
// results file exists), sends `signal_number` and returns the exit status.
int interrupted_run(const support::temp_dir& dir, int signal_number) {
  const pid_t pid = fork();
  if (pid == 0) {
    // Whatever the test runner ignores, the program gets the default dispositions.
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
      ::signal(s, SIG_DFL);
    if (chdir(dir.path().c_str()) != 0) _exit(99);
    execl(INHIBRA_FIT_EXE, "inhibra-fit", "-q", "-j", "1", "Data.in", "More.in",
          static_cast<char*>(nullptr));
    _exit(98);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto running = [&] {
    for (const auto& name : support::file_names(dir.path()))
      if (name.starts_with(".Data.out.")) return true;
    return false;
  };
  while (!running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  kill(pid, signal_number);
  int raw = 0;
  waitpid(pid, &raw, 0);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(Interrupt, StopsBetweenModelsAndLeavesEveryFileAsItWas) {
  for (const auto& [signal_number, status] :
       {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
    support::temp_dir dir;
    dir.write("Data.in", example);
    dir.write("More.in", example);
    dir.write("Data.out", "earlier results\r\n");
    const auto before = support::snapshot(dir.path());
    EXPECT_EQ(interrupted_run(dir, signal_number), status) << signal_number;
    // The second file was never started; the first left no trace.
    EXPECT_EQ(support::snapshot(dir.path()), before) << signal_number;
  }
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
  EXPECT_EQ(support::file_names(dir.file("P")).size(), 5u);
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

TEST(PlotsOfInputsWithOneStem, GetDistinctNamesOrTheLaterInputIsRefused) {
  support::temp_dir dir;
  for (const char* folder : {"a", "b", "x/a"}) {
    fs::create_directories(dir.file(folder));
    dir.write(std::string(folder) + "/Data.in", example);
  }
  auto r = run_fit("-q -m 1,2 --plots P a/Data.in b/Data.in", dir);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> expected;
  for (const char* stem : {"a-Data", "b-Data"}) {
    for (const char* what :
         {"best-kmapp", "best-mc50", "best-residuals", "best-xy", "model01-xy", "model02-xy"})
      expected.push_back(std::string(stem) + "-" + what + ".png");
  }
  EXPECT_EQ(support::file_names(dir.file("P")), expected);

  fs::remove_all(dir.file("P"));
  r = run_fit("-q -m 1 --plots P a/Data.in x/a/Data.in", dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "Warning: x/a/Data.in: Plot files of x/a/Data.in would have the names of those of "
            "a/Data.in (a-Data-...): x/a/Data.in is not fitted\n");
  EXPECT_EQ(support::file_names(dir.file("P")).size(), 5u);
  EXPECT_FALSE(fs::exists(dir.file("x/a/Data.out")));
}

TEST(PlotThatCannotBeWritten, IsStatusTwo) {
  support::temp_dir dir;
  dir.write("Data.in", example);
  dir.write("file", "");
  auto r = run_fit("-q -m 1 --plots file Data.in", dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Error: cannot write into the plot folder file\n");
  EXPECT_FALSE(fs::exists(dir.file("Data.out")));  // nothing fitted

  fs::create_directories(dir.file("P/Data-best-xy.png"));  // a folder in the way
  r = run_fit("-q -m 1 --plots P Data.in", dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Error: Plot file not written: P/Data-best-xy.png (a folder has that name)\n");
  EXPECT_EQ(support::file_names(dir.file("P")).size(), 5u);
  EXPECT_TRUE(support::read_file(dir.file("Data.out")).ends_with(closing_line("Data.out")));
}

TEST(SpecialFiles, AreRefusedWithoutWaitingAndLongLinesStopTheReading) {
  support::temp_dir dir;
  ASSERT_EQ(mkfifo(dir.file("pipe.in").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.file("zero.in"));
  dir.write("Data.in", example);
  ASSERT_EQ(mkfifo(dir.file("Data.out").c_str(), 0600), 0);
  dir.write("endless.in", std::string(200000, '5'));
  const auto before = support::snapshot(dir.path());
  // A run that waited on a pipe would be ended by `timeout` (status 124).
  const auto r = run_fit("-q -j 1 -m 1 pipe.in zero.in Data.in", dir,
                         std::string(fixed_date) + " timeout 120");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "Warning: pipe.in: Not a regular file (a folder, pipe or device): pipe.in\n"
            "Error: pipe.in: Data input file error at Line 381\n"
            "Error: pipe.in: * * * ERROR: RUN ABORTED * * *\n"
            "Warning: zero.in: Not a regular file (a folder, pipe or device): zero.in\n"
            "Error: zero.in: Data input file error at Line 381\n"
            "Error: zero.in: * * * ERROR: RUN ABORTED * * *\n"
            "Warning: Data.in: Results file cannot be created: Data.out (not a regular file)\n"
            "Error: Data.in: Data output file error at Line 395\n"
            "Error: Data.in: * * * ERROR: RUN ABORTED * * *\n");
  EXPECT_EQ(support::snapshot(dir.path()), before);

  const auto endless = run_fit("-q -m 1 endless.in", dir);
  EXPECT_EQ(endless.status, 3);
  EXPECT_EQ(endless.err, "Warning: Data line 1 is longer than 65536 characters\n" + aborted);
}

TEST(DegenerateData, IsFittedWithWarningsAndTheJsonAgreesWithItself) {
  support::temp_dir dir;
  std::string same;
  for (int k = 0; k < 24; ++k)
    same += "50 0 0.5\n";
  dir.write("same.in", same);
  const auto r = run_fit("-q -m 1,2,3 --json - same.in", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Warning: All rates are equal: the data cannot tell the models apart\n"
            "Warning: Model 1 fits every rate exactly (residual sum of squares 0): its AICc is "
            "-Infinity\n"
            "Warning: Model 2 fits every rate exactly (residual sum of squares 0): its AICc is "
            "-Infinity\n"
            "Warning: Model 3 fits every rate exactly (residual sum of squares 0): its AICc is "
            "-Infinity\n");
  const auto f = nlohmann::json::parse(r.out).at("files").at(0);
  // Equal AICc: the later model is the best one, and the ranking says so first.
  EXPECT_EQ(f.at("best_model"), 3);
  EXPECT_EQ(f.at("ranking").at(0).at("model"), 3);
  EXPECT_EQ(f.at("ranking").at(0).at("rank"), 1);
  EXPECT_TRUE(f.at("tie").get<bool>());
  EXPECT_TRUE(f.at("ranking").at(0).at("aicc").is_null());
  EXPECT_TRUE(f.at("models").at(0).at("aicc").is_null());
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

TEST(SeveralFilesOneFailing, EveryMessageNamesItsFile) {
  support::temp_dir dir;
  dir.write("good.in", example);
  dir.write("bad.in", "1 0 1\n2 0 2\n3 0 3\n");
  const auto r = run_fit("-q -m 1 good.in gone bad.in", dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err,
            "Warning: gone.in: File does not exist: gone.in\n"
            "Error: gone.in: * * * OPEN ANOTHER DATA FILE * * *\n"
            "Warning: bad.in: Single curve data must be greater than 5\n"
            "Error: bad.in: * * * ERROR: RUN ABORTED * * *\n");
  // The report's own text does not change.
  EXPECT_TRUE(support::read_file(dir.file("good.out")).ends_with(closing_line("good.out")));
  EXPECT_EQ(support::read_file(dir.file("bad.out")), closing_line("bad.out"));
}

}  // namespace
}  // namespace inhibra::cli
