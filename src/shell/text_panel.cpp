#include "shell/text_panel.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "data/file_names.hpp"
#include "data/output_file.hpp"
#include "shell/editor.hpp"
#include "strings/text.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view crlf = "\r\n";

// The working folder followed by the platform's separator.
std::string working_folder() {
  std::error_code ec;
  std::string folder = fs::current_path(ec).string();
  if (folder.empty() || folder.back() != fs::path::preferred_separator) {
    folder += static_cast<char>(fs::path::preferred_separator);
  }
  return folder;
}

bool file_exists(const std::string& name) {
  std::error_code ec;
  return !name.empty() && fs::is_regular_file(name, ec);
}

// The chosen data file becomes the one a run is given; its folder becomes the
// working folder. The name keeps its case: on a case-sensitive file system another
// case names another file.
void take_data_file(toolkit::window_system& tk, shell_state& st, const fs::path& chosen) {
  std::error_code ec;
  const std::string folder = chosen.parent_path().string();
  if (!folder.empty()) fs::current_path(folder, ec);
  st.filenamepath = working_folder();
  st.data_file_name = chosen.string();
  st.filenamedata = st.data_file_name;
  tk.setwindowtitle(st.main_window, st.data_file_name);
}

}  // namespace

std::string saved_text_name(std::string_view data_name) {
  const std::string name(strings::trim_both(data_name));
  const auto component = name.find_last_of("/\\");
  const auto start = component == std::string::npos ? 0 : component + 1;
  const auto dot = name.rfind('.');
  if (dot == std::string::npos || dot < start) return name + ".txt";
  return name.substr(0, dot + 1) + "txt";
}

std::string panel_line(std::string_view file_line) {
  if (!file_line.empty() && file_line.back() == '\r') file_line.remove_suffix(1);
  if (file_line.size() > static_cast<std::size_t>(panel_line_length)) {
    file_line = file_line.substr(0, panel_line_length);
  }
  // A line of 150 characters or more keeps its break: the next line must not be
  // glued onto the cut one.
  return std::string(strings::trim(file_line)) + std::string(crlf);
}

bool openfile(toolkit::window_system& tk, shell_state& st) {
  std::string name;
  std::error_code ec;
  if (!st.filenamepath.empty() && fs::is_directory(st.filenamepath, ec)) {
    fs::current_path(st.filenamepath, ec);
  }
  const std::string folder = working_folder();
  name = folder + "*.in";
  // Data tables are opened as data files: the run reads them by their names.
  if (tk.dlgopenfile(name, "Data files", "*.in *.csv *.tsv *.tab *.xlsx", "Enter data file") == 0) {
    st.filenamepath = folder;
    st.data_file_name = "DATA.IN";
    st.filenamedata = "DATA.IN";
    return false;
  }
  take_data_file(tk, st, fs::path(std::string(strings::trim_both(name))));
  return true;
}

bool open_named_file(toolkit::window_system& tk, shell_state& st, const std::string& file) {
  std::error_code ec;
  // The file a run of that name reads: the name as given when such a file exists,
  // otherwise with the default extension ("Data" opens Data.in).
  const fs::path named = fs::absolute(fs::path(data::data_file_name(file)), ec);
  if (ec || !fs::is_regular_file(named, ec)) {
    tk.dlgmessage(core::box_kind::warning,
                  strings::join_crlf({"The data file could not be found:", file}));
    return false;
  }
  take_data_file(tk, st, named.lexically_normal());
  return true;
}

bool readtext(toolkit::window_system& tk, shell_state& st, const std::string& data_name,
              const timings& pause) {
  const std::string results = data::results_name(data_name);
  {
    // Opened for appending, so a missing file is created and nothing is lost.
    std::ofstream probe(results, std::ios::binary | std::ios::app);
    if (!probe) {
      tk.dlgmessage(core::box_kind::information,
                    strings::join_crlf({"Textbox Data File Read - Fatal error!",
                                        "Could not open the output file " + results}));
      return false;
    }
    write2textbox(tk, st.text_panel, results);
    tk.startidle(pause.flush);
    probe.flush();
    tk.startidle(pause.flush);
  }
  st.editor_file_name = data_name;
  st.filenamedata = data_name;
  st.results_file_name = results;
  st.filenameresults = results;
  return true;
}

