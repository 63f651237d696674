// Data tables: cutting text into cells, telling the layout and the columns, and the
// reading of a table file under the native reader's limits and messages.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "data/data_file.hpp"
#include "data/table_reader.hpp"
#include "data/table_text.hpp"
#include "support/recording_frontend.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::data {
namespace {

using core::run_status;
using core::table_layout;
using cells = std::vector<std::vector<std::string>>;

cells cells_of(const table_text& t) {
  cells out;
  for (const auto& row : t.rows)
    out.push_back(row.cells);
  return out;
}

TEST(SplitTable, CutsEveryKindOfExportIntoTheSameCells) {
  const cells plain{{"S", "I", "v"}, {"50", "0", "0.032"}};
  struct split_case {
    const char* what;
    std::string text;
    cell_separator separator;
    cells expected;
  };
  const split_case cases[] = {
      {"comma", "S,I,v\n50,0,0.032\n", cell_separator::comma, plain},
      {"semicolon keeps decimal commas",
       "S;I;v\n50;0;0,032\n",
       cell_separator::semicolon,
       {{"S", "I", "v"}, {"50", "0", "0,032"}}},
      {"tab", "S\tI\tv\n50\t0\t0.032\n", cell_separator::tab, plain},
      {"blanks", "  S   I v\n50 0   0.032\n", cell_separator::blanks, plain},
      {"BOM and CR LF", "\xEF\xBB\xBFS,I,v\r\n50,0,0.032\r\n", cell_separator::comma, plain},
      {"trailing separators and blank lines", "S,I,v,,\n\n50,0,0.032,\n,,,\n",
       cell_separator::comma, plain},
      {"blanks around cells", " S , I ,v\n 50, 0 , 0.032 \n", cell_separator::comma, plain},
      {"quotes hold separators and doubled quotes",
       "\"S, uM\",\"I \"\"x\"\"\",v\n\"50\",0,0.032\n",
       cell_separator::comma,
       {{"S, uM", "I \"x\"", "v"}, {"50", "0", "0.032"}}},
      {"a quoted line end",
       "\"S\nsubstrate\",I,v\n50,0,0.032\n",
       cell_separator::comma,
       {{"S\nsubstrate", "I", "v"}, {"50", "0", "0.032"}}},
      {"sep= line names the separator", "sep=;\nS;I;v\n50;0;0.032\n", cell_separator::semicolon,
       plain},
      {"note lines skipped", "# from the reader\nS,I,v\n50,0,0.032\n", cell_separator::comma,
       plain},
      {"semicolons win over decimal commas in a tab-free file",
       "S;I;v\n50;0;0,5\n70;0;0,7\n",
       cell_separator::semicolon,
       {{"S", "I", "v"}, {"50", "0", "0,5"}, {"70", "0", "0,7"}}},
  };
  for (const auto& c : cases) {
    const table_text t = split_table(c.text);
    EXPECT_TRUE(t.error.empty()) << c.what << ": " << t.error;
    EXPECT_EQ(t.separator, c.separator) << c.what;
    EXPECT_EQ(cells_of(t), c.expected) << c.what;
  }
}

TEST(SplitTable, RowsKeepTheLineTheyBeginOn) {
  const table_text t = split_table("S,I,v\n\n\"50\n\",0,1\n60,0,2\n");
  ASSERT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(t.rows[1].line, 3);
  EXPECT_EQ(t.rows[2].line, 5);
}

TEST(SplitTable, AQuoteLeftOpenIsAnError) {
  const table_text t = split_table("S,I,v\n\"50,0,1\n60,0,2\n");
  EXPECT_NE(t.error.find("line 2"), std::string::npos) << t.error;
  EXPECT_TRUE(t.rows.empty());
}

TEST(ColumnChoice, ParsesRolesInAnyOrderAndRefusesTheRest) {
  core::column_choice c;
  std::string error;
  ASSERT_TRUE(parse_column_choice("S=2,I=1,v=4", c, error)) << error;
  EXPECT_EQ(c.substrate, 2);
  EXPECT_EQ(c.inhibitor, 1);
  EXPECT_EQ(c.rate, 4);
  ASSERT_TRUE(parse_column_choice("rate=1, [S]=3, i=2", c, error)) << error;
  EXPECT_EQ(c.rate, 1);
  EXPECT_EQ(c.substrate, 3);
  for (const char* bad : {"S=1,I=2", "S=1,I=2,v=2", "S=1,S=2,v=3", "S=0,I=1,v=2", "S=a,I=1,v=2",
                          "S=1,I=2,v=3,x=4", "", "S=1;I=2;v=3"}) {
    error.clear();
    EXPECT_FALSE(parse_column_choice(bad, c, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(ColumnLetters, NameColumnsAsSpreadsheetsDo) {
  EXPECT_EQ(column_letters(1), "A");
  EXPECT_EQ(column_letters(26), "Z");
  EXPECT_EQ(column_letters(27), "AA");
  EXPECT_EQ(column_letters(703), "AAA");
}

// Five [S] levels per curve, rate = 0.1 * (level + 1) / (curve + 1).
std::string long_rows(int curves, std::string_view sep = ",") {
  std::string text;
  for (int c = 0; c < curves; ++c) {
    for (int r = 0; r < 5; ++r) {
      text += std::to_string(50 * (r + 1)) + std::string(sep) + std::to_string(100 * c) +
              std::string(sep) + std::to_string(0.1 * (r + 1) / (c + 1)) + "\n";
    }
  }
  return text;
}

class TableFile : public ::testing::Test {
 protected:
  TableFile() : ctx(std::make_unique<core::fit_context>()) { ctx->fe = &fe; }

  data_read read(const std::string& name, const std::string& content) {
    fe.boxes.clear();
    const auto path = dir.write(name, content);
    return read_data_file(*ctx, path, nullptr, console);
  }
  // [S], [I] and rate of observation k as read into the context.
  std::array<double, 3> row(int k) const {
    const auto i = static_cast<std::size_t>(k);
    return {ctx->substrate[i], ctx->inhibitor[i], ctx->rate[i]};
  }
  std::vector<int> per_curve() const {
    return {ctx->id2.begin(), ctx->id2.begin() + ctx->idatasets};
  }

  support::temp_dir dir;
  support::recording_frontend fe;
  std::unique_ptr<core::fit_context> ctx;
  std::ostringstream console;
};

TEST_F(TableFile, ReadsEachLayoutIntoCurvesOfOneInhibitorConcentration) {
  struct layout_case {
    const char* what;
    std::string name;
    std::string text;
    core::table_request request;
    table_layout layout;
    bool transposed;
    axis_units units;
    std::vector<int> per_curve;
    std::array<double, 3> first;  // the first observation after grouping
    std::array<double, 3> last;
    int empty_cells;
    int most_replicates;
  };
  const std::string plate =
      "[S] (uM) \\ [I] (nM),0,0,0,100,100,100\n"
      "50,0.031,0.033,0.032,0.017,,0.018\n"
      "100,0.054,0.056,0.055,0.028,0.027,0.029\n"
      "200,0.081,0.079,0.08,0.045,0.046,0.044\n"
      "333,0.101,0.103,0.102,0.065,0.064,0.066\n"
      "500,0.115,0.117,0.116,0.072,0.073,0.071\n";
  const layout_case cases[] = {
      {"headerless comma export",
       "a.csv",
       long_rows(2),
       {},
       table_layout::long_table,
       false,
       {},
       {5, 5},
       {50, 0, 0.1},
       {250, 100, 0.25},
       0,
       1},
      {"header with units, rows of one [I] apart",
       "b.csv",
       "well,S (uM),[I] / nM,v (uM/min)\nA1,50,100,0.02\nA2,50,0,0.03\nA3,100,0,0.05\n"
       "A4,100,100,0.03\nA5,200,0,0.08\nA6,200,100,0.045\nA7,333,0,0.1\nA8,333,100,0.06\n"
       "A9,500,0,0.12\nB1,500,100,0.07\n",
       {},
       table_layout::long_table,
       false,
       {"uM", "nM", "uM/min"},
       {5, 5},
       {50, 0, 0.03},
       {500, 100, 0.07},
       0,
       1},
      {"semicolon export with decimal commas",
       "c.csv",
       "Substrate;Inhibitor;Rate\n50;0;0,032\n100;0;0,055\n200;0;0,08\n333;0;0,102\n500;0;0,116\n"
       "50;1,5;0,017\n100;1,5;0,028\n200;1,5;0,045\n333;1,5;0,065\n500;1,5;0,072\n",
       {},
       table_layout::long_table,
       false,
       {},
       {5, 5},
       {50, 0, 0.032},
       {500, 1.5, 0.072},
       0,
       1},
      {"tab export, quoted titles, an empty rate",
       "d.tsv",
       "\"[S]\"\t\"[I]\"\t\"velocity\"\n" + long_rows(2, "\t") + "700\t0\t\n",
       {},
       table_layout::long_table,
       false,
       {},
       {5, 5},
       {50, 0, 0.1},
       {250, 100, 0.25},
       1,
       1},
      {"plate with triplicates and an empty well",
       "e.csv",
       plate,
       {},
       table_layout::wide_table,
       false,
       {"uM", "nM", ""},
       {15, 14},
       {50, 0, 0.031},
       {500, 100, 0.071},
       1,
       3},
      {"transposed plate",
       "f.csv",
       "I \\ S,50,100,200,333,500\n0,0.032,0.055,0.08,0.102,0.116\n"
       "100,0.017,0.028,0.045,0.065,0.072\n",
       {},
       table_layout::wide_table,
       true,
       {},
       {5, 5},
       {50, 0, 0.032},
       {500, 100, 0.072},
       0,
       1},
      {"columns chosen, others listed",
       "g.csv",
       "note,inh,sub,x,signal\nq,0,50,1,0.1\nq,0,100,1,0.2\nq,0,150,1,0.3\nq,0,200,1,0.4\n"
       "q,0,250,1,0.5\n",
       {false, table_layout::detect, {3, 2, 5}, "", {}},
       table_layout::long_table,
       false,
       {},
       {5},
       {50, 0, 0.1},
       {250, 0, 0.5},
       0,
       1},
      {"any name with --table",
       "h.in",
       "S,I,v\n" + long_rows(1),
       {true, {}, {}, "", {}},
       table_layout::long_table,
       false,
       {},
       {5},
       {50, 0, 0.1},
       {250, 0, 0.5},
       0,
       1},
  };
  for (const auto& c : cases) {
    ctx->table = c.request;
    const data_read r = read(c.name, c.text);
    ASSERT_EQ(r.status, run_status::success)
        << c.what << ": " << ::testing::PrintToString(fe.texts());
    ASSERT_TRUE(r.table.has_value()) << c.what;
    EXPECT_EQ(r.table->layout, c.layout) << c.what;
    EXPECT_EQ(r.table->transposed, c.transposed) << c.what;
    EXPECT_EQ(r.table->units.substrate, c.units.substrate) << c.what;
    EXPECT_EQ(r.table->units.inhibitor, c.units.inhibitor) << c.what;
    EXPECT_EQ(r.table->units.rate, c.units.rate) << c.what;
    EXPECT_EQ(per_curve(), c.per_curve) << c.what;
    EXPECT_EQ(row(0), c.first) << c.what;
    EXPECT_EQ(row(ctx->idat - 1), c.last) << c.what;
    EXPECT_EQ(r.table->empty_cells, c.empty_cells) << c.what;
    EXPECT_EQ(r.table->most_replicates, c.most_replicates) << c.what;
    EXPECT_EQ(ctx->xtmp[0], c.first[0]) << c.what << ": the untouched copies are filled";
  }
}

TEST_F(TableFile, ListsTheColumnsItLeavesOut) {
  const data_read r = read(
      "t.csv", "well,S,I,v,comment\n" + [] {
        std::string rows;
        for (int k = 1; k <= 5; ++k)
          rows += "A" + std::to_string(k) + "," + std::to_string(50 * k) + ",0,0." +
                  std::to_string(k) + ",ok\n";
        return rows;
      }());
  ASSERT_EQ(r.status, run_status::success) << ::testing::PrintToString(fe.texts());
  EXPECT_EQ(r.table->unused_columns, (std::vector<std::string>{"1 (well)", "5 (comment)"}));
  EXPECT_EQ(r.table->columns.substrate, 2);
  EXPECT_EQ(r.table->columns.rate, 4);
}

TEST_F(TableFile, RefusesWhatItCannotTellWithAMessageSayingWhatWasFound) {
  std::string rows_1001 = "S,I,v\n";
  for (int k = 0; k < 1001; ++k)
    rows_1001 += std::to_string(k + 1) + "," + std::to_string(k % 10) + ",1\n";
  struct refusal_case {
    const char* what;
    std::string name;
    std::string text;
    core::table_layout layout;
    std::vector<std::string> said;  // pieces of the first box
  };
  const refusal_case cases[] = {
      {"two [S] columns",
       "a.csv",
       "S,substrate,I,v\n" + long_rows(1),
       table_layout::detect,
       {"Two columns could be [S]: columns 1 \"S\" and 2 \"substrate\"", "--columns",
        "Row 1: S | substrate | I | v"}},
      {"a header naming nothing known",
       "b.csv",
       "time,well,od\n1,2,3\n",
       table_layout::detect,
       {"names no column for [S], [I] and the rate", "--columns", "--layout wide",
        "Row 1: time | well | od"}},
      {"numbers in the header row",
       "c.csv",
       "S,I,0.5\n1,2,3\n",
       table_layout::detect,
       {"both titles and numbers", "--layout long", "--layout wide"}},
      {"four untitled columns",
       "d.csv",
       "1,2,3,4\n5,6,7,8\n",
       table_layout::detect,
       {"no header row and 4 columns", "--columns S=1,I=2,v=3"}},
      {"a word among the rates",
       "e.csv",
       "S,I,v\n50,0,0.1\n100,zero,0.2\n",
       table_layout::detect,
       {"row 3, column 2 (B) is not a number: \"zero\""}},
      {"a decimal comma in a comma table",
       "f.csv",
       "S,I,v\n50,0,\"0,1\"\n",
       table_layout::detect,
       {"row 2, column 3 (C)", "separated by semicolons"}},
      {"a header and nothing else",
       "g.csv",
       "S (uM),I (uM),v\n",
       table_layout::detect,
       {"header row but no rates"}},
      {"an empty file", "h.csv", "", table_layout::detect, {"no rows"}},
      {"a rate without [I]",
       "i.csv",
       "S,I,v\n50,,0.1\n",
       table_layout::detect,
       {"row 2, column 3 (C) has no [I] beside it"}},
      {"a plate asked of a long table",
       "j.csv",
       "S,I,v\n" + long_rows(1),
       table_layout::wide_table,
       {"header row of [I] values", "Row 1: S | I | v"}},
      {"a plate well under no [I]",
       "k.csv",
       "S,0,,100\n50,1,2,3\n",
       table_layout::detect,
       {"row 2, column 3 (C) has no [I] above it"}},
      {"a plate row without [S]",
       "l.csv",
       "S,0,100\nx,1,2\n",
       table_layout::detect,
       {"row 2, column 1 (A) is not a number: \"x\""}},
      {"a quote left open",
       "m.csv",
       "S,I,v\n\"50,0,1\n",
       table_layout::detect,
       {"cannot be cut into cells", "line 2"}},
      {"a workbook without a reader", "n.xlsx", "PK", table_layout::detect, {".xlsx"}},
      {"1001 rows",
       "o.csv",
       rows_1001,
       table_layout::detect,
       {"Data rows exceeded limit of 1000", "the table holds 1001 rates; at most 1000"}},
      {"11 curves",
       "p.csv",
       "S,I,v\n" + long_rows(11),
       table_layout::detect,
       {"Curve limit of 10 exceeded! Number of curves = 11"}},
      {"a curve of four rows",
       "q.csv",
       "S,I,v\n" + long_rows(1) + "50,7,1\n60,7,1\n70,7,1\n80,7,1\n",
       table_layout::detect,
       {"Single curve data must be greater than 5"}},
  };
  for (const auto& c : cases) {
    ctx->table = {};
    ctx->table.layout = c.layout;
    const data_read r = read(c.name, c.text);
    EXPECT_EQ(r.status, run_status::file_rejected) << c.what;
    ASSERT_GE(fe.boxes.size(), 2u) << c.what;
    EXPECT_EQ(fe.boxes.back().text, "* * * ERROR: RUN ABORTED * * *") << c.what;
    for (const auto& piece : c.said) {
      EXPECT_NE(fe.boxes.front().text.find(piece), std::string::npos)
          << c.what << ": \"" << piece << "\" not in\n"
          << fe.boxes.front().text;
    }
  }
}

TEST_F(TableFile, WarningsNameTheCellsOfTheTable) {
  // The rows of [I] = -5 come last in the table but first in the curves: the warnings
  // name their cells, not their places among the observations.
  const data_read r =
      read("w.csv", "S,I,v\n" + long_rows(1) + "0,-5,1\n10,-5,2\n20,-5,3\n30,-5,4\n40,-5,5\n");
  ASSERT_EQ(r.status, run_status::success) << ::testing::PrintToString(fe.texts());
  EXPECT_EQ(
      fe.texts(),
      (std::vector<std::string>{
          "[S] is 0 or below in the table at row 7, column 3 (C): the models need [S] above 0",
          "[I] is below 0 in the table at row 7, column 3 (C): the models need [I] of 0 or "
          "more"}));
}

TEST_F(TableFile, NativeNamesStayNativeAndATableThereGetsTheHint) {
  for (const char* name : {"data.in", "data.txt", "data"}) {
    const data_read r = read(name, "S,I,v\n" + long_rows(2));
    EXPECT_EQ(r.status, run_status::file_rejected) << name;
    EXPECT_FALSE(r.table.has_value()) << name;
    bool hinted = false;
    for (const auto& text : fe.texts())
      hinted = hinted || text.find("--table") != std::string::npos;
    EXPECT_TRUE(hinted) << name << ": " << ::testing::PrintToString(fe.texts());
  }
}

TEST_F(TableFile, AWorkbookIsReadThroughTheLoaderWithItsSheetRowNumbers) {
  std::string asked;
  ctx->table.sheet = "plate 2";
  ctx->table.workbook = [&](const std::string&, const std::string& sheet) {
    asked = sheet;
    core::sheet_cells out;
    out.rows = {{}, {"S", "I", "v", ""}, {"50", "0", "0.1"}, {"100", "0", "x"}};
    return out;
  };
  const data_read r = read("w.xlsx", "PK");
  EXPECT_EQ(asked, "plate 2");
  EXPECT_EQ(r.status, run_status::file_rejected);
  ASSERT_FALSE(fe.boxes.empty());
  EXPECT_NE(fe.boxes.front().text.find("row 4, column 3 (C)"), std::string::npos)
      << fe.boxes.front().text;

  ctx->table.workbook = [](const std::string&, const std::string&) {
    core::sheet_cells out;
    out.error = "no sheet named \"plate 2\"";
    return out;
  };
  EXPECT_EQ(read("w.xlsx", "PK").status, run_status::file_rejected);
  EXPECT_EQ(fe.boxes.front().text, "no sheet named \"plate 2\"");
}

}  // namespace
}  // namespace inhibra::data
