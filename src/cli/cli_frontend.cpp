#include "cli/cli_frontend.hpp"

#include <string>

namespace inhibra::cli {

void cli_frontend::write_line(const std::string& line) {
  const std::lock_guard guard(lock_);
  err_ << line << std::flush;
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
