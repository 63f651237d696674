// Rows left out, curves and their tolerance, refused runs, spreadsheet exports and
// names in messages: what the data reader checks once the rows are read.
#include "data/data_file.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "data/data_file_fixture.hpp"
#include "models/model_catalogue.hpp"

namespace inhibra::data {
namespace {

using core::box_kind;
using core::run_status;

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
