#include "cli/cli_frontend.hpp"

#include <string>

namespace inhibra::cli {

cli_frontend::cli_frontend(std::ostream& err, std::mutex& lock) : err_(err), lock_(lock) {}

cli_frontend::~cli_frontend() {
  console_buffer_.finish();
}

void cli_frontend::line_buffer::finish() {
  if (line_.empty()) return;
  owner_.console_line(line_);
  line_.clear();
}

cli_frontend::line_buffer::int_type cli_frontend::line_buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  if (ch == '\n') {
    owner_.console_line(line_);
    line_.clear();
  } else {
    line_ += ch;
  }
  return c;
}

void cli_frontend::write_line(const std::string& line) {
  const std::lock_guard guard(lock_);
  err_ << line << std::flush;
}

void cli_frontend::console_line(const std::string& line) {
  write_line((file_.empty() ? "" : file_ + ": ") + line + "\n");
}

void cli_frontend::message(core::box_kind kind, std::string_view text) {
  std::string line(core::box_title(kind));
  line += ": ";
  if (!file_.empty()) line += file_ + ": ";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i).starts_with(core::box_line_break)) {
      line += '\n';
      i += core::box_line_break.size() - 1;
    } else {
      line += text[i];
    }
  }
  line += '\n';
  write_line(line);
}

void cli_frontend::set_title(std::string_view text) {
  if (progress_.empty()) return;
  constexpr std::string_view wait = "Wait, ";
  if (text.starts_with(wait)) text.remove_prefix(wait.size());
  write_line(progress_ + ": " + std::string(text) + "\n");
}

void cli_frontend::show_plot(const plotengine::pplot& plot) {
  if (sink_) sink_(plot);
}

}  // namespace inhibra::cli
