// End-to-end runs of inhibra-fit on small files.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/run_fit.hpp"
#include "support/model_data.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

const std::string example = std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in";

std::string copy_example(const support::temp_dir& dir, const std::string& name) {
  const auto path = dir.file(name);
  std::filesystem::copy_file(example, path);
  return path;
}

TEST(FitCommand, FitsTwoModelsAndReportsThemAsJson) {
  support::temp_dir dir;
  const auto data = copy_example(dir, "Data.in");
  const auto r = run_fit("-q -m 1,3 --json - " + quoted(data), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto json = nlohmann::json::parse(r.out);
  const auto& f = json.at("files").at(0);
  EXPECT_EQ(f.at("file"), data);
  EXPECT_FALSE(f.contains("file_bytes"));  // only for names that are not UTF-8
  EXPECT_EQ(f.at("status"), 0);
  EXPECT_EQ(f.at("results_file"), dir.file("Data.out"));
  EXPECT_EQ(f.at("rows"), 24);
  EXPECT_EQ(f.at("curves"), 4);
  EXPECT_EQ(f.at("weighting"), "none");
  ASSERT_EQ(f.at("models").size(), 2u);
  const auto& m3 = f.at("models").at(1);
  EXPECT_EQ(m3.at("model"), 3);
  ASSERT_EQ(m3.at("parameters").size(), 4u);
  EXPECT_EQ(m3.at("parameters").at(0).at("name"), "Km");
  EXPECT_EQ(m3.at("parameters").at(3).at("name"), "a");
  const auto& km = m3.at("parameters").at(0);
  EXPECT_LT(km.at("ci_low").get<double>(), km.at("value").get<double>());
  EXPECT_GT(km.at("ci_high").get<double>(), km.at("value").get<double>());
  ASSERT_EQ(f.at("ranking").size(), 2u);
  EXPECT_EQ(f.at("ranking").at(0).at("rank"), 1);
  EXPECT_EQ(f.at("ranking").at(0).at("ler"), 0.0);
  EXPECT_EQ(f.at("ranking").at(0).at("marker"), "**");
  EXPECT_EQ(f.at("best_model"), f.at("ranking").at(0).at("model"));
  // Model 3 ends at the upper end of a; the refinement reports what it did.
  EXPECT_EQ(m3.at("at_bound"), nlohmann::json::array({"a=upper"}));
  EXPECT_LE(m3.at("ssr").get<double>(), m3.at("chain_ssr").get<double>());
  EXPECT_EQ(m3.at("refined").get<bool>(),
            m3.at("ssr").get<double>() < m3.at("chain_ssr").get<double>());
  const std::string report = support::read_file(dir.file("Data.out"));
  EXPECT_NE(report.find("MODEL NAME:  3- Linear Mixed Inhibition"), std::string::npos);
  EXPECT_NE(report.find("INHIBRA BEST-FIT MODEL SUMMARY:"), std::string::npos);
}

TEST(FitCommand, ModelSixNamesItsFourthParameterB) {
  support::temp_dir dir;
  const auto data = copy_example(dir, "six.in");
  const auto r = run_fit("-q -m 6 --json " + quoted(dir.file("r.json")) + " " + quoted(data), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto json = nlohmann::json::parse(support::read_file(dir.file("r.json")));
  const auto& f = json.at("files").at(0);
  EXPECT_EQ(f.at("models").at(0).at("parameters").at(3).at("name"), "b");
  EXPECT_TRUE(f.at("ranking").empty());
  EXPECT_EQ(f.at("best_model"), 6);
}

TEST(FitCommand, StatusesOfMissingAndRejectedFilesAndTheLargestWins) {
  support::temp_dir dir;
  const auto bad = dir.write("bad.in", "1 0 1\n2 0 2\n3 0 3\n4 0 4\n");
  auto r = run_fit("-q " + quoted(dir.file("gone.in")), dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Warning: File does not exist: "), std::string::npos);
  r = run_fit("-q " + quoted(bad), dir);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err,
            "Warning: Single curve data must be greater than 5\n"
            "Error: * * * ERROR: RUN ABORTED * * *\n");
  EXPECT_EQ(support::read_file(dir.file("bad.out")),
            "\r\n RESULTS FILE " + dir.file("bad.out") + "\r\n\r\n");
  r = run_fit("-q -m 1 --json - " + quoted(dir.file("gone.in")) + " " + quoted(bad), dir);
  EXPECT_EQ(r.status, 3);
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(json.at("files").at(0).at("status"), 1);
  EXPECT_EQ(json.at("files").at(1).at("status"), 3);
  EXPECT_TRUE(json.at("files").at(1).at("best_model").is_null());
}

TEST(FitCommand, WritesThePlotFiles) {
  support::temp_dir dir;
  const auto data = copy_example(dir, "Data.in");
  const auto r = run_fit("-q -m 2 --plots " + quoted(dir.file("plots")) + " " + quoted(data), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* name : {"Data-model02-xy.png", "Data-best-xy.png", "Data-best-residuals.png",
                           "Data-best-kmapp.png", "Data-best-mc50.png"}) {
    const auto path = dir.file("plots/" + std::string(name));
    ASSERT_TRUE(std::filesystem::exists(path)) << name;
    EXPECT_GT(std::filesystem::file_size(path), 1000u) << name;
    EXPECT_EQ(support::read_file(path).substr(1, 3), "PNG") << name;
  }
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

// The fixed chain of optimizer stages alone reproduces the stored example reports
// byte for byte, unweighted and robust (users compare results files between runs).
TEST(FitCommand, ChainReproducesTheStoredExampleReports) {
  for (const std::string flags : {"", "-r "}) {
    support::temp_dir dir;
    const auto data = copy_example(dir, "Data.in");
    const auto r = run_fit("-q -m all --chain-only " + flags + quoted(data), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string golden_name =
        flags.empty() ? "example-all-models.out" : "example-all-models-robust.out";
    std::string golden =
        support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/tests/cli/golden/" + golden_name);
    const std::string closing = " RESULTS FILE Data.out";
    ASSERT_NE(golden.find(closing), std::string::npos);
    golden.replace(golden.find(closing), closing.size(), " RESULTS FILE " + dir.file("Data.out"));
    EXPECT_EQ(support::read_file(dir.file("Data.out")), golden) << golden_name;
  }
}

// The JSON of the example is stored too, for the default fits and the chain alone:
// scripts read it field by field, so a change of any figure or name must be deliberate.
TEST(FitCommand, JsonOfTheExampleMatchesTheStoredOne) {
  for (const std::string flags : {"", "--chain-only "}) {
    support::temp_dir dir;
    copy_example(dir, "Data.in");
    const auto r = run_fit("-q -m all " + flags + "--json - Data.in", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string golden_name =
        flags.empty() ? "example-all-models.json" : "example-all-models-chain-only.json";
    EXPECT_EQ(r.out, support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/tests/cli/golden/" +
                                        golden_name))
        << golden_name;
  }
}

// Rates in M/min instead of µM/min: a warning before the fit, one for the Vmax that
// then ends at its lower end, both in the JSON; profile limits only when refined.
TEST(FitCommand, WarnsAboutUnitsAndReportsProfileLimits) {
  support::temp_dir dir;
  std::string molar;
  std::istringstream lines(support::read_file(example));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    double s = 0, i = 0, v = 0;
    if (!(in >> s >> i >> v)) break;
    molar += support::exact_text(s) + " " + support::exact_text(i) + " " +
             support::exact_text(v * 1e-6) + "\n";
  }
  const auto data = dir.write("molar.in", molar);
  auto r = run_fit("-q -m 1 --json - " + quoted(data), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Warning: Rates as small as 4e-09 were found"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Warning: Model 1: Vmax ended at the lower end of its range"),
            std::string::npos)
      << r.err;
  auto json = nlohmann::json::parse(r.out).at("files").at(0);
  ASSERT_EQ(json.at("warnings").size(), 2u);
  EXPECT_EQ(json.at("models").at(0).at("at_bound"), nlohmann::json::array({"Vmax=lower"}));

  const auto example_copy = copy_example(dir, "Data.in");
  for (const std::string flags : {"", "--no-profiles ", "--chain-only "}) {
    r = run_fit("-q -m 3 --json - " + flags + quoted(example_copy), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto a =
        nlohmann::json::parse(r.out).at("files").at(0).at("models").at(0).at("parameters").at(3);
    EXPECT_EQ(a.contains("profile_low"), flags.empty()) << flags;
    if (!flags.empty()) continue;
    EXPECT_EQ(a.at("profile_high"), 0.99);  // the upper end of a
    EXPECT_EQ(a.at("profile_open"), nlohmann::json::array({"high"}));
    EXPECT_LT(a.at("profile_low").get<double>(), a.at("value").get<double>());
  }
}

}  // namespace
}  // namespace inhibra::cli
