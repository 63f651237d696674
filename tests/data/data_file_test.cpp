#include "data/data_file.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>

#include "models/model_catalogue.hpp"
#include "support/recording_frontend.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::data {
namespace {

using core::box_kind;
using core::run_status;

// `curves` blocks of `rows` rows each, [I] = 0, 100, 200, ...
std::string grid(int curves, int rows, double step = 100.0) {
  std::string text;
  for (int c = 0; c < curves; ++c) {
    for (int r = 0; r < rows; ++r) {
      text += std::to_string(50 * (r + 1)) + " " + std::to_string(c * step) + " " +
              std::to_string(0.1 / (c + 1) * (r + 1)) + "\n";
    }
  }
  return text;
}

// Data lines 1 to 6 of one curve with `row` as line 4.
std::string with_line_4(const std::string& row) {
  return "50 0 0.032\n100 0 0.055\n200 0 0.08\n" + row + "\n500 0 0.116\n700 0 0.13\n";
}

const std::string aborted = "* * * ERROR: RUN ABORTED * * *";

class DataFile : public ::testing::Test {
 protected:
  DataFile() : ctx(std::make_unique<core::fit_context>()) { ctx->fe = &fe; }

  data_read run(const std::string& content, bool with_results = true) {
    const auto path = dir.write("case.in", content);
    return run_path(path, with_results);
  }
  data_read run_path(const std::string& path, bool with_results = true) {
    fe.boxes.clear();
    return read_data_file(*ctx, path, with_results ? &results : nullptr, console);
  }
  // The boxes shown for `content`, which must be refused.
  std::vector<std::string> refusal(const std::string& content) {
    EXPECT_EQ(run(content).status, run_status::file_rejected) << content.substr(0, 80);
    return fe.texts();
  }
  // What a refused run says on the console after its boxes.
  std::string closing_line() const { return " RESULTS FILE " + dir.file("case.out") + "\n"; }

  support::temp_dir dir;
  support::recording_frontend fe;
  std::unique_ptr<core::fit_context> ctx;
  output_file results;
  std::ostringstream console;
};

TEST_F(DataFile, SuccessLeavesTheResultsFileOpenButNotYetInPlace) {
  ASSERT_EQ(run(grid(2, 6)).status, run_status::success);
  EXPECT_TRUE(results.is_open());
  EXPECT_FALSE(std::filesystem::exists(dir.file("case.out")));
  ASSERT_TRUE(results.commit());
  EXPECT_EQ(support::read_file(dir.file("case.out")), "");
}

TEST_F(DataFile, MissingFileShowsTwoBoxesAndWritesNothing) {
  const auto read = run_path(dir.file("absent"));
  EXPECT_EQ(read.status, run_status::file_not_found);
  ASSERT_EQ(fe.boxes.size(), 2u);
  EXPECT_EQ(fe.boxes[0].kind, box_kind::warning);
  EXPECT_EQ(fe.boxes[0].text, "File does not exist: " + dir.file("absent.in"));
  EXPECT_EQ(fe.boxes[1].kind, box_kind::error);
  EXPECT_EQ(fe.boxes[1].text, "* * * OPEN ANOTHER DATA FILE * * *");
  EXPECT_EQ(read.results_name, "");  // nothing is named, nothing is written
  EXPECT_EQ(console.str(), "");
  EXPECT_FALSE(std::filesystem::exists(dir.file("absent.out")));
}

TEST_F(DataFile, OnlyRegularFilesAreReadAndNothingWaitsOnThem) {
  std::filesystem::create_directory(dir.file("folder.in"));
  ASSERT_EQ(mkfifo(dir.file("pipe.in").c_str(), 0600), 0);              // would block a plain open
  std::filesystem::create_symlink("/dev/zero", dir.file("device.in"));  // would never end
  for (const char* name : {"folder.in", "pipe.in", "device.in"}) {
    EXPECT_EQ(run_path(dir.file(name)).status, run_status::file_not_opened) << name;
    EXPECT_EQ(fe.texts(), (std::vector<std::string>{
                              "Not a regular file (a folder, pipe or device): " + dir.file(name),
                              "Data input file error at Line 381", aborted}));
  }
  EXPECT_EQ(support::file_names(dir.path()),
            (std::vector<std::string>{"device.in", "folder.in", "pipe.in"}));
}

TEST_F(DataFile, ResultsFileThatCannotBeCreatedStopsWithStatusTwo) {
  dir.write("blocked.in", grid(1, 6));
  std::filesystem::create_directory(dir.file("blocked.out"));  // a folder in the way
  ASSERT_EQ(mkfifo(dir.file("piped.out").c_str(), 0600), 0);
  dir.write("piped.in", grid(1, 6));
  for (const std::string stem : {"blocked", "piped"}) {
    EXPECT_EQ(run_path(dir.file(stem + ".in")).status, run_status::file_not_opened);
    ASSERT_EQ(fe.boxes.size(), 3u);
    EXPECT_TRUE(fe.boxes[0].text.starts_with(
        "Results file cannot be created: " + dir.file(stem + ".out") + ": "))
        << fe.boxes[0].text;
    EXPECT_EQ(fe.boxes[1].text, "Data output file error at Line 395");
    EXPECT_EQ(fe.boxes[2].text, aborted);
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("blocked.out")));
  EXPECT_TRUE(std::filesystem::is_fifo(dir.file("piped.out")));
}

