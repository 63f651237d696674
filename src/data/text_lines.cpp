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
  return rewind() ? opened::ok : opened::cannot_open;
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
  if (stop_ != stop::none || fd_ < 0) return false;
  bool any = false;  // a last line without a line feed still counts
  while (true) {
    if (position_ == filled_ && (end_ || !fill())) {
      if (stop_ != stop::none || !any) return false;
      break;
    }
    any = true;
    const char* start = buffer_.data() + position_;
    const char* stop_at = buffer_.data() + filled_;
    const char* feed = std::find(start, stop_at, '\n');
    line.append(start, feed);
    position_ = static_cast<std::size_t>(feed - buffer_.data());
    if (line.size() > max_line_length) {
      ++line_number_;
      stop_ = stop::too_long;
      line.clear();
      return false;
    }
    if (feed != stop_at) {
      ++position_;
      break;
    }
  }
  ++line_number_;
  if (line_number_ == 1 && line.starts_with(utf8_bom)) line.erase(0, utf8_bom.size());
  return true;
}

}  // namespace inhibra::data
