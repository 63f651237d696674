#pragma once
// Names of the data file and of the results file written beside it. The rules
// touch only the last path component, so dots or blanks in folder names do no harm,
// and names keep their case.
#include <string>
#include <string_view>

namespace inhibra::data {

// The folder part of a name, up to and including its last "/" ("" for none), and
// its last component: "a/b/Data.in" -> {"a/b/", "Data.in"}.
struct split_name {
  std::string folder;
  std::string leaf;
};
[[nodiscard]] split_name split_folder(std::string_view name);

// Left-adjusts and trims the name; when its last component holds no ".", deletes
// that component's blanks and appends ".in" (" my data" -> "mydata.in").
[[nodiscard]] std::string normalise_data_name(std::string_view raw);

// The data file a name given by a person stands for: the name itself (left-adjusted
// and trimmed) when a file of that name exists, so that "my data" or "Data" is read
// as named even when "mydata.in" or "Data.in" exists too; otherwise
// normalise_data_name. A folder is not a data file: "Data" names "Data.in" when
// "Data" is a folder. Every reader of data files and every plan of their results
// files goes through this one rule.
[[nodiscard]] std::string data_file_name(std::string_view raw);

// True for names that end in .csv, .tsv, .tab or .xlsx (any case): files read as
// data tables rather than in the native format.
[[nodiscard]] bool is_table_name(std::string_view data_name);

// True for names that end in .xlsx (any case): workbooks.
[[nodiscard]] bool is_workbook_name(std::string_view data_name);

// The data file name up to and including the last "." of its last component,
// followed by "out" ("Data.in" -> "Data.out"); a name without a dot gets ".out".
[[nodiscard]] std::string results_name(std::string_view data_name);

}  // namespace inhibra::data
