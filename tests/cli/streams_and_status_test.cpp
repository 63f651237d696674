// What scripts rely on, run as a separate process: standard output carries only what
// was asked for (the JSON of --json -, the lines of --check), every message goes to
// standard error, and a command line that was not understood has a status of its own.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/options.hpp"
#include "cli/run_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

const std::string example = std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in";
const std::string empty_file_warning =
    " -\nFILE_COLUMN_COUNT - Warning.\n  The file does not contain any data.\n";

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(StandardOutput, HoldsOnlyTheJsonAndTheReadersLinesGoToStandardError) {
  support::temp_dir dir;
  dir.write("empty.in", "");
  dir.write("Data.in", support::read_file(example));
  auto r = run_fit("-q --json - empty.in", dir);
  EXPECT_NE(r.status, 0);
  ASSERT_TRUE(nlohmann::json::accept(r.out)) << r.out;
  EXPECT_EQ(nlohmann::json::parse(r.out).at("files").at(0).at("status"), r.status);
  EXPECT_TRUE(r.err.starts_with(empty_file_warning)) << r.err;

  // Several files label the reader's lines (that a plain run prints nothing on
  // standard output every careless-use run checks).
  r = run_fit("-q -j 2 -m 1 --json - Data.in empty.in", dir);
  ASSERT_TRUE(nlohmann::json::accept(r.out)) << r.out;
  EXPECT_EQ(nlohmann::json::parse(r.out).at("files").size(), 2u);
  EXPECT_TRUE(has(r.err,
                  "empty.in:  -\nempty.in: FILE_COLUMN_COUNT - Warning.\n"
                  "empty.in:   The file does not contain any data.\n"))
      << r.err;
}

TEST(UsageError, ExitsSixtyFourWithAnErrorLineAndWritesNothing) {
  support::temp_dir dir;
  dir.write("Data.in", support::read_file(example));
  const auto before = support::snapshot(dir.path());
  const std::vector<std::string> calls = {
      "",                          // no data file
      "--no-such-option Data.in",  // unknown option
      "--format gif Data.in",      // bad value
      "-j 0 Data.in",              // out of range
      "-m 0-3 Data.in",            // model list
      "--check -m 11 Data.in",     // the same for a check
      "--json Data.in Data.in",    // the JSON would replace the data
      "--check --json Data.out Data.in",
      "--weights cv Data.in",                     // unknown error model
      "--chain-only --weights relative Data.in",  // weights need the refinement
      "--fast --chain-only Data.in",              // two ways of fitting at once
      "--simulate 0 Data.in",                     // no set to simulate
      "--seed 5 Data.in",                         // a seed without a simulation
  };
  for (const auto& args : calls) {
    const auto r = run_fit(args, dir);
    EXPECT_EQ(r.status, usage_error) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_TRUE(r.err.starts_with("Error: ")) << args << ": " << r.err;
    EXPECT_EQ(support::snapshot(dir.path()), before) << args;
  }
}

TEST(UsageError, StatusIsDocumentedWithTheRunStatuses) {
  support::temp_dir dir;
  const auto help = run_fit("--help", dir);
  ASSERT_EQ(help.status, 0);
  const auto page =
      support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/packaging/inhibra-fit.1.in");
  const auto readme = support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/README.md");
  for (const char* status : {"0", "1", "2", "3", "5", "6", "64"}) {
    const std::string s(status);
    EXPECT_TRUE(has(help.out, "\n  " + s + " ")) << s << " in --help";
    EXPECT_TRUE(has(page, "\n.B " + s + "\n")) << s << " in the manual page";
    EXPECT_TRUE(has(readme, "\n| " + s + " |")) << s << " in the README";
  }
}

TEST(CheckAsJson, StandsAloneOnStandardOutputOrGoesToItsFileBesideTheLines) {
  support::temp_dir dir;
  const auto empty = dir.write("empty.in", "");
  const auto files = quoted(example) + " " + quoted(dir.file("gone")) + " " + quoted(empty);
  const auto r = run_fit("--check --json - " + files, dir);
  EXPECT_EQ(r.status, 3);
  ASSERT_TRUE(nlohmann::json::accept(r.out)) << r.out;
  const auto json = nlohmann::json::parse(r.out).at("files");
  ASSERT_EQ(json.size(), 3u);
  EXPECT_EQ(json[0].at("file"), example);
  EXPECT_EQ(json[0].at("status"), 0);
  EXPECT_EQ(json[0].at("rows"), 24);
  EXPECT_EQ(json[0].at("curves"), 4);
  EXPECT_EQ(json[0].at("per_curve"), nlohmann::json::array({6, 6, 6, 6}));
  EXPECT_EQ(json[0].at("columns"), 3);
  EXPECT_EQ(json[1].at("status"), 1);
  EXPECT_EQ(json[1].at("data_file"), dir.file("gone.in"));
  EXPECT_TRUE(json[1].at("rows").is_null() && json[1].at("per_curve").is_null());
  EXPECT_EQ(json[2].at("status"), 3);
  EXPECT_TRUE(has(r.err, "File does not exist")) << r.err;
  EXPECT_TRUE(has(r.err, empty + ": FILE_COLUMN_COUNT - Warning.\n")) << r.err;
  EXPECT_TRUE(has(r.err, "Data rows exceeded limit of 1000")) << r.err;

  const auto to_file = run_fit("--check --json checks.json " + files, dir);
  EXPECT_EQ(to_file.status, 3);
  EXPECT_EQ(to_file.out, example + ": rows=24 curves=4 per-curve=6,6,6,6 columns=3\n");
  EXPECT_EQ(nlohmann::json::parse(support::read_file(dir.file("checks.json"))),
            nlohmann::json::parse(r.out));
}

}  // namespace
}  // namespace inhibra::cli
