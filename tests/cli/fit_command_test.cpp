// End-to-end runs of inhibra-fit on small files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/run_fit.hpp"
#include "support/model_data.hpp"
#include "support/numeric.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

const std::string example = std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in";

nlohmann::json first_file(const std::string& json) {
  return nlohmann::json::parse(json).at("files").at(0);
}

TEST(FitCommand, FitsTheChosenModelsAndWritesTheJsonToAFile) {
  support::temp_dir dir;
  const auto data = support::copy_example(dir, "Data.in");
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
  // The ranking by the textbook AICc, lowest first; the report's own ranking names the
  // best model (the one the plots show) first.
  ASSERT_EQ(f.at("ranking").size(), 2u);
  EXPECT_LE(f.at("ranking").at(0).at("aicc").get<double>(),
            f.at("ranking").at(1).at("aicc").get<double>());
  ASSERT_EQ(f.at("report_ranking").size(), 2u);
  EXPECT_EQ(f.at("best_model"), f.at("report_ranking").at(0).at("model"));
  const std::string report = support::read_file(dir.file("Data.out"));
  EXPECT_NE(report.find("MODEL NAME:  3- Linear Mixed Inhibition"), std::string::npos);
  EXPECT_EQ(report.find("MODEL NAME:  2-"), std::string::npos);
}

TEST(FitCommand, StatusesOfMissingAndRejectedFilesAndTheLargestWins) {
  support::temp_dir dir;
  support::copy_example(dir, "Data.in");
  dir.write("bad.in", "1 0 1\n2 0 2\n3 0 3\n4 0 4\n");
  EXPECT_EQ(run_fit("-q gone.in", dir).status, 1);
  const auto r = run_fit("-q -m 1 -r --weights poisson --json - gone.in bad.in Data.in", dir);
  EXPECT_EQ(r.status, 3);
  const auto json = nlohmann::json::parse(r.out).at("files");
  EXPECT_EQ(json.at(0).at("status"), 1);
  EXPECT_EQ(json.at(1).at("status"), 3);
  EXPECT_TRUE(json.at(1).at("best_model").is_null());
  EXPECT_EQ(json.at(2).at("status"), 0);
  // One model: the report has nothing to rank; by the textbook AICc it is alone, weight 1.
  EXPECT_TRUE(json.at(2).at("report_ranking").empty());
  ASSERT_EQ(json.at(2).at("ranking").size(), 1u);
  EXPECT_EQ(json.at(2).at("ranking").at(0).at("akaike_weight"), 1.0);
  EXPECT_EQ(json.at(2).at("best_model"), 1);
  EXPECT_EQ(json.at(2).at("weighting"), "robust");
  EXPECT_EQ(json.at(2).at("weights"), "poisson");
  EXPECT_NE(
      support::read_file(dir.file("Data.out")).find("WEIGHTING: ROBUST WEIGHTING, POISSON (1/v)"),
      std::string::npos);
}

