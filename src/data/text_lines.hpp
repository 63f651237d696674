#pragma once
// A text file read line by line, as often as needed from the top, with bounded
// memory: only a regular file is read (a named pipe or a device could block the
// program or never end), and a line longer than max_line_length stops the reading.
#include <array>
#include <cstddef>
#include <string>

#include <sys/types.h>

namespace inhibra::data {

// Longest line read, in bytes without its line end.
inline constexpr std::size_t max_line_length = 64 * 1024;

class text_lines {
 public:
  enum class opened { ok, cannot_open, not_regular };
  enum class stop { none, too_long, read_error };

  text_lines() = default;
  ~text_lines();
  text_lines(const text_lines&) = delete;
  text_lines& operator=(const text_lines&) = delete;

  // Opens the file without waiting on it and keeps it only when it is a regular file.
  [[nodiscard]] opened open(const std::string& name);

  // Starts again from the top. False when the file cannot be repositioned.
  [[nodiscard]] bool rewind();

  // The next line without its line feed (a CR before it stays); the first line loses a
  // UTF-8 byte-order mark. False at the end of the file and when reading stopped.
  [[nodiscard]] bool next(std::string& line);

  // Why reading stopped before the end of the file, and on which line (1-based).
  [[nodiscard]] stop stopped() const { return stop_; }
  [[nodiscard]] int line_number() const { return line_number_; }

  // Identity of the open file, to tell whether another name is the same file.
  [[nodiscard]] dev_t device() const { return device_; }
  [[nodiscard]] ino_t inode() const { return inode_; }

 private:
  bool fill();

  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::array<char, 16384> buffer_{};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  bool end_ = false;
  stop stop_ = stop::none;
  int line_number_ = 0;
};

}  // namespace inhibra::data
