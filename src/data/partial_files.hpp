#pragma once
// The unfinished files of the programs: every file written whole or not at all is
// first a temporary file whose name begins with partial_prefix, beside its final
// name. Such a file normally lasts until its commit or its discard; this keeps track
// of what would outlive a program that ends abruptly:
//   - a list of the temporary names in use, which a signal handler can remove
//     (fixed-size storage and atomics only, so that removing is async-signal-safe),
//     and which exit() removes;
//   - the removal of stale temporary files (and stale private runtime folders) that
//     a program killed earlier left behind. Only what is evidently ours goes: the
//     name begins with our prefix, the file belongs to the current user, it is a
//     regular file (a folder, for runtime folders) and it is older than a day.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace inhibra::data {

// ".inhibra-partial-Data.out.a8Fk2q" is the temporary file of "Data.out".
inline constexpr std::string_view partial_prefix = ".inhibra-partial-";
// The private runtime folders of programs that draw without a display.
inline constexpr std::string_view runtime_folder_prefix = "inhibra-runtime-";
// How old an unfinished file must be before another run counts it as left behind.
inline constexpr std::time_t stale_after_seconds = 24 * 60 * 60;

// The temporary name of `final_name` with `tag`: same folder, prefix, the final
// name's last component (its first 200 bytes), a dot and the tag.
[[nodiscard]] std::string partial_name(const std::string& final_name, std::string_view tag);

// --- names in use ------------------------------------------------------------------

enum class partial_kind { file, folder };

// Remembers a temporary file (or an empty folder) for remove_held_partials. Returns
// the slot to give to release_partial, or -1 when the name is too long or every slot
// is taken (the name is then left to the later clean-up).
[[nodiscard]] int hold_partial(std::string_view name, partial_kind kind = partial_kind::file);
// Forgets a slot (after the commit or the discard); -1 is ignored.
void release_partial(int slot);
// Removes every held name (unlink, or rmdir for a folder). Async-signal-safe: for a
// handler that ends the program; the names stay held. A program that ends through
// exit() with names held does the same on its way out.
void remove_held_partials() noexcept;
// How many names are held (for tests).
[[nodiscard]] int held_partial_count();

// --- stale leftovers ----------------------------------------------------------------

// What the clean-up knows of one entry of a folder.
struct entry_facts {
  std::string_view name;  // the entry's name in its folder
  bool regular = false;   // a regular file (not a link)
  bool folder = false;    // a folder (not a link)
  std::uint32_t owner = 0;
  std::time_t modified = 0;
};

// True when the entry is an unfinished file of ours (`prefix` = partial_prefix, a
// regular file) or a runtime folder of ours (`prefix` = runtime_folder_prefix, a
// folder) that the current `user` left more than a day before `now`.
[[nodiscard]] bool stale_and_ours(const entry_facts& entry, std::string_view prefix,
                                  std::uint32_t user, std::time_t now);

// Removes the stale temporary files of `folder` ("" for the current folder). A file
// another program still holds open for writing is left alone. Returns how many were
// removed.
int remove_stale_partials(const std::string& folder);

// The same, once per folder in the life of the program (output_file calls it on
// every open).
void remove_stale_partials_once(const std::string& folder);

// Removes the stale runtime folders of the current user in `parent` (the temporary
// folder), with any files of theirs inside. Returns how many were removed.
int remove_stale_runtime_folders(const std::string& parent);

}  // namespace inhibra::data
