#include "cli/model_list.hpp"

#include <charconv>

#include "strings/text.hpp"

namespace inhibra::cli {

namespace {

std::optional<int> model_number(std::string_view text) {
  text = strings::trim_both(text);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (value < 1 || value > core::max_models) return std::nullopt;
  return value;
}

}  // namespace

std::optional<model_selection> parse_model_list(std::string_view text) {
  model_selection selected{};
  if (strings::trim_both(text) == "all") {
    selected.fill(true);
    return selected;
  }
  while (true) {
    const auto comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const auto dash = item.find('-');
    const auto first = model_number(item.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : model_number(item.substr(dash + 1));
    if (!first || !last || *last < *first) return std::nullopt;
    for (int m = *first; m <= *last; ++m)
      selected[static_cast<std::size_t>(m - 1)] = true;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return selected;
}

}  // namespace inhibra::cli
