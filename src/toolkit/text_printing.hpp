#pragma once
// Printing a text, such as the results report, on a printer the person chooses: the
// system's print dialog (a PDF file among its printers) or a chooser that stands in
// for it. The text keeps its columns: a fixed-pitch font, small enough that the
// longest line fits the page's width.
#include <QString>
#include <functional>

class QPrinter;
class QWidget;

namespace inhibra::toolkit {

// Sets up `printer` and says whether to print (false: the person cancelled).
// `parent` is the window a dialog belongs to (may be null).
using printer_chooser = std::function<bool(QPrinter& printer, QWidget* parent)>;

// The system's print dialog, titled "Print".
[[nodiscard]] bool choose_printer_by_dialog(QPrinter& printer, QWidget* parent);

// The font size at which lines of `longest` characters fit the printer's page width:
// `preferred` points when they fit, else smaller, down to `smallest` (longer lines
// then wrap, nothing is cut).
inline constexpr double print_points = 9.0;
inline constexpr double smallest_print_points = 5.0;

// Prints `text` (lines ending in LF or CR LF) on `printer` in the fixed-pitch font
// with page numbers; false when the printer failed.
[[nodiscard]] bool print_text_on(QPrinter& printer, const QString& text);

}  // namespace inhibra::toolkit
