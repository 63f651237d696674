#include "data/data_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "support/recording_frontend.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::data {
namespace {

using fit::box_kind;
using fit::run_status;

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

class DataFile : public ::testing::Test {
 protected:
  DataFile() : ctx(std::make_unique<fit::fit_context>()) { ctx->fe = &fe; }

  data_read run(const std::string& content, bool with_results = true) {
    const auto path = dir.write("case.in", content);
    return run_path(path, with_results);
  }
  data_read run_path(const std::string& path, bool with_results = true) {
    return read_data_file(*ctx, path, with_results ? &results : nullptr, console);
  }

  support::temp_dir dir;
  support::recording_frontend fe;
  std::unique_ptr<fit::fit_context> ctx;
  std::ofstream results;
  std::ostringstream console;
};

TEST_F(DataFile, ReadsTheBundledExample) {
  const auto read = run_path(std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in", false);
  EXPECT_EQ(read.status, run_status::success);
  EXPECT_TRUE(fe.boxes.empty());
  EXPECT_EQ(ctx->idat, 24);
  EXPECT_EQ(ctx->rows, 24);
  EXPECT_EQ(ctx->columns, 3);
  EXPECT_EQ(ctx->idatasets, 4);
  for (int c = 0; c < 4; ++c)
    EXPECT_EQ(ctx->id2[static_cast<std::size_t>(c)], 6);
  EXPECT_EQ(ctx->substrate[0], 50.0);
  EXPECT_EQ(ctx->rate[0], 0.032);
  EXPECT_EQ(ctx->inhibitor[23], 400.0);
  EXPECT_EQ(ctx->rate[23], 0.024);
  EXPECT_EQ(ctx->ytmp[23], 0.024);
}

TEST_F(DataFile, SuccessLeavesTheResultsFileOpenAndEmpty) {
  const auto read = run(grid(2, 6));
  ASSERT_EQ(read.status, run_status::success);
  EXPECT_TRUE(results.is_open());
  results.close();
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

TEST_F(DataFile, UnopenableFileStopsWithStatusTwo) {
  std::filesystem::create_directory(dir.file("folder.in"));
  const auto read = run_path(dir.file("folder.in"));
  EXPECT_EQ(read.status, run_status::file_not_opened);
  EXPECT_EQ(fe.texts(), (std::vector<std::string>{"Data input file error at Line 381",
                                                  "* * * ERROR: RUN ABORTED * * *"}));
  EXPECT_FALSE(std::filesystem::exists(dir.file("folder.out")));
}

TEST_F(DataFile, ResultsFileThatCannotBeCreatedStopsWithStatusTwo) {
  dir.write("blocked.in", grid(1, 6));
  std::filesystem::create_directory(dir.file("blocked.out"));  // a folder in the way
  const auto read = run_path(dir.file("blocked.in"));
  EXPECT_EQ(read.status, run_status::file_not_opened);
  EXPECT_EQ(fe.texts(), (std::vector<std::string>{"Data output file error at Line 395",
                                                  "* * * ERROR: RUN ABORTED * * *"}));
}

TEST_F(DataFile, RowLimitsStopTheRunAndLeaveOnlyTheClosingLine) {
  for (const auto& content :
       {grid(1, 2), grid(1, 1001), std::string("# note first\n") + grid(1, 6)}) {
    fe.boxes.clear();
    const auto read = run(content);
    EXPECT_EQ(read.status, run_status::file_rejected);
    ASSERT_EQ(fe.boxes.size(), 2u);
    EXPECT_EQ(fe.boxes[0].text, "Data rows exceeded limit of 1000");
    EXPECT_EQ(fe.boxes[1].text, "* * * ERROR: RUN ABORTED * * *");
    EXPECT_FALSE(results.is_open());
    EXPECT_EQ(support::read_file(dir.file("case.out")),
              "\r\n RESULTS FILE " + dir.file("case.out") + "\r\n\r\n");
  }
}

TEST_F(DataFile, ExactlyThousandRowsAreAccepted) {
  std::string content;
  for (int c = 0; c < 10; ++c) {
    for (int r = 0; r < 100; ++r)
      content += std::to_string(r + 1) + " " + std::to_string(c) + " 1\n";
  }
  EXPECT_EQ(run(content).status, run_status::success);
  EXPECT_EQ(ctx->idat, 1000);
  EXPECT_EQ(ctx->idatasets, 10);
}

TEST_F(DataFile, EmptyFileGetsTheRowMessageAndTheConsoleWarning) {
  const auto read = run("");
  EXPECT_EQ(read.status, run_status::file_rejected);
  EXPECT_EQ(fe.boxes.front().text, "Data rows exceeded limit of 1000");
  EXPECT_EQ(console.str(),
            " -\nFILE_COLUMN_COUNT - Warning.\n  The file does not contain any data.\n");
  EXPECT_EQ(ctx->columns, -1);
}

TEST_F(DataFile, NoteOnTheFirstRowIsNotCountedButOtherTextIs) {
  EXPECT_EQ(run("50 0 0.032 !<-- CURVE #1\n" + grid(1, 6).substr(grid(1, 6).find('\n') + 1)).status,
            run_status::success);
  EXPECT_EQ(ctx->columns, 3);

  fe.boxes.clear();
  const auto read = run("50 0 0.032 first curve\n" + grid(1, 6));
  EXPECT_EQ(read.status, run_status::file_rejected);
  EXPECT_EQ(ctx->columns, 5);
  ASSERT_EQ(fe.boxes.size(), 2u);  // no model-list box for more than 3 columns
  EXPECT_EQ(fe.boxes[0].text, "Data columns not equal to 3");
}

TEST_F(DataFile, CommaSeparatedFirstRowIsOneColumnWithTheModelListBox) {
  const auto read = run("50,0,0.032\n" + grid(1, 6));
  EXPECT_EQ(read.status, run_status::file_rejected);
  EXPECT_EQ(ctx->columns, 1);
  ASSERT_EQ(fe.boxes.size(), 3u);
  EXPECT_EQ(fe.boxes[0].text, "Data columns not equal to 3");
  EXPECT_EQ(fe.boxes[1].kind, box_kind::information);
  EXPECT_TRUE(fe.boxes[1].text.starts_with(
      "THE MODEL FUNCTION REQUIRES 3 DATA COLUMNS,\r\nBUT THE FILE CONTAINS ONLY X,Y DATA.\r\n"
      "TO RUN ENTER [S],[I],Rate (3 DATA COLUMNS)\r\nAND SELECT A MODEL FROM THE MAIN MENU:\r\n"
      "\r\n1- Linear Specific Inhibition, LSpI\r\n"));
  EXPECT_TRUE(fe.boxes[1].text.ends_with(
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

TEST_F(DataFile, ByteOrderMarkIsSkipped) {
  EXPECT_EQ(run("\xEF\xBB\xBF" + grid(1, 6)).status, run_status::success);
  EXPECT_EQ(ctx->columns, 3);
  EXPECT_EQ(ctx->substrate[0], 50.0);
}

TEST_F(DataFile, RowsTakeExponentsAndIgnoreTrailingText) {
  const auto read =
      run("5.0E1 0 3.2D-2\n+1e2 0 0.055 trailing text\n200\t0\t.08\n"
          "333 0 0.102\n500 0 0.116\n700 0 1.3d-1 ! note\n");
  ASSERT_EQ(read.status, run_status::success);
  EXPECT_EQ(ctx->substrate[0], 50.0);
  EXPECT_EQ(ctx->rate[0], 0.032);
  EXPECT_EQ(ctx->substrate[1], 100.0);
  EXPECT_EQ(ctx->rate[2], 0.08);
  EXPECT_EQ(ctx->rate[5], 0.13);
}

TEST_F(DataFile, UnreadableRowStopsWithItsLineNumberAndText) {
  for (const std::string bad : {"333 0 abc", "333 0", "333 nan 0.1", "333 0 inf", "333 0 1e999"}) {
    fe.boxes.clear();
    const auto read =
        run("50 0 0.032\n100 0 0.055\n200 0 0.08\n" + bad + "\n500 0 0.116\n700 0 0.13\n");
    EXPECT_EQ(read.status, run_status::file_rejected) << bad;
    ASSERT_EQ(fe.boxes.size(), 2u) << bad;
    EXPECT_EQ(fe.boxes[0].kind, box_kind::warning);
    EXPECT_NE(fe.boxes[0].text.find("line 4"), std::string::npos) << fe.boxes[0].text;
    EXPECT_TRUE(fe.boxes[0].text.ends_with("\r\n" + bad)) << fe.boxes[0].text;
    EXPECT_EQ(fe.boxes[1].text, "* * * ERROR: RUN ABORTED * * *");
  }
}

TEST_F(DataFile, CurvesGroupByTheTolerance) {
  // 100 and 100.00000005 are one curve; 100.0001 starts another.
  std::string content;
  for (int r = 0; r < 6; ++r)
    content += std::to_string(50 + r) + " 100 0.1\n";
  for (int r = 0; r < 6; ++r)
    content += std::to_string(50 + r) + " 100.00000005 0.1\n";
  for (int r = 0; r < 6; ++r)
    content += std::to_string(50 + r) + " 100.0001 0.1\n";
  ASSERT_EQ(run(content).status, run_status::success);
  EXPECT_EQ(ctx->idatasets, 2);
  EXPECT_EQ(ctx->id2[0], 12);
  EXPECT_EQ(ctx->id2[1], 6);
}

TEST_F(DataFile, RepeatedBlockOfTheSameInhibitorIsANewCurve) {
  ASSERT_EQ(run(grid(2, 6) + grid(1, 6)).status, run_status::success);
  EXPECT_EQ(ctx->idatasets, 3);
}

TEST_F(DataFile, CurveSizesFromFiveRowsUpAreAccepted) {
  EXPECT_EQ(run(grid(3, 5)).status, run_status::success);
  EXPECT_EQ(run(grid(3, 4)).status, run_status::file_rejected);
}

TEST_F(DataFile, SmallCurveAnywhereStopsTheRun) {
  std::string content = grid(2, 6);
  for (int r = 0; r < 4; ++r)
    content += std::to_string(50 + r) + " 999 0.1\n";
  const auto read = run(content);
  EXPECT_EQ(read.status, run_status::file_rejected);
  EXPECT_EQ(fe.boxes.front().text, "Single curve data must be greater than 5");
}

TEST_F(DataFile, MoreThanTenCurvesNamesTheTrueCount) {
  const auto read = run(grid(11, 6));
  EXPECT_EQ(read.status, run_status::file_rejected);
  EXPECT_EQ(read.curves_found, 11);
  EXPECT_EQ(fe.boxes.front().text, "Curve limit of 10 exceeded! Number of curves = 11");
  EXPECT_EQ(ctx->idatasets, 10);
}

TEST_F(DataFile, SmallCurveBeyondTheTenthIsStillFound) {
  std::string content = grid(11, 6);
  for (int r = 0; r < 3; ++r)
    content += std::to_string(50 + r) + " 5000 0.1\n";
  EXPECT_EQ(run(content).status, run_status::file_rejected);
  EXPECT_EQ(fe.boxes.front().text, "Single curve data must be greater than 5");
}

TEST_F(DataFile, CheckingWritesNoResultsFile) {
  const auto path = dir.write("only.in", grid(2, 2));
  EXPECT_EQ(read_data_file(*ctx, path, nullptr, console).status, run_status::file_rejected);
  EXPECT_FALSE(std::filesystem::exists(dir.file("only.out")));
}

TEST(Ncolmdl, ModelsBeyondTheLibraryAreRefusedWithThreeColumns) {
  support::recording_frontend fe;
  fit::fit_context ctx;
  ctx.fe = &fe;
  EXPECT_EQ(ncolmdl(ctx, 3, 10), run_status::success);
  EXPECT_TRUE(fe.boxes.empty());
  EXPECT_EQ(ncolmdl(ctx, 4, 11), run_status::success);
  EXPECT_EQ(ncolmdl(ctx, 3, 11), run_status::model_undefined);
  ASSERT_EQ(fe.boxes.size(), 1u);
  EXPECT_TRUE(fe.boxes[0].text.starts_with("THE CHOSEN MODEL IS UNDEFINED, BUT\r\n"));
  EXPECT_EQ(ncolmdl(ctx, 2, 1), run_status::model_undefined);
  EXPECT_TRUE(fe.boxes[1].text.starts_with("THE MODEL FUNCTION REQUIRES 3 DATA COLUMNS,"));
}

}  // namespace
}  // namespace inhibra::data
