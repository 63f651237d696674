#include "cli/output_plan.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

// Folders resolved by their text alone, from a current folder /w/run.
std::string lexical(const std::string& folder) {
  const auto path = std::filesystem::path("/w/run") / (folder.empty() ? "." : folder);
  return path.lexically_normal().string();
}

std::vector<std::string> refusals(const std::vector<planned_input>& plan) {
  std::vector<std::string> out;
  for (const auto& p : plan)
    out.push_back(p.refusal);
  return out;
}

TEST(OutputPlan, LaterInputWithTheSameResultsFileIsRefusedNamingBoth) {
  const auto plan =
      plan_outputs({"Data.in", "Data.txt", "./sub/../Data", "other.in"}, false, lexical);
  EXPECT_EQ(refusals(plan),
            (std::vector<std::string>{
                "",
                "Results file Data.out of Data.txt is also the results file of Data.in: Data.txt "
                "is not fitted",
                "Results file ./sub/../Data.out of ./sub/../Data.in is also the results file of "
                "Data.in: ./sub/../Data.in is not fitted",
                ""}));
  EXPECT_EQ(plan[3].results_name, "other.out");
}

TEST(OutputPlan, ResultsFileMayNotBeAnotherInputsDataFile) {
  const auto plan = plan_outputs({"a.out", "a.in", "b.in"}, false, lexical);
  // a.out is stopped by the reader, being its own results file; a.in would replace it.
  EXPECT_EQ(
      refusals(plan),
      (std::vector<std::string>{
          "", "Results file a.out of a.in is the data file a.out of this run: a.in is not fitted",
          ""}));
}

TEST(OutputPlan, PlotNamesAreUniquePerInput) {
  // Stems of inputs in several folders are in the runs of careless use.
  auto plan = plan_outputs({"a/Data.in", "c/Other.in"}, true, lexical);
  EXPECT_EQ(refusals(plan), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(plan[1].plot_stem, "Other");
  EXPECT_EQ(plan_outputs({"Data.in"}, true, lexical)[0].plot_stem, "Data");
  EXPECT_EQ(plan_outputs({"Data.in"}, false, lexical)[0].plot_stem, "");

  plan = plan_outputs({"x/a/Data.in", "y/a/Data.in", "a-Data.in"}, true, lexical);
  EXPECT_EQ(plan[0].plot_stem, "a-Data");
  EXPECT_EQ(refusals(plan),
            (std::vector<std::string>{"",
                                      "Plot files of y/a/Data.in would have the names of those of "
                                      "x/a/Data.in (a-Data-...): y/a/Data.in is not fitted",
                                      "Plot files of a-Data.in would have the names of those of "
                                      "x/a/Data.in (a-Data-...): a-Data.in is not fitted"}));
}

TEST(OutputPlan, SpellingsOfOneFolderAreOneFolderOnDisk) {
  support::temp_dir dir;
  std::filesystem::create_directory(dir.file("real"));
  std::filesystem::create_directory_symlink(dir.file("real"), dir.file("link"));
  EXPECT_EQ(folder_on_disk(dir.file("link")), folder_on_disk(dir.file("real") + "/"));
  const auto plan =
      plan_outputs({dir.file("real/Data.in"), dir.file("link/Data.txt")}, false, folder_on_disk);
  EXPECT_EQ(plan[0].refusal, "");
  EXPECT_NE(plan[1].refusal, "");
}

TEST(OutputPlan, JsonMayReplaceNoInputOrResultsFile) {
  const auto plan = plan_outputs({"a.in", "b.in", "b.txt"}, false, lexical);
  EXPECT_EQ(replaced_input("./a.in", plan, lexical), "a.in");
  EXPECT_EQ(replaced_input("b.out", plan, lexical), "b.out");
  EXPECT_EQ(replaced_input("a.json", plan, lexical), std::nullopt);
  EXPECT_EQ(replaced_input("sub/a.in", plan, lexical), std::nullopt);
}

}  // namespace
}  // namespace inhibra::cli
