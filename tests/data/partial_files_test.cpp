#include "data/partial_files.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "data/output_file.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::data {
namespace {

namespace fs = std::filesystem;
using files = std::map<std::string, std::string>;

constexpr std::time_t day = 24 * 60 * 60;
constexpr std::uint32_t me = 1000;
constexpr std::uint32_t someone_else = 65534;

// Moves a file's (or a folder's, or a link's own) modification time into the past.
void make_old(const std::string& path, std::time_t seconds) {
  const timespec times[2] = {{std::time(nullptr) - seconds, 0}, {std::time(nullptr) - seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(PartialName, PutsThePrefixBeforeTheLastComponentAndTheTagAfterIt) {
  const std::string long_leaf(300, 'x');
  const struct {
    std::string final_name, expected;
  } cases[] = {
      {"Data.out", ".inhibra-partial-Data.out.T4g"},
      {"a/b/Data.out", "a/b/.inhibra-partial-Data.out.T4g"},
      {"/abs.d/x.png", "/abs.d/.inhibra-partial-x.png.T4g"},
      {"dir/" + long_leaf, "dir/.inhibra-partial-" + long_leaf.substr(0, 200) + ".T4g"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(partial_name(c.final_name, "T4g"), c.expected) << c.final_name;
}

TEST(StaleAndOurs, OnlyOldRegularFilesOrFoldersOfTheUserWithThePrefix) {
  const std::time_t now = 1'000'000'000;
  const auto file = [&](std::string_view name, std::time_t age, std::uint32_t owner = me) {
    return entry_facts{name, true, false, owner, now - age};
  };
  const auto folder = [&](std::string_view name, std::time_t age, std::uint32_t owner = me) {
    return entry_facts{name, false, true, owner, now - age};
  };
  const struct {
    const char* what;
    entry_facts entry;
    std::string_view prefix;
    bool stale;
  } cases[] = {
      {"old file of ours", file(".inhibra-partial-Data.out.abc", day + 1), partial_prefix, true},
      {"a day old exactly", file(".inhibra-partial-Data.out.abc", day), partial_prefix, false},
      {"fresh", file(".inhibra-partial-Data.out.abc", 60), partial_prefix, false},
      {"from the future", file(".inhibra-partial-x", -day * 2), partial_prefix, false},
      {"another user's", file(".inhibra-partial-x", 2 * day, someone_else), partial_prefix, false},
      {"another name", file(".Data.out.abc", 2 * day), partial_prefix, false},
      {"the prefix alone", file(".inhibra-partial-", 2 * day), partial_prefix, false},
      {"a link or pipe", entry_facts{".inhibra-partial-x", false, false, me, now - 2 * day},
       partial_prefix, false},
      {"a folder with the file prefix", folder(".inhibra-partial-x", 2 * day), partial_prefix,
       false},
      {"old runtime folder", folder("inhibra-runtime-Ab12Cd", 2 * day), runtime_folder_prefix,
       true},
      {"fresh runtime folder", folder("inhibra-runtime-Ab12Cd", 600), runtime_folder_prefix, false},
      {"runtime folder of another user", folder("inhibra-runtime-Ab12Cd", 2 * day, someone_else),
       runtime_folder_prefix, false},
      {"a file with the runtime prefix", file("inhibra-runtime-Ab12Cd", 2 * day),
       runtime_folder_prefix, false},
      {"no prefix given", file("anything", 2 * day), "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(stale_and_ours(c.entry, c.prefix, me, now), c.stale) << c.what;
}

TEST(HeldPartials, AreRemovedOnDemandAndForgottenWhenReleased) {
  support::temp_dir dir;
  const int before = held_partial_count();
  dir.write("kept.txt", "not held");
  const auto a = dir.write(".inhibra-partial-a.out.1", "a");
  const auto b = dir.write(".inhibra-partial-b.out.2", "b");
  const auto released = dir.write(".inhibra-partial-c.out.3", "c");
  fs::create_directory(dir.file("inhibra-runtime-x"));
  const int slot_a = hold_partial(a);
  const int slot_b = hold_partial(b);
  const int slot_c = hold_partial(released);
  const int slot_folder = hold_partial(dir.file("inhibra-runtime-x"), partial_kind::folder);
  ASSERT_TRUE(slot_a >= 0 && slot_b >= 0 && slot_c >= 0 && slot_folder >= 0);
  release_partial(slot_c);
  EXPECT_EQ(held_partial_count(), before + 3);

  remove_held_partials();
  EXPECT_EQ(support::snapshot(dir.path()),
            (files{{"kept.txt", "not held"}, {".inhibra-partial-c.out.3", "c"}}));
  // The names stay held until released (the program was meant to end).
  EXPECT_EQ(held_partial_count(), before + 3);
  for (const int slot : {slot_a, slot_b, slot_folder})
    release_partial(slot);
  EXPECT_EQ(held_partial_count(), before);
  release_partial(-1);  // a name that could not be held
  EXPECT_EQ(hold_partial(""), -1);
  EXPECT_EQ(hold_partial(std::string(5000, 'x')), -1);
}

TEST(HeldPartials, GoWhenTheProgramEndsThroughExit) {
  support::temp_dir dir;
  dir.write("Data.out", "earlier");
  const pid_t pid = fork();
  if (pid == 0) {
    output_file out;
    if (!out.open(dir.file("Data.out"))) _exit(3);
    out << "unfinished";
    out.flush();
    std::exit(1);  // as the window system ends the program when the display is lost
  }
  int raw = 0;
  ASSERT_EQ(waitpid(pid, &raw, 0), pid);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
  EXPECT_EQ(support::snapshot(dir.path()), (files{{"Data.out", "earlier"}}));
}

TEST(StalePartials, OnlyOldFilesOfOursGoAndAFileBeingWrittenStays) {
  support::temp_dir dir;
  files stays = {{"notes.txt", "old notes"},
                 {".inhibra-partial-fresh.out.aaaaaa", "fresh"},
                 {".Data.out.bbbbbb", "old, of an earlier naming"}};
  for (const auto& [name, content] : stays)
    dir.write(name, content);
  dir.write(".inhibra-partial-Data.out.cccccc", "stale");
  dir.write(".inhibra-partial-Data-best-xy.png.dddddd", "stale");
  fs::create_directory(dir.file(".inhibra-partial-folder"));
  fs::create_symlink(dir.file("notes.txt"), dir.file(".inhibra-partial-link"));
  stays[".inhibra-partial-folder"] = "<folder>";
  stays[".inhibra-partial-link"] = "<link to " + dir.file("notes.txt") + ">";
  // A file another program is still writing (a run paused for days) keeps its lock.
  output_file busy;
  ASSERT_TRUE(busy.open(dir.file("busy.out")));
  busy << "being written";
  busy.flush();
  stays[fs::path(busy.temporary_name()).filename().string()] = "being written";
  if (geteuid() == 0) {
    dir.write(".inhibra-partial-theirs.out.eeeeee", "another user's");
    ASSERT_EQ(
        chown(dir.file(".inhibra-partial-theirs.out.eeeeee").c_str(), someone_else, someone_else),
        0);
    stays[".inhibra-partial-theirs.out.eeeeee"] = "another user's";
  }
  for (const auto& name : support::file_names(dir.path()))
    if (name != ".inhibra-partial-fresh.out.aaaaaa") make_old(dir.file(name), 2 * day);

  EXPECT_EQ(remove_stale_partials(dir.path().string()), 2);
  EXPECT_EQ(support::snapshot(dir.path()), stays);
  EXPECT_EQ(remove_stale_partials(dir.file("missing")), 0);
}

TEST(StaleRuntimeFolders, OldFoldersOfTheUserGoWithTheirFiles) {
  support::temp_dir parent;
  fs::create_directory(parent.file("inhibra-runtime-OLD123"));
  parent.write("inhibra-runtime-OLD123/socket-like", "");
  fs::create_directory(parent.file("inhibra-runtime-NEW456"));
  fs::create_directory(parent.file("inhibra-runtime-DEEP78"));
  fs::create_directory(parent.file("inhibra-runtime-DEEP78/inner"));
  parent.write("inhibra-runtime-file", "a file, not a folder");
  fs::create_directory(parent.file("other-OLD"));
  fs::create_directory_symlink(parent.file("other-OLD"), parent.file("inhibra-runtime-link"));
  for (const auto& name : support::file_names(parent.path())) {
    if (name != "inhibra-runtime-NEW456") make_old(parent.file(name), 2 * day);
  }
  const auto before = support::snapshot(parent.path());

  EXPECT_EQ(remove_stale_runtime_folders(parent.path().string()), 1);
  auto expected = before;
  expected.erase("inhibra-runtime-OLD123");
  expected.erase("inhibra-runtime-OLD123/socket-like");
  // A folder inside is not ours to empty: that runtime folder stays.
  EXPECT_EQ(support::snapshot(parent.path()), expected);
}

}  // namespace
}  // namespace inhibra::data