TEST_F(DataFile, DataFileIsNeverItsOwnResultsFile) {
  const std::string data = grid(2, 6);
  dir.write("named.out", data);  // the results name is the data file's own name
  dir.write("hard.in", data);
  std::filesystem::create_hard_link(dir.file("hard.in"), dir.file("hard.out"));
  dir.write("soft.in", data);
  std::filesystem::create_symlink(dir.file("soft.in"), dir.file("soft.out"));
  const auto before = support::snapshot(dir.path());
  for (const char* name : {"named.out", "hard.in", "soft.in"}) {
    const auto read = run_path(dir.file(name));
    EXPECT_EQ(read.status, run_status::file_not_opened) << name;
    EXPECT_EQ(fe.texts(), (std::vector<std::string>{"Results file " + read.results_name +
                                                        " is the data file " + dir.file(name) +
                                                        " itself: give the data file another name",
                                                    aborted}));
    EXPECT_FALSE(results.is_open());
  }
  EXPECT_EQ(support::snapshot(dir.path()), before);
}

TEST_F(DataFile, LongDataLineStopsTheRunButALongNoteDoesNot) {
  const std::string rows = grid(1, 6);
  const std::string row = "50 0 0.032";
  const std::string longest = row + std::string(max_line_length - row.size(), ' ');
  EXPECT_EQ(run(longest + "\n" + rows).status, run_status::success);
  for (const std::size_t line : {1u, 4u}) {
    std::string content = rows;
    std::size_t at = 0;
    for (std::size_t k = 1; k < line; ++k)
      at = content.find('\n', at) + 1;
    content.insert(at, longest + " \n");  // one character too many
    EXPECT_EQ(refusal(content), (std::vector<std::string>{"Data line " + std::to_string(line) +
                                                              " is longer than 65536 characters",
                                                          aborted}));
  }
  // A file without line breaks is one long line.
  EXPECT_EQ(refusal(std::string(3 * max_line_length, '1')).front(),
            "Data line 1 is longer than 65536 characters");
  // Notes after the data may be as long as they like, whatever they begin with.
  const std::string note(3 * max_line_length, 'n');
  for (const std::string& after : {"! " + note, "\n" + note, "\n" + note + "\n# " + note}) {
    EXPECT_EQ(run(grid(2, 6) + after + "\n").status, run_status::success) << after.substr(0, 8);
    EXPECT_EQ(ctx->idat, 12);
    EXPECT_EQ(fe.texts(), std::vector<std::string>{}) << after.substr(0, 8);
  }
}

TEST_F(DataFile, RowLimitsSayWhatIsWrong) {
  const std::string row_limit = "Data rows exceeded limit of 1000\r\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {grid(1, 2), "the data hold 2 rows; at least 3 are needed"},
      {"50 0 0.032\n", "the data hold 1 row; at least 3 are needed"},
      {grid(1, 1001), "the data hold 1001 rows; at most 1000 can be read"},
      {"", "the file holds no data rows"},
      {"\n \n\t\n", "the file holds no data rows"},
      {"# note first\n",
       "the data end at line 1, a note line, before any row: the data begin "
       "on the first line"},
      {"\n# notes\n",
       "the data end at line 1, a blank line, before any row: the data begin on "
       "the first line"},
  };
  for (const auto& [content, why] : cases) {
    EXPECT_EQ(refusal(content), (std::vector<std::string>{row_limit + why, aborted}))
        << content.substr(0, 20);
  }
}

