// The command line as a user and a packager meet it: the version, and a manual page
// that describes exactly the options the program takes.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "cli/run_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

// The long option names ("models", "json", ...) that `pattern` finds in `text`.
std::set<std::string> long_options(const std::string& text, const std::regex& pattern) {
  std::set<std::string> names;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
       it != std::sregex_iterator(); ++it)
    names.insert((*it)[1].str());
  return names;
}

TEST(CommandLine, VersionComesFromTheProject) {
  support::temp_dir dir;
  const auto r = run_fit("--version", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "inhibra-fit " INHIBRA_VERSION "\n");
  EXPECT_EQ(r.err, "");
}

TEST(CommandLine, ManualPageDescribesEveryOptionOfTheHelp) {
  support::temp_dir dir;
  const auto help = run_fit("--help", dir);
  ASSERT_EQ(help.status, 0);
  const auto in_help = long_options(help.out, std::regex(R"(--([a-z][a-z-]*))"));
  ASSERT_TRUE(in_help.count("models") == 1 && in_help.count("version") == 1) << help.out;
  const std::string page =
      support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/packaging/inhibra-fit.1.in");
  // roff writes a hyphen in an option as \-.
  const auto in_page = long_options(page, std::regex(R"(\\-\\-([a-z](?:[a-z]|\\-)*))"));
  std::set<std::string> page_names;
  for (auto name : in_page) {
    name = std::regex_replace(name, std::regex(R"(\\-)"), "-");
    page_names.insert(name);
  }
  EXPECT_EQ(page_names, in_help);
}

}  // namespace
}  // namespace inhibra::cli
