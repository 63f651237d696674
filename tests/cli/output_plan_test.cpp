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

const plot_output no_plots{};
const plot_output plots_in_p{"P", "png"};
constexpr model_selection all_models = {true, true, true, true, true, true, true, true, true, true};

std::vector<planned_input> plan(const std::vector<std::string>& files,
                                const plot_output& plots = no_plots) {
  return plan_outputs(files, plots, all_models, lexical);
}

std::vector<std::string> refusals(const std::vector<planned_input>& plan) {
  std::vector<std::string> out;
  for (const auto& p : plan)
    out.push_back(p.refusal);
  return out;
}

TEST(OutputPlan, LaterInputWithTheSameResultsFileIsRefusedNamingBoth) {
  const auto planned = plan({"Data.in", "Data.txt", "./sub/../Data", "other.in"});
  EXPECT_EQ(refusals(planned),
            (std::vector<std::string>{
                "",
                "Results file Data.out of Data.txt is also the results file of Data.in: Data.txt "
                "is not fitted",
                "Results file ./sub/../Data.out of ./sub/../Data.in is also the results file of "
                "Data.in: ./sub/../Data.in is not fitted",
                ""}));
  EXPECT_EQ(planned[3].results_name, "other.out");
}

TEST(OutputPlan, ResultsFileMayNotBeAnotherInputsDataFile) {
  // a.out is stopped by the reader, being its own results file; a.in would replace it.
  EXPECT_EQ(
      refusals(plan({"a.out", "a.in", "b.in"})),
      (std::vector<std::string>{
          "", "Results file a.out of a.in is the data file a.out of this run: a.in is not fitted",
          ""}));
}

