// "Import Table...": a data table chosen in the open dialog is shown in the Import
// Table dialog with the reading offered for it; a confirmed reading opens the file as
// File -> Open does, and the next run reads it as a table with that reading. The
// reading is remembered for the table's header row. Cancelling either dialog changes
// nothing.
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "data/data_file.hpp"
#include "shell/main_window.hpp"
#include "shell/table_import.hpp"
#include "shell/text_panel.hpp"
#include "strings/text.hpp"
#include "toolkit/settings_file.hpp"
#include "toolkit/window_system.hpp"
#include "workbook/xlsx_sheet.hpp"

namespace inhibra::shell {

void main_window::command_import_table() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = !st_.filenamepath.empty() && fs::is_directory(st_.filenamepath, ec)
                              ? fs::path(st_.filenamepath)
                              : fs::current_path(ec);
  std::string name = (folder / "*.csv").string();
  if (tk_.dlgopenfile(name, "Data tables", "*.csv *.tsv *.tab *.xlsx *.txt *.in", "Import Table") ==
      0) {
    return;
  }
  name = std::string(strings::trim_both(name));
  core::table_request how;
  how.workbook = workbook::read_xlsx_sheet;
  const auto cells = std::make_shared<const data::table_cells>(data::read_table_cells(name, how));
  const std::vector<std::string> kept =
      settings_ != nullptr ? settings_->texts(readings_key) : std::vector<std::string>{};
  toolkit::import_mapping chosen;
  if (tk_.dlgimporttable(import_view(name, cells, kept), chosen) == 0) return;
  if (settings_ != nullptr) {
    settings_->set_texts(readings_key, with_reading(kept, header_key(cells->rows), chosen));
  }
  if (!open_named_file(tk_, st_, name)) return;
  forget_last_run();
  ctx_.table = request_for(chosen);
  show_opened_file();
}

}  // namespace inhibra::shell
