#include "data/write_access.hpp"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/file_names.hpp"

namespace inhibra::data {

namespace {

std::string system_message(int error_number) {
  return std::generic_category().message(error_number);
}

// The folder as messages show it: absolute, without "." and ".." parts.
std::string shown_folder(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path given = folder.empty() ? fs::path(".") : fs::path(folder);
  fs::path absolute = fs::absolute(given, ec);
  if (ec) absolute = given;
  std::string shown = absolute.lexically_normal().string();
  while (shown.size() > 1 && shown.back() == '/')
    shown.pop_back();
  return shown;
}

// errno of a write check of the folder (creating and renaming entries), 0 when allowed.
int folder_write_error(const std::string& folder) {
  const char* path = folder.empty() ? "." : folder.c_str();
  struct stat st {};
  if (::stat(path, &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return ::faccessat(AT_FDCWD, path, W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

}  // namespace

std::string write_refusal(const write_facts& f) {
  switch (f.holder) {
    case name_holder::folder:
      return "a folder has that name";
    case name_holder::other:
      return "not a regular file";
    default:
      break;
  }
  if (f.folder_error != 0) {
    return "cannot write into the folder " + f.folder + " (" + system_message(f.folder_error) + ")";
  }
  // In a folder such as /tmp, an entry may be replaced only by its owner, the folder's
  // owner or the administrator; the rename at the end of the run would fail.
  const bool replaced = f.holder != name_holder::nothing;
  if (replaced && f.folder_sticky && f.user != 0 && f.holder_owner != f.user &&
      f.folder_owner != f.user) {
    return f.leaf + " in the shared folder " + f.folder +
           " belongs to another user and cannot be replaced";
  }
  // A file the person made read-only is not replaced behind their back.
  if (f.holder == name_holder::regular_file && f.holder_error != 0) {
    return f.leaf + " is write-protected and is not replaced (" + system_message(f.holder_error) +
           ")";
  }
  return "";
}

write_facts facts_on_disk(const std::string& final_name) {
  write_facts f;
  const auto [folder, leaf] = split_folder(final_name);
  f.leaf = leaf;
  f.folder = shown_folder(folder);
  f.user = static_cast<std::uint32_t>(::geteuid());
  f.folder_error = folder_write_error(folder);
  struct stat st {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &st) == 0) {
    f.folder_sticky = (st.st_mode & S_ISVTX) != 0;
    f.folder_owner = static_cast<std::uint32_t>(st.st_uid);
  }
  if (::lstat(final_name.c_str(), &st) != 0) return f;
  f.holder_owner = static_cast<std::uint32_t>(st.st_uid);
  if (S_ISREG(st.st_mode)) {
    f.holder = name_holder::regular_file;
    if (::faccessat(AT_FDCWD, final_name.c_str(), W_OK, AT_EACCESS) != 0) f.holder_error = errno;
  } else if (S_ISLNK(st.st_mode)) {
    f.holder = name_holder::link;
  } else if (S_ISDIR(st.st_mode)) {
    f.holder = name_holder::folder;
  } else {
    f.holder = name_holder::other;
  }
  return f;
}

std::string write_refusal(const std::string& final_name) {
  return write_refusal(facts_on_disk(final_name));
}

std::string folder_refusal(const std::string& folder) {
  write_facts f;
  f.folder_error = folder_write_error(folder);
  if (f.folder_error == 0) return "";
  f.folder = shown_folder(folder);
  return write_refusal(f);
}

}  // namespace inhibra::data
