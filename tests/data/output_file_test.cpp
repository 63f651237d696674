#include "data/output_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include <filesystem>

#include "data/partial_files.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::data {
namespace {

namespace fs = std::filesystem;

class OutputFile : public ::testing::Test {
 protected:
  support::temp_dir dir;
  std::string target = dir.file("Data.out");
};

TEST_F(OutputFile, LinkAtTheNameIsReplacedNotWrittenThrough) {
  const auto elsewhere = dir.write("elsewhere.txt", "not a report");
  fs::create_symlink(elsewhere, target);
  output_file out;
  ASSERT_TRUE(out.open(target));
  out << "report";
  ASSERT_TRUE(out.commit());
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(support::read_file(target), "report");
  EXPECT_EQ(support::read_file(elsewhere), "not a report");
}

TEST_F(OutputFile, FolderOrPipeAtTheNameIsRefused) {
  fs::create_directory(target);
  const auto pipe = dir.file("pipe.out");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const auto before = support::snapshot(dir.path());
  for (const auto& name : {target, pipe}) {
    output_file out;
    EXPECT_FALSE(out.open(name)) << name;
    EXPECT_FALSE(out.is_open());
    EXPECT_FALSE(out.error().empty());
    EXPECT_FALSE(out.commit());
  }
  EXPECT_EQ(support::snapshot(dir.path()), before);
}

TEST_F(OutputFile, NewFileKeepsThePermissionsOfTheOneItReplaces) {
  dir.write("Data.out", "earlier");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  output_file out;
  ASSERT_TRUE(out.open(target));
  ASSERT_TRUE(out.commit());
  EXPECT_EQ(fs::status(target).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(OutputFile, MissingFolderIsNamedWithTheSystemsWords) {
  output_file out;
  EXPECT_FALSE(out.open(dir.file("missing/Data.out")));
  EXPECT_EQ(out.error(), "cannot write into the folder " + fs::canonical(dir.path()).string() +
                             "/missing (No such file or directory)");
}

// How a file written through output_file can end: an earlier file stays until the
// commit, the temporary name carries the prefix all along, is held for a second stop
// signal until the end, and nothing but the final name (or nothing at all) is left.
TEST_F(OutputFile, TemporaryNameIsMarkedAndHeldUntilTheEnd) {
  enum class ending { commit, seal_then_commit, seal_then_discard, discard, destructor };
  const struct {
    ending how;
    bool written;
  } cases[] = {{ending::commit, true},
               {ending::seal_then_commit, true},
               {ending::seal_then_discard, false},
               {ending::discard, false},
               {ending::destructor, false}};
  const std::string report(100000, 'x');  // more than the buffer holds
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.how));
    dir.write("Data.out", "earlier");
    const int held = held_partial_count();
    {
      output_file out;
      ASSERT_TRUE(out.open(target));
      const std::string temporary = out.temporary_name();
      EXPECT_TRUE(temporary.starts_with(dir.file(".inhibra-partial-Data.out."))) << temporary;
      EXPECT_EQ(temporary.size(), dir.file(".inhibra-partial-Data.out.").size() + 6);
      EXPECT_EQ(held_partial_count(), held + 1);
      out << report;
      if (c.how == ending::seal_then_commit || c.how == ending::seal_then_discard) {
        ASSERT_TRUE(out.seal());
        EXPECT_FALSE(out.is_open());
        EXPECT_EQ(support::read_file(temporary), report);  // whole before the rename
        EXPECT_EQ(held_partial_count(), held + 1);
      }
      EXPECT_EQ(support::read_file(target), "earlier");
      if (c.how == ending::commit || c.how == ending::seal_then_commit) {
        ASSERT_TRUE(out.commit());
        EXPECT_FALSE(out.is_open());
      }
      if (c.how == ending::discard || c.how == ending::seal_then_discard) out.discard();
    }
    EXPECT_EQ(held_partial_count(), held);
    EXPECT_EQ(support::snapshot(dir.path()),
              (std::map<std::string, std::string>{{"Data.out", c.written ? report : "earlier"}}));
  }
}

}  // namespace
}  // namespace inhibra::data
