#pragma once
// Names of the data file and of the results file written beside it. The rules
// touch only the last path component, so dots or blanks in folder names do no harm,
// and names keep their case.
#include <string>
#include <string_view>

namespace inhibra::data {

// Left-adjusts and trims the name; when its last component holds no ".", deletes
// that component's blanks and appends ".in" (" my data" -> "mydata.in").
[[nodiscard]] std::string normalise_data_name(std::string_view raw);

// The data file name up to and including the last "." of its last component,
// followed by "out" ("Data.in" -> "Data.out"); a name without a dot gets ".out".
[[nodiscard]] std::string results_name(std::string_view data_name);

}  // namespace inhibra::data
