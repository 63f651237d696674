#include "data/output_file.hpp"

#include <cerrno>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/file_names.hpp"
#include "data/partial_files.hpp"
#include "data/write_access.hpp"

namespace inhibra::data {

namespace {

constexpr int name_attempts = 100;  // fresh temporary names tried before giving up

std::string system_message(int error_number) {
  return std::generic_category().message(error_number);
}

// Six random letters and digits.
std::string random_tag() {
  static constexpr char alphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
  std::string tag(6, ' ');
  for (char& c : tag)
    c = alphabet[pick(engine)];
  return tag;
}

// The folder is made durable too, so that the rename survives a crash.
void sync_folder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

bool output_file::descriptor_buffer::drain() {
  const char* p = pbase();
  std::size_t left = static_cast<std::size_t>(pptr() - pbase());
  while (left > 0 && error == 0) {
    if (fd < 0) {
      error = EBADF;
      break;
    }
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno != EINTR) error = errno;
      continue;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  empty();
  return error == 0;
}

output_file::descriptor_buffer::int_type output_file::descriptor_buffer::overflow(int_type c) {
  if (!drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

output_file::output_file() : std::ostream(nullptr) {
  rdbuf(&buffer_);
}

output_file::~output_file() {
  discard();
}

std::string output_file::error() const {
  if (!error_.empty()) return error_;
  if (buffer_.error != 0) return system_message(buffer_.error);
  return bad() ? "write failed" : "";
}

void output_file::fail(const std::string& what, int error_number) {
  if (error_.empty()) error_ = error_number != 0 ? what + system_message(error_number) : what;
}

bool output_file::open(const std::string& final_name) {
  discard();
  final_name_ = final_name;
  error_.clear();
  buffer_.error = 0;
  clear();

  const std::string folder = split_folder(final_name).folder;
  // What an earlier run that was killed left in this folder goes first.
  remove_stale_partials_once(folder);
  // Refused before anything is written: a folder the file cannot be created in, a
  // file that cannot be replaced, something other than a file at the name.
  if (const std::string refusal = write_refusal(final_name); !refusal.empty()) {
    fail(refusal, 0);
    return false;
  }
  struct stat existing {};
  const bool replaces_file =
      ::lstat(final_name.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

  for (int attempt = 0; attempt < name_attempts; ++attempt) {
    const std::string candidate = partial_name(final_name, random_tag());
    // Held before it exists, so that a second stop signal finds it at any moment.
    const int slot = hold_partial(candidate);
    // Created new (never an existing file or link), with the permissions the
    // process would give any new file.
    const int fd =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int error_number = errno;
      release_partial(slot);
      if (error_number == EEXIST) continue;
      fail("", error_number);
      return false;
    }
    // The lock tells a clean-up in another program that the file is being written.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    // A file that replaces an earlier one keeps the earlier one's permissions.
    if (replaces_file) (void)::fchmod(fd, existing.st_mode & 0777);
    buffer_.fd = fd;
    temporary_name_ = candidate;
    held_slot_ = slot;
    return true;
  }
  fail("no free temporary name", 0);
  return false;
}

bool output_file::seal() {
  if (sealed_) return true;
  if (!is_open()) {
    fail("not open", 0);
    return false;
  }
  flush();
  bool ok = buffer_.error == 0 && !bad();
  if (!ok) fail("", buffer_.error != 0 ? buffer_.error : EIO);
  // Some file systems cannot sync; that is no reason to drop the file.
  if (ok && ::fsync(buffer_.fd) != 0 && errno != EINVAL && errno != ENOTSUP) {
    fail("", errno);
    ok = false;
  }
  if (::close(buffer_.fd) != 0 && errno != EINTR && ok) {
    fail("", errno);
    ok = false;
  }
  buffer_.fd = -1;
  if (!ok) {
    discard();
    return false;
  }
  sealed_ = true;
  return true;
}

bool output_file::commit() {
  if (!seal()) return false;
  if (::rename(temporary_name_.c_str(), final_name_.c_str()) != 0) {
    fail("", errno);
    discard();
    return false;
  }
  sync_folder(split_folder(final_name_).folder);
  temporary_name_.clear();
  sealed_ = false;
  release_partial(held_slot_);
  held_slot_ = -1;
  return true;
}

void output_file::discard() {
  if (buffer_.fd >= 0) {
    ::close(buffer_.fd);
    buffer_.fd = -1;
  }
  if (!temporary_name_.empty()) {
    ::unlink(temporary_name_.c_str());
    temporary_name_.clear();
  }
  release_partial(held_slot_);
  held_slot_ = -1;
  sealed_ = false;
  buffer_.empty();  // what is still buffered belongs to the discarded file
}

}  // namespace inhibra::data
