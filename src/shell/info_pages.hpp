#pragma once
// The information pages (example data file, model library, mechanism, MC50, help,
// about), each shown as one information box, and the splash screen.
#include <span>
#include <string>
#include <string_view>

#include "shell/shell_state.hpp"

namespace inhibra::toolkit {
class window_system;
}

namespace inhibra::shell {

// Text buffer of each page in bytes; a longer page is cut there.
inline constexpr int example_page_buffer = 1000;
inline constexpr int models_page_buffer = 2200;
inline constexpr int mechanism_page_buffer = 2500;
inline constexpr int mc50_page_buffer = 1650;
inline constexpr int help_page_buffer = 4000;
inline constexpr int about_page_buffer = 2500;

// The text of each page as the box shows it: lines joined by CR LF, cut at the
// page's buffer and without trailing blanks.
[[nodiscard]] std::string example_page_text();
[[nodiscard]] std::string models_page_text();
[[nodiscard]] std::string mechanism_page_text();
[[nodiscard]] std::string mc50_page_text();
[[nodiscard]] std::string help_page_text();
[[nodiscard]] std::string about_page_text();

// Joins `lines` with CR LF, cuts the result at `buffer` bytes (never inside a
// character) and removes trailing blanks.
[[nodiscard]] std::string page_text(std::span<const std::string_view> lines, int buffer);

// The pages, each one information box; they return when the box is dismissed.
void examplefile(toolkit::window_system& tk);
void models(toolkit::window_system& tk);
void mechanism(toolkit::window_system& tk);
void mc50(toolkit::window_system& tk);
void help(toolkit::window_system& tk);
void about(toolkit::window_system& tk);

// The splash screen's text lines, top to bottom.
[[nodiscard]] std::span<const std::string_view> splash_lines();

// splash: shows the splash screen for `milliseconds` or until the person clicks it
// or presses a key, then closes it and makes `main_window` current again.
void splash(toolkit::window_system& tk, int main_window, int milliseconds);

}  // namespace inhibra::shell