TEST_F(DataFile, EmptyFileGetsTheRowMessageAndTheConsoleWarning) {
  EXPECT_EQ(refusal("").front(), "Data rows exceeded limit of 1000\r\nthe file holds no data rows");
  EXPECT_EQ(
      console.str(),
      " -\nFILE_COLUMN_COUNT - Warning.\n  The file does not contain any data.\n" + closing_line());
  EXPECT_EQ(ctx->columns, -1);
}

TEST_F(DataFile, NoteOnTheFirstRowIsNotCountedButOtherTextIs) {
  EXPECT_EQ(run("50 0 0.032 !<-- CURVE #1\n" + grid(1, 6).substr(grid(1, 6).find('\n') + 1)).status,
            run_status::success);
  EXPECT_EQ(ctx->columns, 3);
  // No model-list box for more than 3 columns.
  EXPECT_EQ(refusal("50 0 0.032 first curve\n" + grid(1, 6)),
            (std::vector<std::string>{"Data columns not equal to 3", aborted}));
  EXPECT_EQ(ctx->columns, 5);
}

TEST_F(DataFile, CommaSeparatedFirstRowIsOneColumnWithTheModelListBox) {
  const auto texts = refusal("50,0,0.032\n" + grid(1, 6));
  EXPECT_EQ(ctx->columns, 1);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Data columns not equal to 3");
  EXPECT_EQ(fe.boxes[1].kind, box_kind::information);
  EXPECT_TRUE(texts[1].starts_with(
      "THE MODEL FUNCTION REQUIRES 3 DATA COLUMNS,\r\nBUT THE FILE CONTAINS ONLY X,Y DATA.\r\n"
      "TO RUN ENTER [S],[I],Rate (3 DATA COLUMNS)\r\nAND SELECT A MODEL FROM THE MAIN MENU:\r\n"
      "\r\n1- Linear Specific Inhibition, LSpI\r\n"));
  EXPECT_TRUE(texts[1].ends_with(
      "10-General Hyperbolic Enzyme-Modifier Model\r\n~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~"));
  EXPECT_EQ(fe.boxes[2].kind, box_kind::error);
}

TEST_F(DataFile, BlankOrNoteLineEndsTheDataAndRowsLeftBelowAreCounted) {
  const std::string rows = grid(4, 5);
  std::string crlf;
  for (char c : rows)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  auto not_read = [](const std::string& end, int lines) {
    return "The data end at line 21 (" + end + "), but " + std::to_string(lines) +
           (lines == 1 ? " line below it begins with three numbers and was"
                       : " lines below it begin with three numbers and were") +
           " not read. The rows of all curves follow one another, without blank or note lines "
           "between them";
  };
  struct cut_case {
    std::string content;
    std::vector<std::string> warnings;
  };
  const std::vector<cut_case> cases = {
      {rows, {}},
      {rows + "\n", {}},
      {rows + "\n1 2 3\n4 5 6\n", {not_read("a blank line", 2)}},
      {rows + "  ! notes follow\n1 2 3\n", {not_read("a note line", 1)}},
      {rows + "# curve 5\n" + grid(1, 5) + "\n# curve 6\n" + grid(1, 5),
       {not_read("a note line", 10)}},
      // Notes below the data do not count, nor do lines that only start with a number.
      {rows + "\n# fitted 2024\nmeasured at 25 C\n25 C 7.4\n\n", {}},
      // A Windows blank line ("\r") also ends the data, and CR LF rows read fine.
      {crlf + "\r\n9 9 9\r\n", {not_read("a blank line", 1)}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run(c.content).status, run_status::success) << c.content;
    EXPECT_EQ(ctx->idat, 20);
    EXPECT_EQ(fe.texts(), c.warnings) << c.content;
  }
  EXPECT_EQ(ctx->rate[19], ctx->ytmp[19]);
}

TEST_F(DataFile, CarriageReturnsEndLinesOnlyInAFileWithoutLineFeeds) {
  std::string mac;
  for (char c : grid(2, 6))
    mac += c == '\n' ? '\r' : c;
  ASSERT_EQ(run(mac + "\r! notes\r").status, run_status::success);
  EXPECT_EQ(ctx->idat, 12);
  EXPECT_EQ(ctx->idatasets, 2);
  EXPECT_EQ(ctx->rate[11], 0.3);
  EXPECT_EQ(fe.texts(), std::vector<std::string>{});
  // Where lines end in line feeds, a carriage return inside a row is a blank.
  ASSERT_EQ(run(with_line_4("333\r0\r0.102")).status, run_status::success);
  EXPECT_EQ(ctx->rate[3], 0.102);
}

