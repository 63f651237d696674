// What the Import Table dialog is given: the readings as remembered texts, the
// reading offered for a table, and the description of a reading held to the limits
// a run holds it to.
#include "shell/table_import.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace inhibra::shell {
namespace {

using toolkit::import_layout;
using toolkit::import_mapping;

const std::string examples = std::string(INHIBRA_SOURCE_DIR) + "/examples/";

import_mapping long_reading(int s, int i, int v) {
  return {import_layout::long_table, s, i, v};
}

import_mapping plate_reading() {
  return {import_layout::wide_table, 1, 2, 3};
}

std::shared_ptr<const data::table_cells> cells_of(const std::string& file) {
  return std::make_shared<const data::table_cells>(data::read_table_cells(file, {}));
}

// The cells of a text table written into `dir`.
std::shared_ptr<const data::table_cells> cells_of_text(const support::temp_dir& dir,
                                                       const std::string& text) {
  return cells_of(dir.write("t.csv", text));
}

TEST(TableImport, ReadingsReadBackFromTheirTextsAndNothingElseDoes) {
  for (const auto& m : {long_reading(2, 1, 4), long_reading(1, 2, 3), long_reading(30, 5, 7)}) {
    const auto back = reading_of(reading_text(m));
    ASSERT_TRUE(back.has_value()) << reading_text(m);
    EXPECT_EQ(*back, m);
  }
  EXPECT_EQ(reading_text(long_reading(2, 1, 4)), "long S=2,I=1,v=4");
  // A plate has no columns to keep.
  EXPECT_EQ(reading_text(plate_reading()), "wide");
  EXPECT_EQ(reading_of("wide")->layout, import_layout::wide_table);
  for (const char* text :
       {"", "long", "long S=1,I=1,v=2", "long S=1,I=2", "Long S=1,I=2,v=3", "wide S=1", "plate"}) {
    EXPECT_FALSE(reading_of(text).has_value()) << text;
  }
}

TEST(TableImport, ReadingsAreKeptPerHeaderRowMostRecentFirst) {
  std::vector<std::string> kept;
  kept = with_reading(kept, "S | I | v", long_reading(1, 2, 3));
  kept = with_reading(kept, "[S] \\ [I] | 0 | 10", plate_reading());
  kept = with_reading(kept, "S | I | v", long_reading(2, 1, 3));
  EXPECT_EQ(kept,
            (std::vector<std::string>{"long S=2,I=1,v=3\tS | I | v", "wide\t[S] \\ [I] | 0 | 10"}));
  EXPECT_EQ(remembered_reading(kept, "S | I | v"), long_reading(2, 1, 3));
  EXPECT_EQ(remembered_reading(kept, "[S] \\ [I] | 0 | 10"), plate_reading());
  EXPECT_FALSE(remembered_reading(kept, "S | I").has_value());
  // A table without a header row is known by nothing, and nothing is kept for it.
  EXPECT_EQ(with_reading(kept, "", plate_reading()), kept);
  EXPECT_FALSE(remembered_reading(kept, "").has_value());
  // Entries that are not readings are dropped; the list stays short.
  kept.push_back("no tab here");
  kept.push_back("sideways\tS | I | rate");
  EXPECT_FALSE(remembered_reading(kept, "S | I | rate").has_value());
  for (int k = 0; k < 30; ++k)
    kept = with_reading(kept, "header " + std::to_string(k), long_reading(1, 2, 3));
  EXPECT_EQ(kept.size(), remembered_readings);
  EXPECT_EQ(kept.front(), "long S=1,I=2,v=3\theader 29");
  EXPECT_FALSE(remembered_reading(kept, "header 9").has_value());
}

TEST(TableImport, HeaderKeyIsTheTitlesOfTheFirstRow) {
  support::temp_dir dir;
  EXPECT_EQ(header_key(cells_of_text(dir, " S (µM) ,I,  v\n1,2,3\n")->rows), "S (µM) | I | v");
  EXPECT_EQ(header_key(cells_of_text(dir, "1,2,3\n4,5,6\n")->rows), "");
  EXPECT_EQ(header_key({}), "");
}

TEST(TableImport, ThePlateExampleIsDescribedWithItsReplicatesAndEmptyWell) {
  const auto cells = cells_of(examples + "plate.csv");
  const auto view = import_view(examples + "plate.csv", cells, {});
  EXPECT_EQ(view.offered.layout, import_layout::wide_table);
  EXPECT_EQ(view.offered_from, "Worked out from the table.");
  EXPECT_EQ(view.rows.size(), 7u);  // the whole plate: its header row and six rows of [S]
  EXPECT_EQ(view.columns, 13);
  const auto outcome = view.describe(view.offered);
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.layout, "plate ([S] down the first column, [I] across)");
  EXPECT_EQ(outcome.units, "[S] µM, [I] nM, rate not given");
  EXPECT_EQ(outcome.curves,
            "4 curves of 71 rates; 24 pairs of [S] and [I] measured up to 3 times; 1 empty cell "
            "left out\r\n[I] = 0: 18 rates\r\n[I] = 100: 18 rates\r\n[I] = 200: 17 rates\r\n"
            "[I] = 400: 18 rates");
}

