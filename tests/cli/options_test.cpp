// The command line as a user and a packager meet it: the version, and a manual page
// that describes exactly the options the program takes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cli/run_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

// The long option names in `text` ("models" for "--models"): lower-case letters
// and inner hyphens after "--".
std::set<std::string> long_options(const std::string& text) {
  std::set<std::string> names;
  auto at = text.find("--");
  while (at != std::string::npos) {
    auto end = at + 2;
    while (end < text.size() &&
           ((text[end] >= 'a' && text[end] <= 'z') || (text[end] == '-' && end > at + 2)))
      ++end;
    while (end > at + 2 && text[end - 1] == '-')
      --end;
    if (end > at + 2) names.insert(text.substr(at + 2, end - at - 2));
    at = text.find("--", end);
  }
  return names;
}

TEST(CommandLine, VersionComesFromTheProjectAndTheManualPageDescribesEveryOptionOfTheHelp) {
  support::temp_dir dir;
  const auto version = run_fit("--version", dir);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "inhibra-fit " INHIBRA_VERSION "\n");
  EXPECT_EQ(version.err, "");
  const auto help = run_fit("--help", dir);
  ASSERT_EQ(help.status, 0);
  const auto in_help = long_options(help.out);
  ASSERT_TRUE(in_help.count("models") == 1 && in_help.count("version") == 1) << help.out;
  // roff writes each hyphen of an option as \-.
  std::string page =
      support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/packaging/inhibra-fit.1.in");
  for (auto at = page.find("\\-"); at != std::string::npos; at = page.find("\\-", at))
    page.erase(at, 1);
  const auto page_names = long_options(page);
  EXPECT_EQ(page_names, in_help);
}

}  // namespace
}  // namespace inhibra::cli
