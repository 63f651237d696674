#include "data/file_names.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

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

// A name given by a person is read as given when such a file exists; only otherwise
// does it get the default extension (and lose its blanks).
TEST(FileNames, ExistingFileIsReadAsNamed) {
  support::temp_dir dir;
  struct name_case {
    std::vector<std::string> files;  // in the folder ("/" at the end: a folder)
    std::string given;               // relative to the folder
    std::string read;                // the data file read, relative to the folder
  };
  const std::vector<name_case> cases = {
      {{"my data"}, "my data", "my data"},       {{"my data", "mydata.in"}, "my data", "my data"},
      {{"mydata.in"}, "my data", "mydata.in"},   {{}, "my data", "mydata.in"},
      {{"Data", "Data.in"}, "Data", "Data"},     {{"Data.in"}, "Data", "Data.in"},
      {{"Data/", "Data.in"}, "Data", "Data.in"}, {{"Data"}, "Data  ", "Data"},
      {{"Data.in"}, "Data.in", "Data.in"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir.path());
    std::filesystem::create_directories(dir.path());
    for (const auto& f : c.files) {
      if (f.ends_with('/')) {
        std::filesystem::create_directory(dir.file(f.substr(0, f.size() - 1)));
      } else {
        dir.write(f, "1 0 1\n");
      }
    }
    EXPECT_EQ(data_file_name(dir.file(c.given)), dir.file(c.read)) << c.given;
  }
}

}  // namespace
}  // namespace inhibra::data
