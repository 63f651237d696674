#pragma once
// The person's text editor, started on a file without waiting for it. The editor
// is $VISUAL, else $EDITOR (either may carry options: "gedit -s"), else the
// desktop's default application for the file (xdg-open).
#include <optional>
#include <string>
#include <vector>

namespace inhibra::shell {

struct editor_command {
  std::string program;
  std::vector<std::string> arguments;  // before the file name
};

// The editor to use, or nullopt when none is set and xdg-open is not installed.
[[nodiscard]] std::optional<editor_command> find_editor();

// Starts the editor detached with `file` as one argument (blanks and all). False
// when there is no editor or it could not be started.
bool start_editor(const std::string& file);

// The box text that explains how to choose an editor.
[[nodiscard]] std::string no_editor_message(const std::string& file);

}  // namespace inhibra::shell
