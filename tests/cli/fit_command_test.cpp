// End-to-end runs of inhibra-fit on small files.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/run_fit.hpp"
#include "support/model_data.hpp"
#include "support/numeric.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

const std::string example = std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in";

std::string copy_example(const support::temp_dir& dir, const std::string& name) {
  const auto path = dir.file(name);
  std::filesystem::copy_file(example, path);
  return path;
}

nlohmann::json first_file(const std::string& json) {
  return nlohmann::json::parse(json).at("files").at(0);
}

TEST(FitCommand, FitsTheChosenModelsAndWritesTheJsonToAFile) {
  support::temp_dir dir;
  const auto data = copy_example(dir, "Data.in");
  const auto r = run_fit("-q -m 1,3 --json r.json " + quoted(data), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  const auto f = first_file(support::read_file(dir.file("r.json")));
  EXPECT_EQ(f.at("file"), data);
  EXPECT_FALSE(f.contains("file_bytes"));  // only for names that are not UTF-8
  EXPECT_EQ(f.at("results_file"), dir.file("Data.out"));
  ASSERT_EQ(f.at("models").size(), 2u);
  EXPECT_EQ(f.at("models").at(1).at("model"), 3);
  ASSERT_EQ(f.at("ranking").size(), 2u);
  EXPECT_EQ(f.at("best_model"), f.at("ranking").at(0).at("model"));
  const std::string report = support::read_file(dir.file("Data.out"));
  EXPECT_NE(report.find("MODEL NAME:  3- Linear Mixed Inhibition"), std::string::npos);
  EXPECT_EQ(report.find("MODEL NAME:  2-"), std::string::npos);
}

TEST(FitCommand, StatusesOfMissingAndRejectedFilesAndTheLargestWins) {
  support::temp_dir dir;
  copy_example(dir, "Data.in");
  dir.write("bad.in", "1 0 1\n2 0 2\n3 0 3\n4 0 4\n");
  EXPECT_EQ(run_fit("-q gone.in", dir).status, 1);
  const auto r = run_fit("-q -m 1 -r --weights poisson --json - gone.in bad.in Data.in", dir);
  EXPECT_EQ(r.status, 3);
  const auto json = nlohmann::json::parse(r.out).at("files");
  EXPECT_EQ(json.at(0).at("status"), 1);
  EXPECT_EQ(json.at(1).at("status"), 3);
  EXPECT_TRUE(json.at(1).at("best_model").is_null());
  EXPECT_EQ(json.at(2).at("status"), 0);
  EXPECT_TRUE(json.at(2).at("ranking").empty());  // one model: nothing to rank
  EXPECT_EQ(json.at(2).at("best_model"), 1);
  EXPECT_EQ(json.at(2).at("weighting"), "robust");
  EXPECT_EQ(json.at(2).at("weights"), "poisson");
  EXPECT_NE(
      support::read_file(dir.file("Data.out")).find("WEIGHTING: ROBUST WEIGHTING, POISSON (1/v)"),
      std::string::npos);
}

TEST(FitCommand, ParallelJobsWriteTheSameFilesAsOneAtATime) {
  support::temp_dir dir;
  const auto a = copy_example(dir, "a.in");
  const auto b = dir.write("b.in", support::read_file(example).substr(
                                       0, support::read_file(example).find("50     400")));
  auto r = run_fit("-q -m 1,2 -j 1 " + quoted(a) + " " + quoted(b), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string a1 = support::read_file(dir.file("a.out"));
  const std::string b1 = support::read_file(dir.file("b.out"));
  r = run_fit("-q -m 1,2 -j 2 " + quoted(a) + " " + quoted(b), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(support::read_file(dir.file("a.out")), a1);
  EXPECT_EQ(support::read_file(dir.file("b.out")), b1);
  EXPECT_NE(a1, b1);
}

// The stored reports of the example (the fixed chain of optimizer stages alone,
// unweighted and robust) and its JSON (default fits and chain alone) are reproduced
// byte for byte: users compare results files between runs and scripts read the JSON
// field by field, so a change of any figure or name must be deliberate.
TEST(FitCommand, ExampleReportsAndJsonMatchTheStoredOnes) {
  const std::pair<std::string, std::string> runs[] = {
      {"--chain-only Data.in", "example-all-models.out"},
      {"--chain-only -r Data.in", "example-all-models-robust.out"},
      {"--json - Data.in", "example-all-models.json"},
      {"--chain-only --json - Data.in", "example-all-models-chain-only.json"},
  };
  for (const auto& [flags, golden] : runs) {
    support::temp_dir dir;
    copy_example(dir, "Data.in");
    const auto r = run_fit("-q -m all " + flags, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const bool json = golden.ends_with(".json");
    EXPECT_EQ(json ? r.out : support::read_file(dir.file("Data.out")),
              support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/tests/cli/golden/" + golden))
        << golden;
  }
}

// Rates in M/min instead of µM/min: a warning before the fit, one for the Vmax that
// then ends at its lower end, both in the JSON; no profile limits without profiles.
TEST(FitCommand, WarnsAboutUnitsAndReportsProfileLimits) {
  support::temp_dir dir;
  core::fit_context ctx;
  support::fill_example_data(ctx);
  std::string molar;
  for (std::size_t k = 0; k < 24; ++k)
    molar += support::exact_text(ctx.substrate[k]) + " " + support::exact_text(ctx.inhibitor[k]) +
             " " + support::exact_text(ctx.rate[k] * 1e-6) + "\n";
  dir.write("molar.in", molar);
  auto r = run_fit("-q -m 1 --json - molar.in", dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Warning: Rates as small as 4e-09 were found"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Warning: Model 1: Vmax ended at the lower end of its range"),
            std::string::npos)
      << r.err;
  auto json = first_file(r.out);
  ASSERT_EQ(json.at("warnings").size(), 2u);
  EXPECT_EQ(json.at("models").at(0).at("at_bound"), nlohmann::json::array({"Vmax=lower"}));

  // Profile limits (pinned by the stored JSON of the example, and absent from the
  // chain alone) are left out when the profiles are.
  copy_example(dir, "Data.in");
  r = run_fit("-q -m 3 --json - --no-profiles Data.in", dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(first_file(r.out).at("models").at(0).at("parameters").at(3).contains("profile_low"));
}

}  // namespace
}  // namespace inhibra::cli
