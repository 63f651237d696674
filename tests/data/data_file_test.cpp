#include "data/data_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "data/data_file_fixture.hpp"

namespace inhibra::data {
namespace {

using core::box_kind;
using core::run_status;

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

}  // namespace
}  // namespace inhibra::data
