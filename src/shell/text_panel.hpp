#pragma once
// The results text panel and the commands on text files: choosing the data file,
// loading the results file into the panel, clearing, saving and printing it, and
// opening the data file in the person's text editor.
#include <string>
#include <string_view>

#include "shell/shell_state.hpp"

namespace inhibra::toolkit {
class window_system;
}

namespace inhibra::shell {

// Longest part of a results line the panel shows.
inline constexpr int panel_line_length = 150;

// The data file name up to and including the last "." of its last path component,
// followed by "txt" (RUN.2.IN -> RUN.2.txt); ".txt" is added when there is no dot.
[[nodiscard]] std::string saved_text_name(std::string_view data_name);

// The text one results line adds to the panel: the line without its line end, cut
// at 150 characters, trailing blanks removed, followed by CR LF.
[[nodiscard]] std::string panel_line(std::string_view file_line);

// openfile: the open dialog for a data file, in the folder of the last data file
// when it still exists, else in the working folder. On a choice the name (case
// kept), the folder (made current), `filenamedata` and the window title are set and
// true is returned; on cancel the names become "DATA.IN" and false is returned.
bool openfile(toolkit::window_system& tk, shell_state& st);

// The same for a file named without the dialog (on the command line, dropped on the
// window, a recent file), by the rule every run reads a name with
// (data::data_file_name): a file that does not exist is reported in a box, nothing
// changes and false is returned.
bool open_named_file(toolkit::window_system& tk, shell_state& st, const std::string& file);

// readtext: loads the results file of `data_name` into the panel and records the
// file names. False when the results file cannot be opened: the person has then
// been told, and the program must end.
bool readtext(toolkit::window_system& tk, shell_state& st, const std::string& data_name,
              const timings& pause);

// write2textbox: appends the lines of `file_name`, from its second line on, to panel `panel`.
void write2textbox(toolkit::window_system& tk, int panel, const std::string& file_name);

// Appends `text` (lines ending in LF or CR LF) to panel `panel`, each line as a line
// of the results file is shown, except that a line the panel would cut is broken at
// blanks: nothing of a message is lost.
void write_text_to_panel(toolkit::window_system& tk, int panel, std::string_view text);

// cleartext: empties the panel.
void cleartext(toolkit::window_system& tk, const shell_state& st);

// savetext: the save dialog, then the panel's text written to the chosen file.
void savetext(toolkit::window_system& tk, const shell_state& st);

// writelines: writes `text` to `file_name`, replacing its contents; every line ends
// with CR LF (a last line without a break gets one). False when it cannot be written.
bool writelines(const std::string& file_name, std::string_view text);

// printscreen: the last results file, as written, through the system's print dialog
// (a PDF file among its printers). False, with nothing shown, when there is no such
// file.
bool printscreen(toolkit::window_system& tk, const shell_state& st);

// editfile: `file_name` in the text editor. False, with nothing started, when the
// file does not exist.
bool editfile(toolkit::window_system& tk, const std::string& file_name);

}  // namespace inhibra::shell
