#pragma once
// inhibra-fit --check: read and check data files without fitting or writing.
#include <ostream>
#include <string>
#include <vector>

#include "core/frontend.hpp"
#include "core/table_request.hpp"

namespace inhibra::cli {

struct check_outcome {
  std::string file;            // as given on the command line
  std::string data_name;       // the file that was read (".in" added when none was given)
  int status = 0;              // the run status of a run that stops on this file
  int rows = 0;                // rows, curves and columns are known when status is 0 and
  int curves = 0;              // when the file was refused for its curves (curves > 0,
  std::vector<int> per_curve;  // the true count); per_curve only when status is 0
  int columns = 0;
  std::string table;  // what a table that passed held and how it was read (lines)
};

// Checks one file with the messages and status of a run that stops on it; the data
// reader's console lines go to `console`.
// Tables are read as `request` says.
[[nodiscard]] check_outcome check_file(const std::string& file, core::frontend& fe,
                                       std::ostream& console,
                                       const core::table_request& request = {});

// "FILE: rows=N curves=K per-curve=n1,n2,... columns=C" of a file that passed, the
// name's control characters shown as \xNN so that the line stays one line; for a
// table, the lines that tell how it was read follow.
[[nodiscard]] std::string check_line(const check_outcome& checked);

}  // namespace inhibra::cli
