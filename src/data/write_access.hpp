#pragma once
// Whether a file can be written whole at a name: a new temporary file must be
// created in the folder, and an earlier file at the name must be replaceable by a
// rename. Both programs ask before any work that would be lost (a long fit whose
// results could not be put in place), and the answer names the folder or the file and
// says why. The rule is a function of the file system's facts, so that it can be
// checked whoever runs it.
#include <cstdint>
#include <string>

namespace inhibra::data {

// What stands at the final name.
enum class name_holder { nothing, regular_file, link, folder, other };

struct write_facts {
  std::string folder;          // the folder as shown in messages (absolute)
  std::string leaf;            // the final name's last component
  int folder_error = 0;        // errno of the folder's write check; 0: writable
  bool folder_sticky = false;  // only owners may remove or replace its entries
  std::uint32_t folder_owner = 0;
  name_holder holder = name_holder::nothing;
  std::uint32_t holder_owner = 0;
  int holder_error = 0;    // errno of the regular file's write check; 0: writable
  std::uint32_t user = 0;  // the effective user of the program
};

// Why a file cannot be written at the name, in words that name the folder or the file
// ("cannot write into the folder /x/y (Permission denied)"); empty when it can.
[[nodiscard]] std::string write_refusal(const write_facts& facts);

// The facts of `final_name` on disk ("" for a folder means the current one).
[[nodiscard]] write_facts facts_on_disk(const std::string& final_name);

// write_refusal of the name on disk.
[[nodiscard]] std::string write_refusal(const std::string& final_name);

// Why nothing can be written into `folder` ("cannot write into the folder /x/y (Not a
// directory)"); empty when files can be created there.
[[nodiscard]] std::string folder_refusal(const std::string& folder);

}  // namespace inhibra::data
