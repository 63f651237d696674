// Sheets of .xlsx workbooks read as rows of cell texts.
#include "workbook/xlsx_sheet.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include "workbook/write_workbook.hpp"

namespace inhibra::workbook {
namespace {

using rows = std::vector<std::vector<std::string>>;

// Shared strings: a plain one, rich text in two runs, one with a phonetic guide.
const std::string shared =
    "<si><t>S (µM)</t></si>"
    "<si><r><t>[I]</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\"> (nM)</t></r></si>"
    "<si><t>v</t><rPh sb=\"0\" eb=\"1\"><t>ブイ</t></rPh></si>";

const std::string data_sheet =
    "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
    "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"inlineStr\"><is><t>note</t></is></c></row>"
    "<row r=\"2\"><c r=\"A2\"><v>50</v></c><c r=\"B2\"><v>0</v></c><c r=\"C2\"><v>3.2E-2</v></c>"
    "<c r=\"D2\" t=\"b\"><v>1</v></c></row>"
    // A gap of one row, a cell without a value and a formula's stored result.
    "<row r=\"4\"><c r=\"A4\"><v>100</v></c><c r=\"B4\" s=\"3\"/><c r=\"C4\" t=\"str\">"
    "<f>TEXT(1,\"0\")</f><v>0.055</v></c></row>"
    // Cells without references follow one another.
    "<row><c><v>7</v></c><c t=\"inlineStr\"><is><t>x</t></is></c></row>";

TEST(XlsxSheet, ReadsSharedInlineAndNumberCellsWhereTheyStand) {
  support::temp_dir dir;
  const auto path = dir.file("book.xlsx");
  write_workbook(path,
                 {{"Rates", data_sheet}, {"Other", "<row r=\"1\"><c r=\"A1\"><v>9</v></c></row>"}},
                 shared);
  const core::sheet_cells first = read_xlsx_sheet(path, "");
  ASSERT_EQ(first.error, "");
  EXPECT_EQ(first.sheet, "Rates");
  EXPECT_EQ(first.rows, (rows{{"S (µM)", "[I] (nM)", "v", "note"},
                              {"50", "0", "3.2E-2", "TRUE"},
                              {},
                              {"100", "", "0.055"},
                              {"7", "x"}}));
  const core::sheet_cells other = read_xlsx_sheet(path, "Other");
  ASSERT_EQ(other.error, "");
  EXPECT_EQ(other.rows, (rows{{"9"}}));
}

TEST(XlsxSheet, RefusesWhatIsNotAWorkbookOrNotThereWithAMessage) {
  support::temp_dir dir;
  const auto book = dir.file("book.xlsx");
  write_workbook(book, {{"Rates", data_sheet}, {"Plate 2", ""}}, shared);
  const auto text = dir.write("text.xlsx", "S,I,v\n");
  const auto no_book = dir.file("parts.xlsx");
  write_archive(no_book, {{"hello.txt", "hi"}});
  const auto broken = dir.file("broken.xlsx");
  write_workbook(broken, {{"Rates", "<row r=\"1\"><c r=\"A1\"><v>1</v></row>"}});
  const auto lost_string = dir.file("lost.xlsx");
  write_workbook(lost_string, {{"Rates", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row>"}},
                 "<si><t>only</t></si>");
  const auto bad_ref = dir.file("ref.xlsx");
  write_workbook(bad_ref, {{"Rates", "<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>"}});
  const auto far = dir.file("far.xlsx");
  std::string wide_rows;
  for (int r = 1; r <= 200; ++r)
    wide_rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"XFD" + std::to_string(r) +
                 "\"><v>1</v></c></row>";
  write_workbook(far, {{"Rates", wide_rows}});

  struct refusal_case {
    std::string file;
    std::string sheet;
    std::string said;
  };
  for (const auto& c :
       {refusal_case{book, "plate 2",
                     "has no sheet named \"plate 2\"; its sheets are \"Rates\", \"Plate 2\""},
        refusal_case{text, "", "not an .xlsx workbook"},
        refusal_case{no_book, "", "xl/workbook.xml is missing"},
        refusal_case{broken, "", "xl/worksheets/sheet1.xml is not well-formed XML"},
        refusal_case{lost_string, "", "A1 names a shared string"},
        refusal_case{bad_ref, "", "\"1A\" that is not a cell"},
        refusal_case{far, "", "more cells than data for a fit can need"},
        refusal_case{dir.file("absent.xlsx"), "", "not an .xlsx workbook"}}) {
    const core::sheet_cells read = read_xlsx_sheet(c.file, c.sheet);
    EXPECT_NE(read.error.find(c.said), std::string::npos) << c.file << ": " << read.error;
    EXPECT_TRUE(read.rows.empty()) << c.file;
  }
}

}  // namespace
}  // namespace inhibra::workbook
