#pragma once
// Text and fonts between the program and Qt widgets: the program's strings are
// UTF-8 with CR LF line breaks, widgets hold QStrings with line feeds. Used by every
// part of the window system (windows, controls, dialogs, plot windows).
#include <QFont>
#include <QString>
#include <string>
#include <string_view>

namespace inhibra::toolkit {

// The program's UTF-8 text as a QString, unchanged.
[[nodiscard]] QString qt_text(std::string_view s);

// Text for a widget: CR LF (and a lone CR) become the widget's line feed.
[[nodiscard]] QString widget_text(std::string_view s);

// Text from a widget: line breaks become CR LF.
[[nodiscard]] std::string program_text(const QString& s);

// Character position in a widget's text of byte `position` of its CR LF form.
[[nodiscard]] int widget_position(const QString& text, int position);

// A title for a window's title bar: every line break (CR LF, CR or LF) becomes a blank.
[[nodiscard]] QString one_line_title(std::string_view title);

// A file dialog's filter, "name (pattern)"; a lower-case pattern is offered in upper
// case too, since names keep their case on disk.
[[nodiscard]] QString filter_text(std::string_view filter_name, std::string_view pattern);

// The font for a font code (fixed_pitch_font: the font whose characters line up,
// gui_font, others the application font) with characters `size` pixels high (0 keeps
// the font's own size).
[[nodiscard]] QFont font_for(int font, int size);

// The font whose characters line up, at the pixel size of `f`.
[[nodiscard]] QFont fixed_font_like(const QFont& f);

}  // namespace inhibra::toolkit
