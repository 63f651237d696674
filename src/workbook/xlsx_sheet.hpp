#pragma once
// One sheet of an .xlsx workbook as rows of cell texts: shared strings and inline
// strings as their text, numbers as written in the file (with a decimal point), the
// values of formulas as stored. Row k of the result is row k + 1 of the sheet, column
// j cell j + 1 (column A); rows and cells without a value are empty.
#include <string>

#include "core/table_request.hpp"

namespace inhibra::workbook {

// Reads the sheet named `sheet` (the first sheet when empty) of the workbook `file`.
// A file that is not a workbook, a sheet that does not exist (the message lists those
// that do), damaged XML or a sheet too large to hold data for the fit give a message
// in `error` and no rows.
[[nodiscard]] core::sheet_cells read_xlsx_sheet(const std::string& file, const std::string& sheet);

}  // namespace inhibra::workbook