TEST_F(DataFile, RowsTakeExponentsAndIgnoreTrailingTextAfterAByteOrderMark) {
  ASSERT_EQ(run("\xEF\xBB\xBF"
                "5.0E1 0 3.2D-2\n+1e2 0 0.055 trailing text\n200\t0\t.08\n"
                "333 0 0.102\n500 0 0.116\n700 0 1.3d-1 ! note\n")
                .status,
            run_status::success);
  EXPECT_EQ(ctx->columns, 3);
  EXPECT_EQ(ctx->substrate[0], 50.0);
  EXPECT_EQ(ctx->rate[0], 0.032);
  EXPECT_EQ(ctx->substrate[1], 100.0);
  EXPECT_EQ(ctx->rate[2], 0.08);
  EXPECT_EQ(ctx->rate[5], 0.13);
}

TEST_F(DataFile, UnreadableRowsCommasAndControlBytesNeverShiftAValue) {
  struct row_case {
    std::string row;               // written as data line 4
    std::array<double, 3> values;  // read when `hint` is null
    const char* hint;              // last line of the refusal, "" for none
    std::string quoted = "";       // the line as quoted, when it differs from `row`
  };
  const char* refused = "";
  const std::vector<row_case> cases = {
      {"333 0 abc", {}, refused},
      {"333 0", {}, refused},
      {"333 nan 0.1", {}, refused},
      {"333 0 inf", {}, refused},
      {"333 0 1e999", {}, refused},
      {"333 0 0,102", {}, "decimal comma? use a point"},
      {"333,5 0 0.102", {}, "decimal comma? use a point"},
      {"333,5,0,0.102", {}, "decimal comma? use a point"},  // four comma fields
      {"333 0 0 ,102", {}, refused},
      {"333, 0 0.102", {}, refused},
      {"333,0,0.102", {333, 0, 0.102}, nullptr},
      {" 333, 0, 0.102", {333, 0, 0.102}, nullptr},
      {"333 , 0 , 0.102 ! note", {333, 0, 0.102}, nullptr},
      {"333 0 0.102 ! [I] 1,5", {333, 0, 0.102}, nullptr},  // a note may hold anything
      // Commas closing a row, as spreadsheets write them.
      {"333 0 0.102,", {333, 0, 0.102}, nullptr},
      {"333,0,0.102,", {333, 0, 0.102}, nullptr},
      {"333, 0, 0.102, ,\r", {333, 0, 0.102}, nullptr},
      {"333\t0\t0.102,, ! note", {333, 0, 0.102}, nullptr},
      {"333 0 0.102 ,", {333, 0, 0.102}, nullptr},
      {"333 0 0.102,5", {}, "decimal comma? use a point"},
      {"333,0,0.102,5", {}, "decimal comma? use a point"},
      {"333 0 0.102,x", {}, refused},
      {"333 0 0.102, 7", {}, refused},
      {"333\t0\r 0.102\r", {333, 0, 0.102}, nullptr},
      {std::string("333 0 0.1\0"
                   "02",
                   12),
       {},
       "control",
       "333 0 0.1\\x0002"},
      {"333 0\x1b 0.102", {}, "control", "333 0\\x1B 0.102"},
      {"333 0 0.102\x7f", {}, "control", "333 0 0.102\\x7F"},
  };
  for (const auto& c : cases) {
    const std::string shown = c.quoted.empty() ? c.row : c.quoted;
    if (c.hint == nullptr) {
      ASSERT_EQ(run(with_line_4(c.row)).status, run_status::success) << shown;
      EXPECT_EQ(ctx->substrate[3], c.values[0]) << shown;
      EXPECT_EQ(ctx->inhibitor[3], c.values[1]) << shown;
      EXPECT_EQ(ctx->rate[3], c.values[2]) << shown;
      continue;
    }
    std::string expected =
        "Data line 4 does not begin with three numbers [S] [I] Rate:\r\n" + shown;
    if (std::string_view(c.hint) == "control") {
      expected += "\r\ncontrol character in the line (shown as \\xNN); save the file as plain text";
    } else if (*c.hint != '\0') {
      expected += "\r\n" + std::string(c.hint);
    }
    EXPECT_EQ(refusal(with_line_4(c.row)), (std::vector<std::string>{expected, aborted}));
    EXPECT_EQ(fe.boxes[0].kind, box_kind::warning);
  }
}

