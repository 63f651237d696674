#include "data/data_file.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
  // What a refused file leaves in its results file.
  std::string closing_line_only() const {
    return "\r\n RESULTS FILE " + dir.file("case.out") + "\r\n\r\n";
  }

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
        "Results file cannot be created: " + dir.file(stem + ".out") + " ("))
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

TEST_F(DataFile, LongLineStopsTheReadingAndIsNamed) {
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
    EXPECT_EQ(support::read_file(dir.file("case.out")), closing_line_only());
  }
  // A file without line breaks is one long line.
  EXPECT_EQ(refusal(std::string(3 * max_line_length, '1')).front(),
            "Data line 1 is longer than 65536 characters");
}

TEST_F(DataFile, RowLimitsStopTheRunAndLeaveOnlyTheClosingLine) {
  for (const auto& content :
       {grid(1, 2), grid(1, 1001), std::string("# note first\n") + grid(1, 6)}) {
    EXPECT_EQ(refusal(content),
              (std::vector<std::string>{"Data rows exceeded limit of 1000", aborted}));
    EXPECT_FALSE(results.is_open());
    EXPECT_EQ(support::read_file(dir.file("case.out")), closing_line_only());
  }
  // Checking alone writes no results file.
  EXPECT_EQ(run_path(dir.write("only.in", grid(2, 2)), false).status, run_status::file_rejected);
  EXPECT_FALSE(std::filesystem::exists(dir.file("only.out")));
}

TEST_F(DataFile, EmptyFileGetsTheRowMessageAndTheConsoleWarning) {
  EXPECT_EQ(refusal("").front(), "Data rows exceeded limit of 1000");
  EXPECT_EQ(console.str(),
            " -\nFILE_COLUMN_COUNT - Warning.\n  The file does not contain any data.\n");
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

TEST_F(DataFile, BlankOrNoteLineEndsTheData) {
  const std::string rows = grid(4, 5);
  // Everything after the blank line (even data-like rows) is ignored.
  EXPECT_EQ(run(rows + "\n1 2 3\n4 5 6\n").status, run_status::success);
  EXPECT_EQ(ctx->idat, 20);
  EXPECT_EQ(run(rows + "  ! notes follow\n1 2 3\n").status, run_status::success);
  EXPECT_EQ(ctx->idat, 20);
  // A Windows blank line ("\r") also ends the data, and CR LF rows read fine.
  std::string crlf;
  for (char c : rows)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(run(crlf + "\r\n9 9 9\r\n").status, run_status::success);
  EXPECT_EQ(ctx->idat, 20);
  EXPECT_EQ(ctx->rate[19], ctx->ytmp[19]);
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
  const std::string equal = "All rates are equal: the data cannot tell the models apart";
  const std::string none_positive = "No rate is above 0: the models describe positive rates";
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {rows([](int) { return std::string("50 0 0.5\n"); }), {equal}},
      {rows([](int k) { return std::to_string(50 + k) + " " + std::to_string(k / 6) + " 0\n"; }),
       {equal, none_positive}},
      {rows([](int k) { return std::to_string(50 + k) + " 0 " + std::to_string(-k) + "\n"; }),
       {none_positive}},
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
    EXPECT_EQ(run(content).status, run_status::success) << content;
    EXPECT_EQ(fe.texts(), warnings) << content;
  }
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
