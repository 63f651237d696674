// End-to-end checks of inhibra-fit --check, run as a separate process.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/run_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

const std::string example = std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in";

TEST(CheckCommand, ExampleFileSummary) {
  support::temp_dir dir;
  const auto r = run_fit("--check \"" + example + "\"", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, example + ": rows=24 curves=4 per-curve=6,6,6,6 columns=3\n");
  EXPECT_EQ(r.err, "");
}

TEST(CheckCommand, OnlyReads) {
  support::temp_dir dir;
  const auto copy = dir.file("Data.in");
  std::filesystem::copy_file(example, copy);
  EXPECT_EQ(run_fit("--check \"" + copy + "\"", dir).status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("Data.out")));
  EXPECT_EQ(support::read_file(copy), support::read_file(example));
}

TEST(CheckCommand, MissingFileExitsOneWithBothBoxes) {
  support::temp_dir dir;
  const auto r = run_fit("--check \"" + dir.file("nothing") + "\"", dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Warning: File does not exist: " + dir.file("nothing.in") +
                       "\nError: * * * OPEN ANOTHER DATA FILE * * *\n");
}

TEST(CheckCommand, RejectedFileExitsThreeAndWritesNothing) {
  support::temp_dir dir;
  const auto bad = dir.write("bad.in", "1,2,3\n4 5 6\n7 8 9\n");
  const auto r = run_fit("--check \"" + bad + "\"", dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(
      r.err.starts_with("Warning: Data columns not equal to 3\nInformation: THE MODEL "
                        "FUNCTION REQUIRES 3 DATA COLUMNS,\nBUT THE FILE"))
      << r.err;
  EXPECT_TRUE(r.err.ends_with("Error: * * * ERROR: RUN ABORTED * * *\n")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad.out")));
}

TEST(CheckCommand, SeveralFilesExitWithTheLargestStatus) {
  support::temp_dir dir;
  const auto empty = dir.write("empty.in", "");
  const auto r =
      run_fit("--check \"" + example + "\" \"" + dir.file("gone") + "\" \"" + empty + "\"", dir);
  EXPECT_EQ(r.status, 3);
  // Standard output holds the summary of the file that passed; the empty file's
  // console warning goes to standard error with the other messages.
  EXPECT_EQ(r.out, example + ": rows=24 curves=4 per-curve=6,6,6,6 columns=3\n");
  EXPECT_NE(r.err.find(empty + ": FILE_COLUMN_COUNT - Warning."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Data rows exceeded limit of 1000"), std::string::npos);
}

}  // namespace
}  // namespace inhibra::cli
