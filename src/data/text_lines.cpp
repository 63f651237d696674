#include "data/text_lines.hpp"

#include <algorithm>
#include <cerrno>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace inhibra::data {

namespace {
constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
}  // namespace

text_lines::~text_lines() {
  if (fd_ >= 0) ::close(fd_);
}

text_lines::opened text_lines::open(const std::string& name) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return opened::cannot_open;
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return opened::not_regular;
  }
  device_ = info.st_dev;
  inode_ = info.st_ino;
  return rewind() && find_line_end() && rewind() ? opened::ok : opened::cannot_open;
}

bool text_lines::find_line_end() {
  line_end_ = '\n';
  bool carriage_return = false;
  while (fill()) {
    const auto* start = buffer_.data();
    const auto* stop_at = start + filled_;
    if (std::find(start, stop_at, '\n') != stop_at) return true;
    carriage_return = carriage_return || std::find(start, stop_at, '\r') != stop_at;
  }
  if (stop_ != stop::none) return false;
  if (carriage_return) line_end_ = '\r';
  return true;
}

bool text_lines::rewind() {
  position_ = filled_ = 0;
  end_ = false;
  stop_ = stop::none;
  line_number_ = 0;
  if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
    stop_ = stop::read_error;
    return false;
  }
  return true;
}

bool text_lines::fill() {
  position_ = filled_ = 0;
  while (true) {
    const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n > 0) {
      filled_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n == 0) {
      end_ = true;
      return false;
    }
    if (errno != EINTR) {
      stop_ = stop::read_error;
      return false;
    }
  }
}

bool text_lines::next(std::string& line) {
  line.clear();
  cut_ = false;
  if (stop_ != stop::none || fd_ < 0) return false;
  bool any = false;  // a last line without a line end still counts
  while (true) {
    if (position_ == filled_ && (end_ || !fill())) {
      if (stop_ != stop::none || !any) return false;
      break;
    }
    any = true;
    const char* start = buffer_.data() + position_;
    const char* stop_at = buffer_.data() + filled_;
    const char* found = std::find(start, stop_at, line_end_);
    // Beyond the longest line only the line end is looked for, so memory stays bounded.
    const auto length = static_cast<std::size_t>(found - start);
    const std::size_t room = max_line_length - line.size();
    line.append(start, std::min(length, room));
    cut_ = cut_ || length > room;
    position_ = static_cast<std::size_t>(found - buffer_.data());
    if (found != stop_at) {
      ++position_;
      break;
    }
  }
  ++line_number_;
  if (line_number_ == 1 && line.starts_with(utf8_bom)) line.erase(0, utf8_bom.size());
  return true;
}

}  // namespace inhibra::data
