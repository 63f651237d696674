#pragma once
// What the Data pane shows of a data file: its rows as a run reads them (a table by
// the reading the person chose), grouped by curve in the charts' colours, with the
// reader's warnings, and which rows the next run leaves out. Reading for the pane
// writes nothing and shows no box.
#include <array>
#include <set>
#include <string>
#include <vector>

#include "core/table_request.hpp"
#include "toolkit/data_pane.hpp"

namespace inhibra::shell {

struct data_view {
  toolkit::data_pane_contents contents;
  std::vector<std::array<double, 3>> rows;  // [S], [I], rate of every row read, in order
};

// `left_out` holds places among the rows read (1-based), as the pane reports them.
[[nodiscard]] data_view read_data_view(const std::string& file, const core::table_request& how,
                                       const std::set<int>& left_out);

}  // namespace inhibra::shell
