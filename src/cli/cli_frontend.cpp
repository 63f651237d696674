#include "cli/cli_frontend.hpp"

#include <string>

namespace inhibra::cli {

void cli_frontend::message(fit::box_kind kind, std::string_view text) {
  std::string line(fit::box_title(kind));
  line += ": ";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i).starts_with(fit::box_line_break)) {
      line += '\n';
      i += fit::box_line_break.size() - 1;
    } else {
      line += text[i];
    }
  }
  line += '\n';
  const std::lock_guard guard(lock_);
  err_ << line << std::flush;
}

}  // namespace inhibra::cli
