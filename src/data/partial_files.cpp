#include "data/partial_files.hpp"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/file_names.hpp"

namespace inhibra::data {

namespace {

constexpr std::size_t longest_leaf_kept = 200;  // of the final name, in the temporary name

// --- names in use ---------------------------------------------------------------------

// Enough for the results file and every plot file of a run on each of many cores.
constexpr std::size_t slot_count = 1024;
constexpr std::size_t longest_name = 4096;  // with its terminating zero

// A slot is free, being filled or emptied by its owner, held (its name may be
// removed), or being removed by a handler.
enum slot_state : int { free_slot = 0, changing = 1, held = 2, removing = 3 };

struct held_name {
  std::array<char, longest_name> text;
  partial_kind kind;
};

std::array<std::atomic<int>, slot_count> states{};
std::array<held_name, slot_count> names{};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

// --- stale leftovers --------------------------------------------------------------------

std::uint32_t current_user() {
  return static_cast<std::uint32_t>(::geteuid());
}

// Closes a descriptor or a folder stream at the end of a scope.
struct descriptor {
  int fd = -1;
  explicit descriptor(int f) : fd(f) {}
  ~descriptor() {
    if (fd >= 0) ::close(fd);
  }
  descriptor(const descriptor&) = delete;
  descriptor& operator=(const descriptor&) = delete;
};

struct folder_stream {
  DIR* dir = nullptr;
  explicit folder_stream(DIR* d) : dir(d) {}
  ~folder_stream() {
    if (dir != nullptr) ::closedir(dir);
  }
  folder_stream(const folder_stream&) = delete;
  folder_stream& operator=(const folder_stream&) = delete;
};

entry_facts facts_of(std::string_view name, const struct stat& st) {
  entry_facts f;
  f.name = name;
  f.regular = S_ISREG(st.st_mode);
  f.folder = S_ISDIR(st.st_mode);
  f.owner = static_cast<std::uint32_t>(st.st_uid);
  f.modified = st.st_mtime;
  return f;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Calls visit(folder_fd, name, facts) for each entry of `folder` whose name begins
// with `prefix`.
template <typename Visit>
int for_each_entry(const std::string& folder, std::string_view prefix, Visit visit) {
  folder_stream stream(::opendir(folder.empty() ? "." : folder.c_str()));
  if (stream.dir == nullptr) return 0;
  const int folder_fd = ::dirfd(stream.dir);
  int removed = 0;
  while (const dirent* entry = ::readdir(stream.dir)) {
    const std::string_view name(entry->d_name);
    if (!name.starts_with(prefix)) continue;
    struct stat st {};
    if (::fstatat(folder_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (visit(folder_fd, entry->d_name, facts_of(name, st), st)) ++removed;
  }
  return removed;
}

extern "C" void remove_held_partials_at_exit() {
  remove_held_partials();
}

}  // namespace

std::string partial_name(const std::string& final_name, std::string_view tag) {
  const auto [folder, leaf] = split_folder(final_name);
  std::string name = folder;
  name += partial_prefix;
  name += leaf.substr(0, longest_leaf_kept);
  name += '.';
  name += tag;
  return name;
}

int hold_partial(std::string_view name, partial_kind kind) {
  // A program ended through exit() while files are unfinished (the window system does
  // so when the display is lost) removes them on the way out. Finished files and
  // those of a program that returned normally are no longer held by then.
  static const bool removed_at_exit = std::atexit(remove_held_partials_at_exit) == 0;
  (void)removed_at_exit;
  if (name.empty() || name.size() >= longest_name) return -1;
  for (std::size_t i = 0; i < slot_count; ++i) {
    int expected = free_slot;
    if (!states[i].compare_exchange_strong(expected, changing, std::memory_order_acquire)) {
      continue;
    }
    std::memcpy(names[i].text.data(), name.data(), name.size());
    names[i].text[name.size()] = '\0';
    names[i].kind = kind;
    states[i].store(held, std::memory_order_release);
    return static_cast<int>(i);
  }
  return -1;
}

void release_partial(int slot) {
  if (slot < 0 || static_cast<std::size_t>(slot) >= slot_count) return;
  auto& state = states[static_cast<std::size_t>(slot)];
  int expected = held;
  // A handler that is removing the name gives the slot back at once.
  while (!state.compare_exchange_weak(expected, changing, std::memory_order_acquire))
    expected = held;
  state.store(free_slot, std::memory_order_release);
}

void remove_held_partials() noexcept {
  for (std::size_t i = 0; i < slot_count; ++i) {
    int expected = held;
    if (!states[i].compare_exchange_strong(expected, removing, std::memory_order_acquire)) {
      continue;
    }
    if (names[i].kind == partial_kind::folder) {
      (void)::rmdir(names[i].text.data());
    } else {
      (void)::unlink(names[i].text.data());
    }
    states[i].store(held, std::memory_order_release);
  }
}

int held_partial_count() {
  int count = 0;
  for (const auto& state : states)
    count += state.load() == held ? 1 : 0;
  return count;
}

bool stale_and_ours(const entry_facts& entry, std::string_view prefix, std::uint32_t user,
                    std::time_t now) {
  const bool right_kind = prefix == runtime_folder_prefix ? entry.folder : entry.regular;
  return !prefix.empty() && entry.name.starts_with(prefix) && entry.name.size() > prefix.size() &&
         right_kind && entry.owner == user && now - entry.modified > stale_after_seconds;
}

int remove_stale_partials(const std::string& folder) {
  const std::uint32_t user = current_user();
  const std::time_t now = std::time(nullptr);
  return for_each_entry(
      folder, partial_prefix,
      [&](int folder_fd, const char* name, const entry_facts& facts, const struct stat& seen) {
        if (!stale_and_ours(facts, partial_prefix, user, now)) return false;
        // Opened to see that it is still the file judged, and that no
        // writer holds its lock (a run paused for more than a day).
        descriptor file(::openat(folder_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat now_seen {};
        if (file.fd < 0 || ::fstat(file.fd, &now_seen) != 0 || !same_file(seen, now_seen) ||
            ::flock(file.fd, LOCK_EX | LOCK_NB) != 0)
          return false;
        return ::unlinkat(folder_fd, name, 0) == 0;
      });
}

void remove_stale_partials_once(const std::string& folder) {
  static std::mutex lock;
  static std::set<std::string> swept;
  {
    const std::lock_guard guard(lock);
    if (!swept.insert(folder.empty() ? "." : folder).second) return;
  }
  (void)remove_stale_partials(folder);
}

int remove_stale_runtime_folders(const std::string& parent) {
  const std::uint32_t user = current_user();
  const std::time_t now = std::time(nullptr);
  return for_each_entry(
      parent, runtime_folder_prefix,
      [&](int parent_fd, const char* name, const entry_facts& facts, const struct stat& seen) {
        if (!stale_and_ours(facts, runtime_folder_prefix, user, now)) return false;
        descriptor folder(
            ::openat(parent_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat now_seen {};
        if (folder.fd < 0 || ::fstat(folder.fd, &now_seen) != 0 || !same_file(seen, now_seen))
          return false;
        // Files of ours inside (sockets, locks) go with it; anything else keeps it.
        const int inner = ::dup(folder.fd);
        if (inner < 0) return false;
        folder_stream contents(::fdopendir(inner));
        if (contents.dir == nullptr) {
          ::close(inner);
          return false;
        }
        while (const dirent* entry = ::readdir(contents.dir)) {
          struct stat st {};
          if (::fstatat(folder.fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
          if (!S_ISDIR(st.st_mode) && st.st_uid == user)
            (void)::unlinkat(folder.fd, entry->d_name, 0);
        }
        return ::unlinkat(parent_fd, name, AT_REMOVEDIR) == 0;
      });
}

}  // namespace inhibra::data