void write2textbox(toolkit::window_system& tk, int panel, const std::string& file_name) {
  tk.enabletextbox(panel, true);
  tk.settextboxfocused(panel);
  tk.settextboxvisible(panel, true);
  std::ifstream in(file_name, std::ios::binary);
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (first) {
      first = false;  // the report's first line is not shown
      continue;
    }
    tk.inserttextboxtext(panel, panel_line(line));
  }
}

void write_text_to_panel(toolkit::window_system& tk, int panel, std::string_view text) {
  tk.enabletextbox(panel, true);
  tk.settextboxvisible(panel, true);
  constexpr auto width = static_cast<std::size_t>(panel_line_length);
  while (!text.empty()) {
    const auto feed = text.find('\n');
    std::string_view line = text.substr(0, feed);
    if (line.ends_with('\r')) line.remove_suffix(1);
    // A line the panel would cut is broken at its last blank before the cut instead.
    while (line.size() >= width) {
      const auto blank = line.substr(0, width).find_last_of(' ');
      const std::size_t take = blank == std::string_view::npos || blank == 0 ? width - 1 : blank;
      tk.inserttextboxtext(panel, panel_line(line.substr(0, take)));
      line.remove_prefix(take);
      while (line.starts_with(' '))
        line.remove_prefix(1);
    }
    tk.inserttextboxtext(panel, panel_line(line));
    text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
  }
}

void cleartext(toolkit::window_system& tk, const shell_state& st) {
  const int length = tk.gettextboxlength(st.text_panel);
  const std::string contents = tk.gettextboxcontents(st.text_panel);
  tk.settextboxcontents(st.text_panel, "");
  if (static_cast<int>(contents.size()) != length) tk.settextboxcontents(st.text_panel, "");
}

void savetext(toolkit::window_system& tk, const shell_state& st) {
  std::string name = saved_text_name(st.data_file_name);
  if (tk.dlgsavefile(name, "*.txt", "*.txt", "Save Data") == 0) return;
  const std::string text = tk.gettextboxcontents(st.text_panel);
  if (!writelines(name, text)) {
    tk.dlgmessage(core::box_kind::warning,
                  strings::join_crlf({"The results could not be saved in", name}));
  }
}

bool writelines(const std::string& file_name, std::string_view text) {
  // Written beside the final name and renamed into place: a failed save leaves the
  // earlier file as it was.
  data::output_file out;
  if (!out.open(file_name)) return false;
  out << text;
  if (!text.empty() && !text.ends_with(crlf)) {
    if (text.back() == '\r') {
      out << '\n';
    } else {
      out << crlf;
    }
  }
  return out.commit();
}

bool printscreen(toolkit::window_system& tk, const shell_state& st) {
  const std::string name(strings::trim_both(st.results_file_name));
  std::ifstream in(name, std::ios::binary);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in || in.bad()) return false;  // no report to print (yet, or any more)
  const std::string document = std::filesystem::path(name).filename().string();
  if (tk.print_text(document, text) < 0) {
    tk.dlgmessage(core::box_kind::warning,
                  strings::join_crlf({"The results could not be printed:", name}));
  }
  return true;
}

bool editfile(toolkit::window_system& tk, const std::string& file_name) {
  // The program holds no file open between commands, so the editor may write it.
  const std::string name(strings::trim_both(file_name));
  if (!file_exists(name)) return false;
  if (!start_editor(name)) tk.dlgmessage(core::box_kind::information, no_editor_message(name));
  return true;
}

}  // namespace inhibra::shell
