#include "data/write_access.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/temp_dir.hpp"

namespace inhibra::data {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t me = 1000;
constexpr std::uint32_t other = 1001;
constexpr std::uint32_t root = 0;

// The folder /x/y, writable, with nothing at the name Data.out.
write_facts plain() {
  write_facts f;
  f.folder = "/x/y";
  f.leaf = "Data.out";
  f.folder_owner = me;
  f.user = me;
  return f;
}

// /tmp: sticky, the administrator's, with Data.out belonging to `owner`.
write_facts shared(std::uint32_t owner, std::uint32_t user = me,
                   name_holder holder = name_holder::regular_file) {
  write_facts f = plain();
  f.folder = "/tmp";
  f.folder_sticky = true;
  f.folder_owner = root;
  f.holder = holder;
  f.holder_owner = owner;
  f.user = user;
  return f;
}

TEST(WriteRefusal, NamesTheFolderOrTheFileAndWhy) {
  const std::string not_replaced =
      "Data.out in the shared folder /tmp belongs to another user and cannot be replaced";
  auto with = [](write_facts f, auto change) {
    change(f);
    return f;
  };
  const struct {
    const char* what;
    write_facts facts;
    std::string refusal;
  } cases[] = {
      {"a new file in a writable folder", plain(), ""},
      {"a read-only folder", with(plain(), [](auto& f) { f.folder_error = EACCES; }),
       "cannot write into the folder /x/y (Permission denied)"},
      {"a read-only file system", with(plain(), [](auto& f) { f.folder_error = EROFS; }),
       "cannot write into the folder /x/y (Read-only file system)"},
      {"a missing folder", with(plain(), [](auto& f) { f.folder_error = ENOENT; }),
       "cannot write into the folder /x/y (No such file or directory)"},
      {"a read-only folder, an earlier file",
       with(plain(),
            [](auto& f) {
              f.folder_error = EACCES;
              f.holder = name_holder::regular_file;
              f.holder_owner = me;
            }),
       "cannot write into the folder /x/y (Permission denied)"},
      {"a shared folder, another user's file", shared(other), not_replaced},
      {"a shared folder, another user's link", shared(other, me, name_holder::link), not_replaced},
      {"a shared folder, our own file", shared(me), ""},
      {"a shared folder, nothing there yet", shared(other, me, name_holder::nothing), ""},
      {"a shared folder of our own", with(shared(other), [](auto& f) { f.folder_owner = me; }), ""},
      {"a shared folder, the administrator", shared(other, root), ""},
      {"another user's file in an ordinary folder",
       with(shared(other), [](auto& f) { f.folder_sticky = false; }), ""},
      {"a write-protected file",
       with(plain(),
            [](auto& f) {
              f.holder = name_holder::regular_file;
              f.holder_owner = me;
              f.holder_error = EACCES;
            }),
       "Data.out is write-protected and is not replaced (Permission denied)"},
      {"a folder at the name", with(plain(), [](auto& f) { f.holder = name_holder::folder; }),
       "a folder has that name"},
      {"a pipe at the name", with(plain(), [](auto& f) { f.holder = name_holder::other; }),
       "not a regular file"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(write_refusal(c.facts), c.refusal) << c.what;
}

TEST(WriteFacts, AreReadFromDisk) {
  support::temp_dir dir;
  const std::string folder = fs::canonical(dir.path()).string();
  dir.write("Data.out", "earlier");
  fs::create_directory(dir.file("sub"));
  fs::create_symlink("Data.out", dir.file("link.out"));
  const std::uint32_t user = geteuid();

  const auto file = facts_on_disk(folder + "/Data.out");
  EXPECT_EQ(file.folder, folder);
  EXPECT_EQ(file.leaf, "Data.out");
  EXPECT_EQ(file.holder, name_holder::regular_file);
  EXPECT_EQ(file.holder_owner, user);
  EXPECT_EQ(file.user, user);
  EXPECT_EQ(file.folder_owner, user);
  EXPECT_EQ(file.folder_error, 0);
  EXPECT_FALSE(file.folder_sticky);
  EXPECT_EQ(facts_on_disk(folder + "/link.out").holder, name_holder::link);
  EXPECT_EQ(facts_on_disk(folder + "/sub").holder, name_holder::folder);
  EXPECT_EQ(facts_on_disk(folder + "/new.out").holder, name_holder::nothing);
  EXPECT_EQ(facts_on_disk(folder + "/sub/../Data.out").folder, folder);
  EXPECT_EQ(facts_on_disk(folder + "/missing/x.out").folder_error, ENOENT);
  EXPECT_EQ(facts_on_disk(folder + "/Data.out/x.out").folder_error, ENOTDIR);
  EXPECT_EQ(folder_refusal(folder + "/Data.out"),
            "cannot write into the folder " + folder + "/Data.out (Not a directory)");
  EXPECT_EQ(folder_refusal(folder), "");

  ASSERT_EQ(chmod(dir.file("sub").c_str(), 01777), 0);
  EXPECT_TRUE(facts_on_disk(folder + "/sub/x.out").folder_sticky);
  // The administrator may write anywhere: the folder's permission bits are for others.
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(dir.file("sub").c_str(), 0555), 0);
    EXPECT_EQ(write_refusal(folder + "/sub/x.out"),
              "cannot write into the folder " + folder + "/sub (Permission denied)");
    ASSERT_EQ(chmod(dir.file("sub").c_str(), 0755), 0);
  }
}

TEST(WriteFacts, ShowARelativeFolderAsAnAbsoluteOne) {
  const auto f = facts_on_disk("Data.out");
  EXPECT_EQ(f.folder, fs::current_path().string());
  EXPECT_EQ(f.leaf, "Data.out");
}

}  // namespace
}  // namespace inhibra::data