TEST(TableImport, ReadingsARunWouldRefuseAreRefusedWithTheReason) {
  support::temp_dir dir;
  // Eleven curves of five rates; a curve of four; two rates; a cell that is no number
  // (a column chosen twice, or none, is the dialog's test).
  std::string eleven = "S,I,v\n";
  for (int i = 0; i < 11; ++i) {
    for (int s = 1; s <= 5; ++s)
      eleven += std::to_string(s) + "," + std::to_string(i) + ",0.5\n";
  }
  std::string four = "S,I,v\n";
  for (int s = 1; s <= 5; ++s)
    four += std::to_string(s) + ",0,1\n" + (s < 5 ? std::to_string(s) + ",7,1\n" : "");
  struct refusal_case {
    std::string text;
    import_mapping reading;
    std::string said;
  };
  for (const auto& c : {
           refusal_case{eleven, long_reading(1, 2, 3), "The table makes 11 curves; at most 10"},
           refusal_case{four, long_reading(1, 2, 3),
                        "The curve at [I] = 7 has 4 rates; a curve needs at least 5"},
           refusal_case{"S,I,v\n1,0,1\n2,0,2\n", long_reading(1, 2, 3),
                        "The table holds 2 rates; a data file holds 3 to 1000"},
           refusal_case{"S,I,v\n1,0,x\n", long_reading(1, 2, 3),
                        "The cell at row 2, column 3 (C) is not a number: \"x\""},
       }) {
    const auto outcome = describe_reading(*cells_of_text(dir, c.text), c.reading);
    EXPECT_NE(outcome.error.find(c.said), std::string::npos) << c.said << ": " << outcome.error;
  }
}

TEST(TableImport, TheOfferedReadingIsRememberedOrWorkedOutButNeverGuessed) {
  support::temp_dir dir;
  // A semicolon export with decimal commas: the columns named in its header row.
  const auto semicolon = cells_of(examples + "rates-semicolon.csv");
  const auto detected = import_view("x", semicolon, {});
  EXPECT_EQ(detected.offered, long_reading(1, 2, 3));
  EXPECT_EQ(detected.describe(detected.offered).error, "");
  EXPECT_EQ(detected.describe(detected.offered).units, "[S] µM, [I] nM, rate µM/min");
  // The same header row with a reading remembered for it.
  const std::vector<std::string> kept{"long S=2,I=1,v=3\t" + header_key(semicolon->rows)};
  const auto remembered = import_view("x", semicolon, kept);
  EXPECT_EQ(remembered.offered, long_reading(2, 1, 3));
  EXPECT_EQ(remembered.offered_from, "The reading chosen last time for this header row.");

  // Two columns that could be [S]: no column is offered, and the reason is shown.
  const auto twice = import_view("x", cells_of_text(dir, "S,substrate,I,v\n1,1,0,1\n"), {});
  EXPECT_EQ(twice.offered, long_reading(0, 0, 0));
  EXPECT_NE(twice.offered_from.find("Two columns could be [S]"), std::string::npos)
      << twice.offered_from;
  EXPECT_NE(twice.describe(twice.offered).error, "");

  // A file that cannot be cut into cells has nothing to offer but its reason.
  const auto broken = import_view("x", cells_of_text(dir, "S,I,v\n\"1,0,1\n"), {});
  EXPECT_NE(broken.error.find("The table cannot be cut into cells"), std::string::npos);
  EXPECT_EQ(broken.describe(broken.offered).error, broken.error);
  EXPECT_TRUE(broken.rows.empty());
  const auto missing = cells_of(dir.file("nowhere.csv"));
  EXPECT_TRUE(missing->read_error);
  EXPECT_NE(missing->error.find("cannot be read"), std::string::npos);
}

}  // namespace
}  // namespace inhibra::shell
