#include "data/file_names.hpp"

#include <gtest/gtest.h>

namespace inhibra::data {
namespace {

TEST(FileNames, NameWithoutDotGetsExtensionAndLosesBlanks) {
  EXPECT_EQ(normalise_data_name("Data"), "Data.in");
  EXPECT_EQ(normalise_data_name(" my data"), "mydata.in");
  EXPECT_EQ(normalise_data_name("\tData.in   "), "Data.in");
}

TEST(FileNames, RulesApplyToTheLastPathComponentOnly) {
  EXPECT_EQ(normalise_data_name("/home/a.b/my data"), "/home/a.b/mydata.in");
  EXPECT_EQ(normalise_data_name("/my folder/run.1.in"), "/my folder/run.1.in");
  EXPECT_EQ(results_name("/home/a.b/Data"), "/home/a.b/Data.out");
}

TEST(FileNames, ResultsReplaceTheLastExtensionAndKeepCase) {
  EXPECT_EQ(results_name("Data.in"), "Data.out");
  EXPECT_EQ(results_name("Exp.2024.dat"), "Exp.2024.out");
  EXPECT_EQ(results_name("Data."), "Data.out");
  EXPECT_EQ(results_name("MixedCase.In"), "MixedCase.out");
}

}  // namespace
}  // namespace inhibra::data