TEST_F(DataFile, DegenerateDataAreReadWithAWarning) {
  auto rows = [](auto row) {
    std::string text;
    for (int k = 0; k < 12; ++k)
      text += row(k);
    return text;
  };
  auto one_level = [](const std::string& value) {
    return "Every row has the same inhibitor concentration ([I] = " + value +
           "): inhibition constants cannot be determined from this data. Measure the rates at "
           "two or more inhibitor concentrations, one of them 0";
  };
  const std::string equal = "All rates are equal: the data cannot tell the models apart";
  const std::string none_positive = "No rate is above 0: the models describe positive rates";
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {rows([](int) { return std::string("50 0 0.5\n"); }), {one_level("0"), equal}},
      {rows([](int k) { return std::to_string(50 + k) + " " + std::to_string(k / 6) + " 0\n"; }),
       {equal, none_positive}},
      {rows([](int k) { return std::to_string(50 + k) + " 0 " + std::to_string(-k) + "\n"; }),
       {one_level("0"), none_positive}},
      {rows([](int k) { return std::to_string(50 + k) + " 50 0.5" + std::to_string(k) + "\n"; }),
       {one_level("50")}},
      {rows([](int k) {
         return std::to_string(50 + k) + (k % 2 == 0 ? " 2.5e-8 0.5" : " 2.50000001e-8 0.5") +
                std::to_string(k) + "\n";
       }),
       {one_level("2.5e-08")}},
      {rows([](int k) {
         return std::to_string(k % 6 == 2 ? 0 : 50 + k) + " " + std::to_string(k / 6) + " 0.5" +
                std::to_string(k) + "\n";
       }),
       {"[S] is 0 or below in data line 3: the models need [S] above 0"}},
      {rows([](int k) {
         return std::to_string(50 + k) + " " + std::to_string(k / 6 - 1) + " 0.5" +
                std::to_string(k) + "\n";
       }),
       {"[I] is below 0 in data line 1: the models need [I] of 0 or more"}},
      {grid(2, 6), {}},
  };
  for (const auto& [content, warnings] : cases) {
    const auto read = run(content);
    EXPECT_EQ(read.status, run_status::success) << content;
    EXPECT_EQ(fe.texts(), warnings) << content;
    EXPECT_EQ(read.warnings, warnings) << content;  // kept for the run's record
  }
}

// Rows the person leaves out are dropped before the counts are checked, named by
// where they stand in the file, and the rows kept keep their order.
TEST_F(DataFile, RowsLeftOutAreDroppedBeforeTheChecks) {
  ctx->leave_out = {9, 2, 40};
  auto read = run(grid(2, 6));
  ASSERT_EQ(read.status, run_status::success);
  EXPECT_EQ(ctx->rows_left_out, (std::vector<std::string>{"2", "9"}));
  EXPECT_EQ(read.source_rows, (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 10, 11, 12}));
  EXPECT_EQ(ctx->idat, 10);
  EXPECT_EQ(read.warnings, (std::vector<std::string>{"Row 40 to be left out is not among the 12 "
                                                     "rows read: nothing is left out for it"}));
  EXPECT_EQ((std::vector<int>(ctx->id2.begin(), ctx->id2.begin() + 2)), (std::vector<int>{5, 5}));
  EXPECT_EQ(ctx->xtmp[1], 150.0);  // line 3
  EXPECT_EQ(ctx->x2tmp[7], 100.0);
  EXPECT_DOUBLE_EQ(ctx->ytmp[7], 0.2);  // line 10: the fourth row of the second curve

  // A warning names the line of the file, not the place among the rows kept.
  std::string zero_at_3 = grid(2, 6);
  zero_at_3.replace(zero_at_3.find("150"), 3, "0");
  ctx->leave_out = {1};
  read = run(zero_at_3);
  EXPECT_EQ(
      read.warnings,
      (std::vector<std::string>{"[S] is 0 or below in data line 3: the models need [S] above 0"}));

  // Too few rows left, or a curve left too short, refuses the run as a short file does.
  ctx->leave_out = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(refusal(grid(2, 6)).front(),
            "Only 2 rows are left once the rows left out are dropped: at least 3 are needed");
  ctx->leave_out = {3, 4};
  EXPECT_EQ(refusal(grid(2, 6)).front(), "Single curve data must be greater than 5");

  // A table's rows are named by their cells; its rates are read grouped by [I].
  ctx->leave_out = {2, 7};
  const auto table = dir.write("t.csv",
                               "S,I,v\n50,100,0.02\n50,0,0.03\n100,0,0.05\n100,100,0.03\n"
                               "200,0,0.08\n200,100,0.045\n333,0,0.1\n333,100,0.06\n500,0,0.12\n"
                               "500,100,0.07\n700,0,0.13\n700,100,0.08\n");
  read = run_path(table);
  ASSERT_EQ(read.status, run_status::success) << fe.texts().front();
  EXPECT_EQ(ctx->rows_left_out, (std::vector<std::string>{"C4", "C2"}));
  EXPECT_EQ(ctx->idat, 10);

  // Nothing named, nothing dropped; a later read forgets what an earlier one dropped.
  ctx->leave_out.clear();
  read = run(grid(2, 6));
  EXPECT_TRUE(read.source_rows.empty());
  EXPECT_TRUE(ctx->rows_left_out.empty());
  EXPECT_EQ(ctx->idat, 12);
}