TEST(OutputPlan, PlotNamesAreUniquePerInput) {
  // Stems of inputs in several folders are in the runs of careless use.
  auto planned = plan({"a/Data.in", "c/Other.in"}, plots_in_p);
  EXPECT_EQ(refusals(planned), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(planned[1].plot_stem, "Other");
  EXPECT_EQ(plan({"Data.in"}, plots_in_p)[0].plot_stem, "Data");
  EXPECT_EQ(plan({"Data.in"})[0].plot_stem, "");
  EXPECT_TRUE(plan({"Data.in"})[0].plot_files.empty());

  planned = plan({"x/a/Data.in", "y/a/Data.in", "a-Data.in"}, plots_in_p);
  EXPECT_EQ(planned[0].plot_stem, "a-Data");
  EXPECT_EQ(refusals(planned),
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
  const auto planned = plan_outputs({dir.file("real/Data.in"), dir.file("link/Data.txt")}, no_plots,
                                    all_models, folder_on_disk);
  EXPECT_EQ(planned[0].refusal, "");
  EXPECT_NE(planned[1].refusal, "");
}

TEST(OutputPlan, PlotFilesAreTheSelectedModelsAndTheBest) {
  model_selection some{};
  some[0] = some[6] = true;
  const auto planned = plan_outputs({"sub/Data.in"}, {"P", "svg"}, some, lexical);
  EXPECT_EQ(planned[0].plot_files,
            (std::vector<std::string>{"P/Data-model01-xy.svg", "P/Data-model07-xy.svg",
                                      "P/Data-best-xy.svg", "P/Data-best-residuals.svg",
                                      "P/Data-best-kmapp.svg", "P/Data-best-mc50.svg",
                                      "P/Data-best-lineweaver-burk.svg", "P/Data-best-dixon.svg"}));
}

TEST(OutputPlan, PictureSizeFromInchesAndResolution) {
  const struct {
    double width, height;
    int dpi;
    int pixels_wide, pixels_high;
  } cases[] = {
      {0.0, 0.0, 96, 800, 600},    // no width: the screen-sized default
      {0.0, 5.0, 300, 800, 600},   // a height alone changes nothing
      {3.5, 0.0, 300, 1050, 788},  // three quarters of the width, rounded
      {3.5, 2.0, 300, 1050, 600}, {7.0, 0.0, 600, 4200, 3150}, {0.5, 0.5, 30, 15, 15},
  };
  for (const auto& c : cases) {
    plot_output plots{"P", "png"};
    plots.width_inches = c.width;
    plots.height_inches = c.height;
    plots.dpi = c.dpi;
    const auto size = picture_size(plots);
    EXPECT_EQ(size.width, c.pixels_wide) << c.width << " " << c.dpi;
    EXPECT_EQ(size.height, c.pixels_high) << c.width << " " << c.dpi;
  }
}

TEST(OutputPlan, InputThatAPlotFileWouldReplaceIsNeverOverwritten) {
  const plot_output here{".", "png"};
  const struct {
    const char* what;
    std::vector<std::string> files;
    plot_output plots;
    std::vector<std::string> refusals;
  } cases[] = {
      {"an input named like the best plot",
       {"Data.in", "Data-best-xy.png"},
       here,
       {"Plot file ./Data-best-xy.png of Data.in would replace the data file Data-best-xy.png of "
        "this run: Data.in is not fitted",
        ""}},
      {"named like a model's plot, given first",
       {"./Data-model10-xy.png", "Data.in"},
       here,
       {"",
        "Plot file ./Data-model10-xy.png of Data.in would replace the data file "
        "./Data-model10-xy.png of this run: Data.in is not fitted"}},
      {"in the plot folder, another spelling",
       {"P/Data-best-mc50.png", "sub/../Data.in"},
       plots_in_p,
       {"",
        "Plot file P/Data-best-mc50.png of sub/../Data.in would replace the data file "
        "P/Data-best-mc50.png of this run: sub/../Data.in is not fitted"}},
      {"another format is another name", {"Data.in", "Data-best-xy.png"}, {".", "svg"}, {"", ""}},
      {"another folder is another name", {"Data.in", "Data-best-xy.png"}, plots_in_p, {"", ""}},
  };
  for (const auto& c : cases) {
    const auto planned = plan(c.files, c.plots);
    EXPECT_EQ(refusals(planned), c.refusals) << c.what;
    for (const auto& p : planned) {
      if (!p.refusal.empty()) {
        EXPECT_TRUE(p.plot_files.empty()) << c.what;
      }
    }
  }
}

TEST(OutputPlan, InputWhoseFilesCannotBeWrittenIsRefusedBeforeAnyFit) {
  auto planned = plan({"ro/Data.in", "ok/Data.in", "ok/Data.txt", "shared/x.in"}, plots_in_p);
  // The check's own answers: a read-only folder, a foreign file in a shared folder.
  const auto check = [](const std::string& name) -> std::string {
    if (name.starts_with("ro/"))
      return "cannot write into the folder /w/run/ro (Permission denied)";
    if (name == "P/x-best-kmapp.png")
      return "x-best-kmapp.png in the shared folder /w/run/P "
             "belongs to another user and cannot be replaced";
    return "";
  };
  refuse_unwritable(planned, check);
  EXPECT_EQ(refusals(planned),
            (std::vector<std::string>{
                "Results file ro/Data.out: cannot write into the folder /w/run/ro (Permission "
                "denied): ro/Data.in is not fitted",
                "",
                // Refused already, for its own reason.
                "Results file ok/Data.out of ok/Data.txt is also the results file of ok/Data.in: "
                "ok/Data.txt is not fitted",
                "Plot file P/x-best-kmapp.png: x-best-kmapp.png in the shared folder /w/run/P "
                "belongs to another user and cannot be replaced: shared/x.in is not fitted"}));
}

TEST(OutputPlan, JsonMayReplaceNoInputResultsOrPlotFile) {
  const auto planned = plan({"a.in", "b.in", "b.txt"}, plots_in_p);
  EXPECT_EQ(replaced_input("./a.in", planned, lexical), "a.in");
  EXPECT_EQ(replaced_input("b.out", planned, lexical), "b.out");
  EXPECT_EQ(replaced_input("P/../P/a-best-mc50.png", planned, lexical), "P/a-best-mc50.png");
  EXPECT_EQ(replaced_input("a.json", planned, lexical), std::nullopt);
  EXPECT_EQ(replaced_input("sub/a.in", planned, lexical), std::nullopt);
  // A refused input writes nothing, so its names are free; its data file is not.
  EXPECT_EQ(replaced_input("b.txt", planned, lexical), "b.txt");
}

}  // namespace
}  // namespace inhibra::cli
