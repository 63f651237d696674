#pragma once
// The font of the text panel, text boxes and model labels: the report and the labels
// are laid out in columns of characters, which line up only when every character
// advances the same width. Some fonts a system names as its fixed font are not
// marked fixed-pitch (they hold a few double-width symbols) although all their
// Latin characters have one width; others may not line up at all.
#include <QFont>
#include <QStringList>

namespace inhibra::toolkit {

// Whether every printable ASCII character (blank to tilde), the characters the
// program writes, advances the same width in `font`.
[[nodiscard]] bool characters_line_up(const QFont& font);

// `preferred` when its characters line up; else, at its size, the first family of
// `families` whose characters do; else `preferred` all the same.
[[nodiscard]] QFont first_lining_up(const QFont& preferred, const QStringList& families);

// The font whose characters line up: the system's fixed font when they do in it, else
// another installed monospace family (well-known names first), else the system's
// fixed font. Chosen once; needs the application object.
[[nodiscard]] QFont column_font();

}  // namespace inhibra::toolkit