TEST_F(DataFile, CurvesThatAreNotWhatTheRowsSuggestGetAWarning) {
  auto curve = [](const std::string& inhibitor, int rows = 6) {
    std::string text;
    for (int r = 0; r < rows; ++r)
      text += std::to_string(50 + r) + " " + inhibitor + " 0.1" + std::to_string(r) + "\n";
    return text;
  };
  auto apart = [](const std::string& where) {
    return "Rows of one [I] do not stand together (" + where +
           "): each block of rows is fitted as a curve of its own. Put the rows of each [I] in "
           "one block";
  };
  auto joined = [](const std::string& which) {
    return "[I] values that differ by at most 1e-7 are read as one curve: " + which +
           ". Write [I] in a unit that keeps different concentrations apart (for example µM "
           "instead of M)";
  };
  struct layout_case {
    std::string content;
    std::vector<int> sizes;
    std::vector<std::string> warnings;
  };
  const std::vector<layout_case> cases = {
      {curve("0") + curve("100") + curve("0") + curve("100"),
       {6, 6, 6, 6},
       {apart("[I] = 0 in curves 1 and 3; [I] = 100 in curves 2 and 4")}},
      {curve("0") + curve("5") + curve("0.00000001") + curve("7") + curve("0"),
       {6, 6, 6, 6, 6},
       {apart("[I] = 0 in curves 1, 3 and 5")}},
      {curve("0") + curve("1e-7") + curve("2e-6"), {12, 6}, {joined("0 and 1e-07 (curve 1)")}},
      {curve("1e-9") + curve("5e-8") + curve("1e-6") + curve("1.05e-6"),
       {12, 12},
       {joined("1e-09 and 5e-08 (curve 1); 1e-06 and 1.05e-06 (curve 2)")}},
      // Rounding noise in one concentration, and concentrations well apart: no word.
      {curve("100") + curve("100.00000005") + curve("200"), {12, 6}, {}},
      {curve("0") + curve("1e-6") + curve("2e-6"), {6, 6, 6}, {}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run(c.content).status, run_status::success) << c.content;
    std::vector<int> sizes = c.sizes;
    sizes.resize(ctx->id2.size());
    EXPECT_EQ(std::vector<int>(ctx->id2.begin(), ctx->id2.end()), sizes) << c.content;
    EXPECT_EQ(fe.texts(), c.warnings) << c.content;
  }
  // Blocks that repeat are named also when they make too many curves.
  std::string twelve;
  for (int k = 0; k < 12; ++k)
    twelve += curve(k % 2 == 0 ? "0" : "100");
  EXPECT_EQ(refusal(twelve),
            (std::vector<std::string>{
                apart("[I] = 0 in curves 1, 3, 5, 7, 9 and 11; [I] = 100 in curves 2, 4, 6, 8, "
                      "10 and 12"),
                "Curve limit of 10 exceeded! Number of curves = 12", aborted}));
}

