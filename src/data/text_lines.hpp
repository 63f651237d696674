#pragma once
// A text file read line by line, as often as needed from the top, with bounded
// memory: only a regular file is read (a named pipe or a device could block the
// program or never end), and a line longer than max_line_length is handed on cut to
// that length (its reader decides whether that matters). Lines end at a line feed;
// in a file without any line feed, at a carriage return (text saved on old Macs).
#include <array>
#include <cstddef>
#include <string>

#include <sys/types.h>

namespace inhibra::data {

// Longest line kept, in bytes without its line end.
inline constexpr std::size_t max_line_length = 64 * 1024;

class text_lines {
 public:
  enum class opened { ok, cannot_open, not_regular };
  enum class stop { none, read_error };

  text_lines() = default;
  ~text_lines();
  text_lines(const text_lines&) = delete;
  text_lines& operator=(const text_lines&) = delete;

  // Opens the file without waiting on it and keeps it only when it is a regular file.
  [[nodiscard]] opened open(const std::string& name);

  // Starts again from the top. False when the file cannot be repositioned.
  [[nodiscard]] bool rewind();

  // The next line without its line end (a CR before a line feed stays); the first
  // line loses a UTF-8 byte-order mark. False at the end of the file and when reading
  // stopped.
  [[nodiscard]] bool next(std::string& line);
  // True when the line last returned was longer than max_line_length: it holds its
  // first max_line_length bytes, the rest was skipped.
  [[nodiscard]] bool cut() const { return cut_; }

  // Why reading stopped before the end of the file, and the number (1-based) of the
  // line last returned.
  [[nodiscard]] stop stopped() const { return stop_; }
  [[nodiscard]] int line_number() const { return line_number_; }
  // True when the file's lines end in a carriage return alone.
  [[nodiscard]] bool carriage_return_line_ends() const { return line_end_ == '\r'; }

  // Identity of the open file, to tell whether another name is the same file.
  [[nodiscard]] dev_t device() const { return device_; }
  [[nodiscard]] ino_t inode() const { return inode_; }

 private:
  bool fill();
  // Decides the line end: a carriage return when the file holds one and no line feed.
  bool find_line_end();

  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::array<char, 16384> buffer_{};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  bool end_ = false;
  bool cut_ = false;
  char line_end_ = '\n';
  stop stop_ = stop::none;
  int line_number_ = 0;
};

}  // namespace inhibra::data