TEST(FitCommand, ParallelJobsWriteTheSameFilesAsOneAtATime) {
  support::temp_dir dir;
  const auto a = support::copy_example(dir, "a.in", "Data.in");
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
    support::copy_example(dir, "Data.in");
    const auto r = run_fit("-q -m all " + flags, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const bool json = golden.ends_with(".json");
    EXPECT_EQ(json ? r.out : support::read_file(dir.file("Data.out")),
              support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/tests/cli/golden/" + golden))
        << golden;
  }
}

// --fast writes the same kind of report and JSON, says how it fitted, and has no
// chain to report on; --simulate adds its section to the terminal and the JSON, the
// same for the same seed.
TEST(FitCommand, FastFittingAndTheSelectionBySimulation) {
  support::temp_dir dir;
  support::copy_example(dir, "Data.in");
  const auto fast = run_fit("-m 1,2,4 --fast --simulate 4 --seed 9 --json - Data.in", dir);
  ASSERT_EQ(fast.status, 0) << fast.err;
  const auto json = first_file(fast.out);
  EXPECT_EQ(json.at("fitting"), "fast");
  for (const auto& model : json.at("models")) {
    EXPECT_TRUE(model.at("chain_ssr").is_null());
    EXPECT_TRUE(model.at("sqp_info").is_null());
  }
  const auto& s = json.at("simulation");
  EXPECT_EQ(s.at("sets"), 4);
  EXPECT_EQ(s.at("seed"), 9);
  EXPECT_EQ(s.at("model"), json.at("best_model"));
  int wins = 0;
  for (const auto& m : s.at("selection"))
    wins += m.at("wins").get<int>();
  EXPECT_EQ(wins + s.at("undecided").get<int>(), 4);
  EXPECT_EQ(s.at("selection").size(), 3u);
  for (const auto& model : json.at("models")) {
    if (model.at("model") == json.at("best_model")) {
      EXPECT_EQ(s.at("limits").size(), model.at("parameters").size());
    }
  }
  auto has = [](const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
  };
  EXPECT_TRUE(has(fast.err, "Selection by simulation: 4 data sets")) << fast.err;
  EXPECT_TRUE(has(fast.err, "seed 9")) << fast.err;
  EXPECT_TRUE(has(support::read_file(dir.file("Data.out")), "AICc")) << "a whole report";

  const auto again = run_fit("-q -m 1,2,4 --fast --simulate 4 --seed 9 -j 1 --json - Data.in", dir);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(first_file(again.out).at("simulation"), s);
  EXPECT_FALSE(has(again.err, "Selection by simulation")) << "-q keeps the section back";
}

// Without -q, each residual check that advises something gets one line on standard
// error, "Model M: <advice>", the same advice the JSON gives, and the verdict on the
// mechanism follows; -q keeps them back.
TEST(FitCommand, AdviceOfTheResidualChecksUnlessQuiet) {
  support::temp_dir dir;
  support::copy_example(dir, "Data.in");
  const auto told = run_fit("-m 1,4 --json - Data.in", dir);
  ASSERT_EQ(told.status, 0) << told.err;
  const auto json = first_file(told.out);
  std::string expected;
  for (const auto& model : json.at("models")) {
    for (const char* name : {"runs", "normality", "spread", "lack_of_fit"}) {
      const auto& check = model.at("diagnostics").at(name);
      if (check.is_null() || check.at("advice").is_null()) continue;
      expected += "Model " + std::to_string(model.at("model").get<int>()) + ": " +
                  check.at("advice").get<std::string>() + "\n";
    }
  }
  // The example's model 1 misses the curves' shape; model 4 follows it.
  EXPECT_NE(expected.find("Model 1: systematic misfit along [S] (runs p = "), std::string::npos);
  EXPECT_EQ(expected.find("Model 4:"), std::string::npos);
  // The verdict closes the terminal output, as the JSON gives it.
  const std::string sentence = json.at("verdict").at("sentence").get<std::string>();
  EXPECT_FALSE(sentence.empty());
  expected += "Verdict: " + sentence + "\n";
  EXPECT_EQ(told.err, expected);
  const auto quiet = run_fit("-q -m 1,4 --json - Data.in", dir);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(quiet.out, told.out);
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
  support::copy_example(dir, "Data.in");
  r = run_fit("-q -m 3 --json - --no-profiles Data.in", dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(first_file(r.out).at("models").at(0).at("parameters").at(3).contains("profile_low"));
}

// The JSON names the rows to look at in the best fit and gives each fit's Cook's
// distances, and its robust weights in robust weighting: the example's row 4 made
// three times too large is of high influence unweighted and down-weighted robustly;
// the example itself flags nothing.
// Rows left out by line are not fitted, the report and the JSON name them, the file
// stays as it was, and places that name no row are told.
TEST(FitCommand, RowsLeftOutByLine) {
  support::temp_dir dir;
  const std::string data = support::read_file(example);
  dir.write("Data.in", data);
  const auto r = run_fit("-q -m 2 --json - --leave-out 17,4,30 Data.in", dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto f = first_file(r.out);
  EXPECT_EQ(f.at("rows_left_out"), nlohmann::json::array({"4", "17"}));
  EXPECT_EQ(f.at("models")[0].at("cooks_distance").size(), 22u);
  EXPECT_NE(r.err.find("Row 30 to be left out is not among the 24 rows read"), std::string::npos)
      << r.err;
  EXPECT_NE(support::read_file(dir.file("Data.out")).find("          ROWS LEFT OUT: 4, 17\r\n"),
            std::string::npos);
  EXPECT_EQ(support::read_file(dir.file("Data.in")), data);
  // Without the option nothing is named.
  const auto all = run_fit("-q -m 2 --json - Data.in", dir);
  EXPECT_FALSE(first_file(all.out).contains("rows_left_out"));
  const auto bad = run_fit("-q --leave-out 4,x Data.in", dir);
  EXPECT_EQ(bad.status, 64);
  EXPECT_NE(bad.err.find("'x' is not a line number"), std::string::npos) << bad.err;
  EXPECT_EQ(run_fit("-q --leave-out 0 Data.in", dir).status, 64);
}

TEST(FitCommand, JsonFlagsInfluentialAndDownWeightedRows) {
  struct case_ {
    double factor;
    std::string flags;
    nlohmann::json want;  // flags of row 4; null: no row flagged at all
  };
  const case_ cases[] = {
      {1.0, "", nullptr},
      {3.0, "", nlohmann::json::array({"high influence"})},
      {3.0, "-r ", nlohmann::json::array({"down-weighted"})},
  };
  for (const auto& c : cases) {
    support::temp_dir dir;
    std::string text;
    std::istringstream in(support::read_file(example));
    std::string line;
    for (int row = 1; std::getline(in, line); ++row) {
      std::istringstream fields(line);
      double s = 0, i = 0, v = 0;
      fields >> s >> i >> v;
      text += support::exact_text(s) + " " + support::exact_text(i) + " " +
              support::exact_text(row == 4 ? v * c.factor : v) + "\n";
    }
    dir.write("Data.in", text);
    const auto r = run_fit("-q -m all --json - " + c.flags + "Data.in", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto f = first_file(r.out);
    const auto& flagged = f.at("flagged_rows");
    for (const auto& m : f.at("models")) {
      EXPECT_EQ(m.at("cooks_distance").size(), 24u);
      EXPECT_EQ(m.contains("row_weights"), !c.flags.empty());
      if (m.contains("row_weights")) {
        EXPECT_EQ(m.at("row_weights").size(), 24u);
      }
    }
    if (c.want.is_null()) {
      EXPECT_EQ(flagged, nlohmann::json::array()) << c.factor << " " << c.flags;
      continue;
    }
    const auto row4 = std::find_if(flagged.begin(), flagged.end(),
                                   [](const nlohmann::json& x) { return x.at("row") == 4; });
    ASSERT_NE(row4, flagged.end()) << c.flags << flagged.dump();
    EXPECT_EQ(row4->at("flags"), c.want) << c.flags;
  }
}

}  // namespace
}  // namespace inhibra::cli