TEST_F(DataFile, CurvesSplitByTheToleranceAndEachNeedsFiveRows) {
  auto curve = [](const std::string& inhibitor, int rows) {
    std::string text;
    for (int r = 0; r < rows; ++r)
      text += std::to_string(50 + r) + " " + inhibitor + " 0.1\n";
    return text;
  };
  std::string thousand;  // the most rows a file may have, in ten curves
  for (int c = 0; c < 10; ++c)
    thousand += curve(std::to_string(c), 100);
  const std::string small = "Single curve data must be greater than 5";
  struct expectation {
    std::string content;
    std::vector<int> sizes;    // the curves' row counts, when the file is read
    std::string refused = "";  // the first box, when it is not
  };
  for (const auto& e : {
           expectation{thousand, std::vector<int>(10, 100), ""},
           // 100 and 100.00000005 are one curve; 100.0001 starts another.
           expectation{curve("100", 6) + curve("100.00000005", 6) + curve("100.0001", 6), {12, 6}},
           expectation{grid(2, 6) + grid(1, 6), {6, 6, 6}},  // a repeated [I] is a new curve
           expectation{grid(3, 5), {5, 5, 5}},
           expectation{grid(3, 4), {}, small},
           expectation{grid(2, 6) + curve("999", 4), {}, small},
           expectation{grid(11, 6) + curve("5000", 3), {}, small},  // beyond the tenth curve
           expectation{grid(11, 6), {}, "Curve limit of 10 exceeded! Number of curves = 11"},
       }) {
    if (e.refused.empty()) {
      ASSERT_EQ(run(e.content).status, run_status::success) << e.content.substr(0, 80);
      std::vector<int> sizes = e.sizes;  // and no count left from an earlier read
      sizes.resize(ctx->id2.size());
      EXPECT_EQ(std::vector<int>(ctx->id2.begin(), ctx->id2.end()), sizes);
    } else {
      EXPECT_EQ(refusal(e.content).front(), e.refused);
    }
  }
  EXPECT_EQ(ctx->idatasets, 10);  // only 10 curves are kept, the true count is named
  EXPECT_EQ(run(grid(11, 6)).curves_found, 11);
}

// A refused run writes nothing: an earlier results file keeps its bytes and its time,
// none is created where there was none, and the closing line goes to the console.
TEST_F(DataFile, RefusedRunLeavesTheResultsFileAsItWas) {
  const std::string earlier = "an earlier complete report\r\n";
  const std::vector<std::string> refused = {with_line_4("333 0 0,102"),
                                            grid(1, 2),
                                            "",
                                            grid(3, 4),
                                            grid(11, 6),
                                            "S,I,v\n" + grid(1, 6),
                                            std::string(2 * max_line_length, '1')};
  for (const bool had_results : {true, false}) {
    for (const auto& content : refused) {
      SCOPED_TRACE(content.substr(0, 20) + (had_results ? " (earlier results)" : ""));
      std::filesystem::remove(dir.file("case.out"));
      if (had_results) {
        dir.write("case.out", earlier);
        std::filesystem::last_write_time(
            dir.file("case.out"),
            std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
      }
      dir.write("case.in", content);
      const auto before = support::snapshot(dir.path());
      const auto time = had_results ? std::filesystem::last_write_time(dir.file("case.out"))
                                    : std::filesystem::file_time_type{};
      console.str("");
      EXPECT_EQ(run_path(dir.file("case.in")).status, run_status::file_rejected);
      EXPECT_EQ(fe.boxes.back().text, aborted);
      EXPECT_FALSE(results.is_open());
      EXPECT_EQ(support::snapshot(dir.path()), before);
      if (had_results) {
        EXPECT_EQ(std::filesystem::last_write_time(dir.file("case.out")), time);
      }
      EXPECT_TRUE(console.str().ends_with(closing_line())) << console.str();
    }
  }
}

TEST_F(DataFile, CheckingAloneNamesNoResultsFile) {
  const auto read = run_path(dir.write("only.in", grid(2, 2)), false);
  EXPECT_EQ(read.status, run_status::file_rejected);
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(support::file_names(dir.path()), std::vector<std::string>{"only.in"});
}

TEST_F(DataFile, SpreadsheetExportsAreToldSo) {
  const std::string rows = "50,0,0.032\n100,0,0.055\n200,0,0.08\n333,0,0.102\n500,0,0.116\n";
  const std::string save =
      "read it as a table (a name ending in .csv, or inhibra-fit --table), or save the data as "
      "plain text: three columns [S] [I] rate separated by blanks, one row a line, no header row";
  auto header = [&](int line, const std::string& text) {
    return "Line " + std::to_string(line) +
           " looks like a spreadsheet export with a header row:" + "\r\n" + text + "\r\n" + save;
  };
  const std::string columns = "Data columns not equal to 3";
  struct export_case {
    std::string content;
    std::vector<std::string> boxes;
  };
  const std::vector<export_case> cases = {
      {"S,I,v\n" + rows, {columns, header(1, "S,I,v"), aborted}},
      {"[S] (uM);[I];rate\n50;0;0.032\n100;0;0.055\n200;0;0.08\n",
       {columns, header(1, "[S] (uM);[I];rate"), aborted}},
      {"S\tI\tv\n50\t0\t0.032\n100\t0\t0.055\n200\t0\t0.08\n", {header(1, "S\tI\tv"), aborted}},
      {"\xEF\xBB\xBFsep=,\nS,I,v\n" + rows, {columns, header(2, "S,I,v"), aborted}},
      {"sep=;\n50;0;0.032\n100;0;0.055\n200;0;0.08\n",
       {columns, "Line 1 (sep=;) looks like a spreadsheet export:\r\n" + save, aborted}},
      {"50;0;0.032\n100;0;0.055\n200;0;0.08\n",
       {columns,
        "The file looks like a spreadsheet export with values separated by \";\":\r\n"
        "50;0;0.032\r\n" +
            save,
        aborted}},
      // A quoted header ends the data at once: the row limit, then what the file is.
      {"\"S\",\"I\",\"v\"\n",
       {"Data rows exceeded limit of 1000\r\nthe data end at line 1, a note line, before any row: "
        "the data begin on the first line",
        header(1, "\"S\",\"I\",\"v\""), aborted}},
      // A header typed with blanks is a first row that is not three numbers.
      {"S I v\n" + grid(1, 6),
       {"Data line 1 does not begin with three numbers [S] [I] Rate:\r\nS I v\r\nthe data "
        "begin on the first line: remove the header row",
        aborted}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(refusal(c.content), c.boxes) << c.content;
  // A typo in the first row is no header (values alone, separated by commas from the
  // first row on, keep the column message and its list of models, as pinned above).
  EXPECT_EQ(
      refusal("5O 0 0.032\n" + grid(1, 6)),
      (std::vector<std::string>{
          "Data line 1 does not begin with three numbers [S] [I] Rate:\r\n5O 0 0.032", aborted}));
}

TEST_F(DataFile, FileNamesInMessagesShowControlCharacters) {
  const std::string odd = "a\x1b[2Jb\nc";  // a terminal escape and a line break
  const std::string shown = "a\\x1B[2Jb\\x0Ac";
  EXPECT_EQ(run_path(dir.file(odd + ".in")).status, run_status::file_not_found);
  EXPECT_EQ(fe.boxes.at(0).text, "File does not exist: " + dir.file(shown + ".in"));
  std::filesystem::create_directory(dir.file(odd + ".in"));
  EXPECT_EQ(run_path(dir.file(odd + ".in")).status, run_status::file_not_opened);
  EXPECT_EQ(fe.boxes.at(0).text,
            "Not a regular file (a folder, pipe or device): " + dir.file(shown + ".in"));
  EXPECT_EQ(console.str(), " RESULTS FILE " + dir.file(shown + ".out") + "\n");
  dir.write(odd + ".x", grid(2, 6));
  std::filesystem::create_directory(dir.file(odd + ".out"));
  EXPECT_EQ(run_path(dir.file(odd + ".x")).status, run_status::file_not_opened);
  EXPECT_TRUE(fe.boxes.at(0).text.starts_with(
      "Results file cannot be created: " + dir.file(shown + ".out") + ": "))
      << fe.boxes.at(0).text;
  for (const auto& box : fe.boxes)
    EXPECT_EQ(box.text.find_first_of("\x1b\n"), std::string::npos) << box.text;
}

TEST(Ncolmdl, ModelsBeyondTheLibraryAreRefusedWithThreeColumns) {
  support::recording_frontend fe;
  core::fit_context ctx;
  ctx.fe = &fe;
  EXPECT_EQ(ncolmdl(ctx, 3, 10), run_status::success);
  EXPECT_TRUE(fe.boxes.empty());
  EXPECT_EQ(ncolmdl(ctx, 4, 11), run_status::success);
  EXPECT_EQ(ncolmdl(ctx, 3, 11), run_status::model_undefined);
  ASSERT_EQ(fe.boxes.size(), 1u);
  EXPECT_TRUE(fe.boxes[0].text.starts_with("THE CHOSEN MODEL IS UNDEFINED, BUT\r\n"));
  EXPECT_EQ(ncolmdl(ctx, 2, 1), run_status::model_undefined);
  EXPECT_TRUE(fe.boxes[1].text.starts_with("THE MODEL FUNCTION REQUIRES 3 DATA COLUMNS,"));
  // The box lists every model of the catalogue by its number and code.
  for (const auto& facts : models::model_catalogue) {
    EXPECT_NE(fe.boxes[1].text.find(facts.name.substr(0, 4)), std::string::npos) << facts.number;
    EXPECT_NE(fe.boxes[1].text.find(facts.code), std::string::npos) << facts.number;
  }
}

}  // namespace
}  // namespace inhibra::data
