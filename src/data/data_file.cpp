#include "data/data_file.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <sys/stat.h>

#include "data/file_names.hpp"
#include "strings/text.hpp"

namespace inhibra::data {

namespace {

using core::box_kind;
using core::run_status;

constexpr std::size_t column_line_length = 256;  // characters read per line when counting columns
constexpr std::size_t row_line_length = 100;     // characters read per line when counting rows

constexpr std::string_view model_lines[] = {
    "1- Linear Specific Inhibition, LSpI",         "2- Linear Mixed Inhibition, LMx(Sp=Ca)I",
    "3- Linear Mixed Inhibition, LMx(Sp<Ca)I",     "4- Linear Mixed Inhibition, LMx(Sp>Ca)I",
    "5- Hyperbolic Specific Inhibition, HSpI",     "6- Hyperbolic Mixed Inhibition, HMx(Sp=Ca)I",
    "7- Hyperbolic Catalytic Inhibition, HCaI",    "8- Hyperbolic Mixed Inhibition, HMx(Sp<Ca)I",
    "9- Hyperbolic Mixed Inhibition, HMx(Sp>Ca)I", "10-General Hyperbolic Enzyme-Modifier Model",
};
constexpr std::string_view tilde_line = "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~";

bool is_note_char(char c) {
  return c == '#' || c == '!' || c == '\'' || c == '"';
}

// A line ends the data when it is blank (control characters count as blanks) or
// starts, after blanks, with a note character.
bool ends_data(std::string_view line) {
  const auto rest = strings::adjustl_controls(line);
  return rest.empty() || is_note_char(rest.front());
}

// Word count of the column line, up to the first word that starts a note.
int column_words(std::string_view line) {
  std::size_t cut = line.size();
  bool word_start = true;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      word_start = true;
    } else if (strings::is_blank_or_control(c)) {
      continue;
    } else {
      if (word_start && is_note_char(c)) {
        cut = i;
        break;
      }
      word_start = false;
    }
  }
  return strings::count_words(line.substr(0, cut));
}

// One field as a finite number; D exponents are read like E exponents.
std::optional<double> parse_number(std::string_view field) {
  std::string text(field);
  for (char& c : text) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  return strings::finite_number(text);
}

// Blanks between the values of a row; a CR counts as one.
bool is_row_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Control characters other than TAB and CR have no place in a text row: a NUL or
// an escape inside a number must not split it into two values.
bool is_stray_control(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\t' && c != '\r') || u == 0x7f;
}

bool has_decimal_comma(std::string_view text) {
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == ',' && is_digit(text[i - 1]) && is_digit(text[i + 1])) return true;
  }
  return false;
}

enum class row_fault { none, unreadable, decimal_comma, control_character };

struct parsed_row {
  std::array<double, 3> values{};
  row_fault fault = row_fault::none;
};

using row_fields = std::array<std::string_view, 3>;

// What may follow the three values of a row: nothing, a note (anything that does not
// begin with a comma), or commas closing the row as spreadsheets write them
// ("100,0,0.055,"), with nothing or a note starting with a note character after
// them. Anything else after a comma leaves it unclear where the values end.
bool clean_row_end(std::string_view rest) {
  std::size_t i = 0;
  while (i < rest.size() && is_row_blank(rest[i]))
    ++i;
  if (i == rest.size() || rest[i] != ',') return true;
  while (i < rest.size() && (rest[i] == ',' || is_row_blank(rest[i])))
    ++i;
  return i == rest.size() || is_note_char(rest[i]);
}

// Three values separated by commas, with or without blanks around them
// ("50,0,0.032", "50, 0, 0.032"), as spreadsheets export them. `end` is set to where
// the third value ends.
std::optional<row_fields> comma_fields(std::string_view s, std::size_t& end) {
  row_fields fields;
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < s.size() && is_row_blank(s[i]))
      ++i;
  };
  skip_blanks();
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t start = i;
    while (i < s.size() && !is_row_blank(s[i]) && s[i] != ',')
      ++i;
    if (i == start) return std::nullopt;
    fields[k] = s.substr(start, i - start);
    end = i;
    if (k < 2) {
      skip_blanks();
      if (i >= s.size() || s[i] != ',') return std::nullopt;
      ++i;
      skip_blanks();
    }
  }
  return fields;
}

// The first three blank-separated words; `end` is set to where the third ends. A
// third word followed only by closing commas ("0.055,") ends before them.
std::optional<row_fields> blank_fields(std::string_view s, std::size_t& end) {
  row_fields fields;
  std::size_t i = 0;
  for (std::size_t k = 0; k < 3; ++k) {
    while (i < s.size() && is_row_blank(s[i]))
      ++i;
    const std::size_t start = i;
    while (i < s.size() && !is_row_blank(s[i]))
      ++i;
    if (i == start) return std::nullopt;
    fields[k] = s.substr(start, i - start);
  }
  end = i;
  const auto comma = fields[2].find(',');
  if (comma != std::string_view::npos && comma > 0) {
    const std::size_t at = static_cast<std::size_t>(fields[2].data() - s.data()) + comma;
    if (clean_row_end(s.substr(at))) {
      fields[2] = fields[2].substr(0, comma);
      end = at;
    }
  }
  return fields;
}

// The first three values of a data line: separated by blanks and tabs, or by
// commas. A comma between two digits in a blank-separated row is a decimal comma:
// reading it as a separator would shift every value after it, so the row is
// refused. Anything after the three values is a note.
parsed_row parse_row(std::string_view line) {
  parsed_row row;
  if (std::any_of(line.begin(), line.end(), is_stray_control)) {
    row.fault = row_fault::control_character;
    return row;
  }
  std::size_t end = 0;
  auto fields = comma_fields(line, end);
  if (!fields) {
    fields = blank_fields(line, end);
    if (!fields) {
      row.fault = row_fault::unreadable;
      return row;
    }
  }
  const auto& f = *fields;
  // A further comma field after the values ("50,0,0,032", "50 0 0,032") leaves it
  // unclear where the values end.
  if (!clean_row_end(line.substr(end)) ||
      std::any_of(f.begin(), f.end(), [](auto v) { return has_decimal_comma(v); })) {
    row.fault = has_decimal_comma(line) ? row_fault::decimal_comma : row_fault::unreadable;
    return row;
  }
  for (std::size_t k = 0; k < 3; ++k) {
    const auto value = parse_number(f[k]);
    if (!value) {
      row.fault = row_fault::unreadable;
      return row;
    }
    row.values[k] = *value;
  }
  return row;
}

std::string model_list_box(std::initializer_list<std::string_view> heading) {
  std::string text;
  for (auto line : heading) {
    text += line;
    text += core::box_line_break;
  }
  text += core::box_line_break;  // the empty line before the model list
  for (auto line : model_lines) {
    text += line;
    text += core::box_line_break;
  }
  text += tilde_line;
  return text;
}

// The line as the person wrote it, for a message: without its line end, control
// characters other than TAB shown as \xNN.
std::string quoted_line(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
    line.remove_suffix(1);
  return strings::printable(line, true);
}

// Fields of a line split at blanks, tabs, commas and semicolons, quotes left out:
// how a person reads the first lines of a file, whatever wrote them.
std::vector<std::string_view> loose_fields(std::string_view line) {
  auto separates = [](char c) {
    return is_row_blank(c) || c == ',' || c == ';' || c == '"' || c == '\'';
  };
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && separates(line[i]))
      ++i;
    const std::size_t start = i;
    while (i < line.size() && !separates(line[i]))
      ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

// Column titles rather than values: none of the first three fields is a number and
// the line holds a letter ("S I v", "[S] (uM);[I];rate").
bool holds_titles(std::string_view line) {
  const auto fields = loose_fields(line);
  const std::size_t first = std::min<std::size_t>(fields.size(), 3);
  return std::any_of(line.begin(), line.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }) &&
         std::none_of(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(first),
                      [](std::string_view f) { return parse_number(f).has_value(); });
}

// A header row as spreadsheets write it: titles of three or more columns joined by
// commas, semicolons or tabs.
bool spreadsheet_header(std::string_view line) {
  const auto separators = std::count_if(line.begin(), line.end(),
                                        [](char c) { return c == ',' || c == ';' || c == '\t'; });
  return separators >= 2 && loose_fields(line).size() >= 3 && holds_titles(line);
}

constexpr std::string_view save_as_text =
    "read it as a table (a name ending in .csv, or inhibra-fit --table), or save the data as "
    "plain text: three columns [S] [I] rate separated by blanks, one row a line, no header row";

// What to tell about a file that a spreadsheet wrote (a header row, a "sep=" line,
// values separated by semicolons), judged from its first two non-blank lines;
// nothing for any other file.
std::optional<std::string> spreadsheet_hint(text_lines& file) {
  if (!file.rewind()) return std::nullopt;
  struct numbered {
    int number;
    std::string text;
  };
  std::vector<numbered> first;
  std::string line;
  while (first.size() < 2 && file.next(line)) {
    if (strings::adjustl_controls(line).empty()) continue;
    first.push_back({file.line_number(), line.substr(0, column_line_length)});
  }
  if (first.empty()) return std::nullopt;
  auto header_at = [&](std::size_t k) -> std::optional<std::string> {
    if (k >= first.size() || !spreadsheet_header(first[k].text)) return std::nullopt;
    return "Line " + strings::int_text(first[k].number) +
           " looks like a spreadsheet export with a header row:" +
           std::string(core::box_line_break) + quoted_line(first[k].text) +
           std::string(core::box_line_break) + std::string(save_as_text);
  };
  const std::string_view top = strings::adjustl_controls(first[0].text);
  if (strings::to_upper(top.substr(0, 4)) == "SEP=") {
    if (auto header = header_at(1)) return header;
    return "Line " + strings::int_text(first[0].number) + " (" + quoted_line(top) +
           ") looks like a spreadsheet export:" + std::string(core::box_line_break) +
           std::string(save_as_text);
  }
  if (auto header = header_at(0)) return header;
  const auto fields = loose_fields(top);
  if (top.find(';') != std::string_view::npos && !fields.empty() && parse_number(fields[0])) {
    return "The file looks like a spreadsheet export with values separated by \";\":" +
           std::string(core::box_line_break) + quoted_line(first[0].text) +
           std::string(core::box_line_break) + std::string(save_as_text);
  }
  return std::nullopt;
}

std::string unreadable_row_text(int line_number, std::string_view line, row_fault fault) {
  std::string text =
      "Data line " + strings::int_text(line_number) +
      " does not begin with three numbers [S] [I] Rate:" + std::string(core::box_line_break) +
      quoted_line(line);
  if (fault == row_fault::decimal_comma) {
    text += core::box_line_break;
    text += "decimal comma? use a point";
  } else if (fault == row_fault::control_character) {
    text += core::box_line_break;
    text += "control character in the line (shown as \\xNN); save the file as plain text";
  } else if (line_number == 1 && holds_titles(line)) {
    text += core::box_line_break;
    text += "the data begin on the first line: remove the header row";
  }
  return text;
}

// A number of the data in a message: the shortest text that reads back as the same
// value ("100", "1e-07", "0.5").
std::string value_text(double v) {
  return fmt::format("{}", v);
}

// "1", "1 and 3", "1, 3 and 5".
std::string listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k > 0) text += k + 1 == items.size() ? " and " : ", ";
    text += items[k];
  }
  return text;
}

// Parts of a message that are lists themselves, apart: "a and b; c and d".
std::string joined_by_semicolons(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts)
    text += (text.empty() ? "" : "; ") + part;
  return text;
}

// Warnings of the reader: shown as boxes and kept for the run's record.
struct reader_warnings {
  const core::fit_context& ctx;
  std::vector<std::string>& kept;
  void operator()(const std::string& text) const {
    core::show_message(ctx, box_kind::warning, text);
    kept.push_back(text);
  }
};

// Warnings for data that read well but leave the models little to work with; the
// run goes on with them.
// `place(k)` names where observation k (0-based) stands in the file.
void warn_about_degenerate_data(const core::fit_context& ctx, const reader_warnings& warn,
                                int curves, const std::function<std::string(std::size_t)>& place) {
  const auto rows = static_cast<std::size_t>(std::clamp(ctx.idat, 0, core::max_rows));
  if (rows == 0) return;
  if (curves == 1) {
    warn("Every row has the same inhibitor concentration ([I] = " + value_text(ctx.inhibitor[0]) +
         "): inhibition constants cannot be determined from this data. Measure the rates at two "
         "or more inhibitor concentrations, one of them 0");
  }
  const auto rate = std::span(ctx.rate).first(rows);
  if (std::all_of(rate.begin(), rate.end(), [&](double v) { return v == rate[0]; })) {
    warn("All rates are equal: the data cannot tell the models apart");
  }
  if (std::all_of(rate.begin(), rate.end(), [](double v) { return v <= 0.0; })) {
    warn("No rate is above 0: the models describe positive rates");
  }
  for (std::size_t k = 0; k < rows; ++k) {
    if (ctx.substrate[k] <= 0.0) {
      warn("[S] is 0 or below in " + place(k) + ": the models need [S] above 0");
      break;
    }
  }
  for (std::size_t k = 0; k < rows; ++k) {
    if (ctx.inhibitor[k] < 0.0) {
      warn("[I] is below 0 in " + place(k) + ": the models need [I] of 0 or more");
      break;
    }
  }
}

// A block of rows read as one curve: its [I] (the value of its first row) and the
// smallest and largest [I] in it.
struct block {
  double reference = 0.0;
  double low = 0.0;
  double high = 0.0;
};

// The blocks of rows of equal [I], by the same rule as ycurves.
std::vector<block> blocks_of(const core::fit_context& ctx) {
  std::vector<block> blocks;
  const int rows = std::clamp(ctx.idat, 0, core::max_rows);
  for (int k = 0; k < rows; ++k) {
    const double value = ctx.inhibitor[static_cast<std::size_t>(k)];
    if (blocks.empty() || std::abs(value - blocks.back().reference) > curve_tolerance) {
      blocks.push_back({value, value, value});
    } else {
      blocks.back().low = std::fmin(blocks.back().low, value);
      blocks.back().high = std::fmax(blocks.back().high, value);
    }
  }
  return blocks;
}

// Curves that are not what the person meant: one [I] in two or more separated blocks
// (each is fitted as a curve of its own), and different concentrations that the
// tolerance joins into one curve (0 and 1e-7, [I] written in M). Values within a
// hundredth of each other are taken for one concentration written with rounding
// noise (100 and 100.00000005).
void warn_about_curve_layout(const core::fit_context& ctx, const reader_warnings& warn) {
  const auto blocks = blocks_of(ctx);
  std::vector<std::string> repeated;
  std::vector<bool> told(blocks.size(), false);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (told[i]) continue;
    std::vector<std::string> curves{strings::int_text(static_cast<long long>(i) + 1)};
    for (std::size_t j = i + 2; j < blocks.size(); ++j) {
      if (!told[j] && std::abs(blocks[j].reference - blocks[i].reference) <= curve_tolerance) {
        told[j] = true;
        curves.push_back(strings::int_text(static_cast<long long>(j) + 1));
      }
    }
    if (curves.size() > 1) {
      repeated.push_back("[I] = " + value_text(blocks[i].reference) + " in curves " +
                         listed(curves));
    }
  }
  if (!repeated.empty()) {
    warn("Rows of one [I] do not stand together (" + joined_by_semicolons(repeated) +
         "): each block of rows is fitted as a curve of its own. Put the rows of each [I] in "
         "one block");
  }
  std::vector<std::string> joined;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const block& b = blocks[i];
    if (b.high - b.low > 0.01 * std::fmax(std::abs(b.low), std::abs(b.high))) {
      joined.push_back(value_text(b.low) + " and " + value_text(b.high) + " (curve " +
                       strings::int_text(static_cast<long long>(i) + 1) + ")");
    }
  }
  if (!joined.empty()) {
    warn("[I] values that differ by at most 1e-7 are read as one curve: " +
         joined_by_semicolons(joined) +
         ". Write [I] in a unit that keeps different concentrations apart (for example µM "
         "instead of M)");
  }
}

// Where the data of a file lie: the rows from the top to the line that ends them, and
// what lies below that line.
struct data_extent {
  int rows = 0;
  int long_row = 0;  // the first data row longer than max_line_length, 0 if none
  int end_line = 0;  // the blank or note line that ends the data, 0 at end of file
  bool end_is_blank = false;
  int rows_below = 0;  // lines below end_line that begin with three numbers
};

// Reads `file` from the top to its end. Meaningless when the reading stopped early
// (file.stopped()).
data_extent scan_data(text_lines& file) {
  data_extent extent;
  if (!file.rewind()) return extent;
  std::string line;
  while (file.next(line)) {
    if (extent.end_line == 0) {
      const std::string_view head = std::string_view(line).substr(0, row_line_length);
      if (ends_data(head)) {
        extent.end_line = file.line_number();
        extent.end_is_blank = strings::adjustl_controls(head).empty();
        continue;
      }
      ++extent.rows;
      if (file.cut() && extent.long_row == 0) extent.long_row = file.line_number();
    } else if (!ends_data(line) && parse_row(line).fault == row_fault::none) {
      ++extent.rows_below;
    }
  }
  return extent;
}

// The second line of the row-limit message: what is actually wrong.
std::string row_count_text(const data_extent& extent, int columns) {
  if (extent.rows == 0) {
    if (columns < 0) return "the file holds no data rows";
    return std::string("the data end at line 1, ") +
           (extent.end_is_blank ? "a blank line" : "a note line") +
           ", before any row: the data begin on the first line";
  }
  const std::string rows = strings::int_text(extent.rows);
  if (extent.rows < 3) {
    return "the data hold " + rows + (extent.rows == 1 ? " row" : " rows") +
           "; at least 3 are needed";
  }
  return "the data hold " + rows + " rows; at most " + strings::int_text(core::max_rows) +
         " can be read";
}

}  // namespace

int file_column_count(text_lines& file, std::ostream& console) {
  if (!file.rewind()) return 0;
  std::string line;
  std::optional<std::string> first_non_blank;
  while (file.next(line)) {
    const std::string_view head = std::string_view(line).substr(0, column_line_length);
    if (!strings::adjustl_controls(head).empty() && !first_non_blank) {
      first_non_blank = std::string(head);
    }
    if (!ends_data(head)) return column_words(strings::adjustl(head));
  }
  if (file.stopped() != text_lines::stop::none) return 0;
  if (first_non_blank) return column_words(strings::adjustl(*first_non_blank));
  console << " -\n"
          << "FILE_COLUMN_COUNT - Warning.\n"
          << "  The file does not contain any data.\n";
  return -1;
}

int data_row_count(text_lines& file) {
  return scan_data(file).rows;
}

curve_summary ycurves(core::fit_context& ctx) {
  ctx.id2.fill(0);
  const int rows = std::clamp(ctx.idat, 0, core::max_rows);
  if (rows == 0) {
    ctx.idatasets = 0;
    return {};
  }
  curve_summary summary;
  double reference = ctx.inhibitor[0];
  int in_curve = 1;
  auto close_curve = [&] {
    if (summary.curves < core::max_curves) {
      ctx.id2[static_cast<std::size_t>(summary.curves)] = in_curve;
    }
    summary.smallest = summary.curves == 0 ? in_curve : std::min(summary.smallest, in_curve);
    ++summary.curves;
  };
  for (int k = 1; k < rows; ++k) {
    const double value = ctx.inhibitor[static_cast<std::size_t>(k)];
    if (std::abs(value - reference) > curve_tolerance) {
      close_curve();
      reference = value;
      in_curve = 0;
    }
    ++in_curve;
  }
  close_curve();
  ctx.idatasets = std::min(summary.curves, core::max_curves);
  return summary;
}

core::run_status ncolmdl(const core::fit_context& ctx, int column_count, int model) {
  if (column_count >= 3) {
    if (model >= 11 && column_count == 3) {
      core::show_message(ctx, box_kind::information,
                         model_list_box({"THE CHOSEN MODEL IS UNDEFINED, BUT",
                                         "SINCE THE FILE CONTAINS 3 DATA COLUMNS,",
                                         "YOU MAY SELECT A NEW MODEL FROM THE MAIN",
                                         "MENU AND RERUN WITH [S],[I],Rate COLUMNS."}));
      return run_status::model_undefined;
    }
    return run_status::success;
  }
  core::show_message(ctx, box_kind::information,
                     model_list_box({"THE MODEL FUNCTION REQUIRES 3 DATA COLUMNS,",
                                     "BUT THE FILE CONTAINS ONLY X,Y DATA.",
                                     "TO RUN ENTER [S],[I],Rate (3 DATA COLUMNS)",
                                     "AND SELECT A MODEL FROM THE MAIN MENU:"}));
  return run_status::model_undefined;
}

void warn_results_not_written(const core::fit_context& ctx, const output_file& results) {
  core::show_message(ctx, box_kind::warning,
                     "Results file not written: " + strings::printable(results.final_name()) +
                         " (" + results.error() +
                         "); an earlier file of that name is left as it was");
}

bool commit_results(const core::fit_context& ctx, output_file& results) {
  if (results.commit()) return true;
  warn_results_not_written(ctx, results);
  return false;
}

void console_closing_line(std::ostream& console, std::string_view results_file_name) {
  console << " RESULTS FILE " << strings::printable(strings::trim_both(results_file_name)) << '\n';
}

void abort_run(const core::fit_context& ctx, output_file* results,
               std::string_view results_file_name, std::ostream* console) {
  core::show_message(ctx, box_kind::error, "* * * ERROR: RUN ABORTED * * *");
  if (results != nullptr && results->is_open()) results->discard();
  if (console != nullptr) console_closing_line(*console, results_file_name);
}

namespace {

// True when the results file would take the place of the data it was made from
// (the same name, or another name of the same file).
bool results_replace_data(const text_lines& file, const std::string& data_name,
                          const std::string& results_name) {
  struct stat target {};
  return results_name == data_name ||
         (::stat(results_name.c_str(), &target) == 0 && target.st_dev == file.device() &&
          target.st_ino == file.inode());
}

// A row that could not be read: its line and why.
struct unread_row {
  int number = 0;  // 0: every row was read
  std::string line;
  row_fault fault = row_fault::none;
};

// A table of more bytes than this is refused before it is cut into cells.
constexpr std::size_t max_table_bytes = 16 * 1024 * 1024;

table_cells text_table_cells(text_lines& file) {
  table_cells out;
  std::string text;
  std::string line;
  while (file.next(line)) {
    if (file.cut()) {
      out.error = "Line " + strings::int_text(file.line_number()) + " is longer than " +
                  strings::int_text(static_cast<long long>(max_line_length)) + " characters";
      return out;
    }
    text += line;
    text += '\n';
    if (text.size() > max_table_bytes) {
      out.error = "The table is larger than " +
                  strings::int_text(static_cast<long long>(max_table_bytes / (1024 * 1024))) +
                  " MB: it cannot hold data for at most " + strings::int_text(core::max_rows) +
                  " rows";
      return out;
    }
  }
  if (file.stopped() != text_lines::stop::none) {
    out.read_error = true;
    return out;
  }
  table_text split = split_table(text);
  if (!split.error.empty()) {
    out.error = "The table cannot be cut into cells: " + split.error;
    return out;
  }
  out.rows = std::move(split.rows);
  out.separator = split.separator;
  return out;
}

// The rows of a workbook's sheet, through the loader the front end handed in. Rows
// are numbered as in the sheet; empty rows and empty cells at the ends of rows go.
table_cells workbook_cells(const core::table_request& request, const std::string& name) {
  table_cells out;
  if (!request.workbook) {
    out.error = "This program cannot read .xlsx workbooks: save the sheet as a CSV file";
    return out;
  }
  core::sheet_cells sheet = request.workbook(name, request.sheet);
  if (!sheet.error.empty()) {
    out.error = sheet.error;
    return out;
  }
  out.sheet = sheet.sheet;
  for (std::size_t k = 0; k < sheet.rows.size(); ++k) {
    auto& cells = sheet.rows[k];
    while (!cells.empty() && strings::trim_both(cells.back()).empty())
      cells.pop_back();
    if (cells.empty()) continue;
    out.rows.push_back({static_cast<int>(k) + 1, std::move(cells)});
  }
  return out;
}

// The second line of the row-limit message for a table.
std::string table_count_text(std::size_t rates) {
  const std::string n = strings::int_text(static_cast<long long>(rates));
  if (rates < 3)
    return "the table holds " + n + (rates == 1 ? " rate" : " rates") + "; at least 3 are needed";
  return "the table holds " + n + " rates; at most " + strings::int_text(core::max_rows) +
         " can be read";
}

// Reads the first `rows` lines into the context's observations, up to the first line
// that is not three numbers.
unread_row read_rows(core::fit_context& ctx, text_lines& file, int rows) {
  std::string line;
  for (int k = 0; k < rows; ++k) {
    if (!file.next(line)) line.clear();
    const parsed_row row = parse_row(line);
    if (row.fault != row_fault::none) return {k + 1, line, row.fault};
    const auto i = static_cast<std::size_t>(k);
    ctx.substrate[i] = row.values[0];
    ctx.inhibitor[i] = row.values[1];
    ctx.rate[i] = row.values[2];
  }
  return {};
}

// Takes the rows ctx.leave_out names out of the first `rows` observations, the
// others keeping their order, and names the dropped ones in ctx.rows_left_out by
// `label(k)` (k 0-based, in reading order). Returns the places (1-based) of the rows
// kept, empty when none was dropped. Places beyond the rows read name nothing.
std::vector<int> drop_left_out(core::fit_context& ctx, int rows,
                               const std::function<std::string(std::size_t)>& label) {
  ctx.rows_left_out.clear();
  const auto count = static_cast<std::size_t>(std::clamp(rows, 0, core::max_rows));
  std::vector<bool> dropped(count, false);
  bool any = false;
  for (const std::int32_t place : ctx.leave_out) {
    if (place >= 1 && static_cast<std::size_t>(place) <= count) {
      dropped[static_cast<std::size_t>(place) - 1] = true;
      any = true;
    }
  }
  if (!any) return {};
  std::vector<int> kept;
  std::size_t to = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (dropped[k]) {
      ctx.rows_left_out.push_back(label(k));
      continue;
    }
    ctx.substrate[to] = ctx.substrate[k];
    ctx.inhibitor[to] = ctx.inhibitor[k];
    ctx.rate[to] = ctx.rate[k];
    ++to;
    kept.push_back(static_cast<int>(k) + 1);
  }
  return kept;
}

}  // namespace

table_cells read_table_cells(const std::string& name, const core::table_request& request) {
  if (is_workbook_name(name)) return workbook_cells(request, name);
  text_lines file;
  const bool opened = file.open(name) == text_lines::opened::ok;
  table_cells out = opened ? text_table_cells(file) : table_cells{};
  if (!opened || out.read_error) {
    out = {};
    out.read_error = true;
    out.error = "The file cannot be read (missing, not a regular file, or not allowed): " +
                strings::printable(name);
  }
  return out;
}

std::string row_source(const data_read& read, std::size_t k) {
  if (!read.table || k >= read.table->observations.size())
    return strings::int_text(static_cast<long long>(k) + 1);
  const table_observation& o = read.table->observations[k];
  return column_letters(o.column) + strings::int_text(o.row);
}

data_read read_data_file(core::fit_context& ctx, std::string_view raw_name, output_file* results,
                         std::ostream& console) {
  data_read out;
  ctx.rows_left_out.clear();
  out.data_name = data_file_name(raw_name);
  out.results_name = results_name(out.data_name);
  const std::string& name = out.data_name;
  const std::string shown = strings::printable(name);
  const reader_warnings warn{ctx, out.warnings};
  // Only a run names its results file when it stops; a check has none.
  std::ostream* run_console = results != nullptr ? &console : nullptr;

  std::error_code ec;
  if (!std::filesystem::exists(name, ec)) {
    core::show_message(ctx, box_kind::warning, "File does not exist: " + shown);
    core::show_message(ctx, box_kind::error, "* * * OPEN ANOTHER DATA FILE * * *");
    out.status = run_status::file_not_found;
    out.results_name.clear();  // no data file, so no results file either
    return out;
  }

  // A data file that exists but cannot be read (no permission, a folder, a pipe)
  // stops the run before anything is written; a failure must not look like success.
  auto cannot_open_data = [&] {
    core::show_message(ctx, box_kind::error, "Data input file error at Line 381");
    abort_run(ctx, nullptr, out.results_name, run_console);
    out.status = run_status::file_not_opened;
    return out;
  };
  text_lines file;
  switch (file.open(name)) {
    case text_lines::opened::ok:
      break;
    case text_lines::opened::not_regular:
      core::show_message(ctx, box_kind::warning,
                         "Not a regular file (a folder, pipe or device): " + shown);
      return cannot_open_data();
    case text_lines::opened::cannot_open:
      return cannot_open_data();
  }
  if (results != nullptr) {
    if (results_replace_data(file, name, out.results_name)) {
      core::show_message(ctx, box_kind::warning,
                         "Results file " + strings::printable(out.results_name) +
                             " is the data file " + shown +
                             " itself: give the data file another name");
      abort_run(ctx, nullptr, out.results_name, run_console);
      out.status = run_status::file_not_opened;
      return out;
    }
  }

  const bool table = ctx.table.always || is_table_name(name);
  int columns = 3;
  data_extent extent;
  table_cells cells;
  if (table) {
    cells = is_workbook_name(name) ? workbook_cells(ctx.table, name) : text_table_cells(file);
    if (cells.read_error) return cannot_open_data();
  } else {
    columns = file_column_count(file, console);
    if (file.stopped() == text_lines::stop::none) extent = scan_data(file);
    if (file.stopped() != text_lines::stop::none) return cannot_open_data();
  }
  ctx.columns = columns;

  // The results file is started now, so that a run that could not write it stops
  // before fitting; a run that stops later discards it.
  if (results != nullptr && !results->open(out.results_name)) {
    core::show_message(ctx, box_kind::warning,
                       "Results file cannot be created: " + strings::printable(out.results_name) +
                           ": " + results->error());
    core::show_message(ctx, box_kind::error, "Data output file error at Line 395");
    abort_run(ctx, nullptr, out.results_name, run_console);
    out.status = run_status::file_not_opened;
    return out;
  }
  auto reject = [&] {
    abort_run(ctx, results, out.results_name, run_console);
    out.status = run_status::file_rejected;
    return out;
  };
  auto hint = [&] { return spreadsheet_hint(file); };

  // The rows of a native file; a refusal has shown its boxes (file_not_opened: the
  // file could not be read again).
  auto read_native_rows = [&]() -> run_status {
    if (extent.long_row != 0) {
      core::show_message(ctx, box_kind::warning,
                         "Data line " + strings::int_text(extent.long_row) + " is longer than " +
                             strings::int_text(static_cast<long long>(max_line_length)) +
                             " characters");
      return run_status::file_rejected;
    }
    if (extent.rows_below > 0) {
      // The data end where they end; the person is told what was left out.
      const std::string below = strings::int_text(extent.rows_below);
      warn("The data end at line " + strings::int_text(extent.end_line) +
           (extent.end_is_blank ? " (a blank line)" : " (a note line)") + ", but " + below +
           (extent.rows_below == 1 ? " line below it begins" : " lines below it begin") +
           " with three numbers and " + (extent.rows_below == 1 ? "was" : "were") +
           " not read. The rows of all curves follow one another, without blank or note lines "
           "between them");
    }
    if (extent.rows < 3 || extent.rows > core::max_rows) {
      core::show_message(ctx, box_kind::warning,
                         "Data rows exceeded limit of " + strings::int_text(core::max_rows) +
                             std::string(core::box_line_break) + row_count_text(extent, columns));
      if (const auto told = hint()) core::show_message(ctx, box_kind::warning, *told);
      return run_status::file_rejected;
    }
    if (columns != 3) {
      core::show_message(ctx, box_kind::warning, "Data columns not equal to 3");
      if (const auto told = hint()) {
        core::show_message(ctx, box_kind::warning, *told);
      } else if (columns <= 2) {
        (void)ncolmdl(ctx, columns, 1);
      }
      return run_status::file_rejected;
    }

    if (!file.rewind()) return run_status::file_not_opened;
    const unread_row unread = read_rows(ctx, file, extent.rows);
    if (unread.number != 0) {
      const auto told = unread.number == 1 ? hint() : std::nullopt;
      core::show_message(
          ctx, box_kind::warning,
          told ? *told : unreadable_row_text(unread.number, unread.line, unread.fault));
      return run_status::file_rejected;
    }
    return run_status::success;
  };

  int rows = 0;
  if (table) {
    out.separator = cells.separator;
    out.sheet = cells.sheet;
    if (!cells.error.empty()) {
      core::show_message(ctx, box_kind::warning, cells.error);
      return reject();
    }
    table_reading reading =
        read_table(cells.rows, cells.separator == cell_separator::semicolon, ctx.table);
    if (!reading.error.empty()) {
      core::show_message(ctx, box_kind::warning, reading.error);
      out.table = std::move(reading);
      return reject();
    }
    const std::size_t rates = reading.observations.size();
    if (rates < 3 || rates > static_cast<std::size_t>(core::max_rows)) {
      core::show_message(ctx, box_kind::warning,
                         "Data rows exceeded limit of " + strings::int_text(core::max_rows) +
                             std::string(core::box_line_break) + table_count_text(rates));
      out.table = std::move(reading);
      return reject();
    }
    for (std::size_t k = 0; k < rates; ++k) {
      ctx.substrate[k] = reading.observations[k].substrate;
      ctx.inhibitor[k] = reading.observations[k].inhibitor;
      ctx.rate[k] = reading.observations[k].rate;
    }
    rows = static_cast<int>(rates);
    out.table = std::move(reading);
  } else {
    const run_status native = read_native_rows();
    if (native == run_status::file_not_opened) return cannot_open_data();
    if (native != run_status::success) return reject();
    rows = extent.rows;
  }
  // Where row k (0-based, in reading order) stands in the file.
  const auto source_label = [&](std::size_t k) { return row_source(out, k); };
  if (!ctx.leave_out.empty()) {
    const int read_count = rows;
    out.source_rows = drop_left_out(ctx, rows, source_label);
    if (!out.source_rows.empty()) {
      const int kept = static_cast<int>(out.source_rows.size());
      if (kept < 3) {
        core::show_message(ctx, box_kind::warning,
                           "Only " + strings::int_text(kept) +
                               (kept == 1 ? " row is" : " rows are") +
                               " left once the rows left out are dropped: at least 3 are needed");
        return reject();
      }
      rows = kept;
    }
    for (const std::int32_t place : ctx.leave_out) {
      if (place < 1 || place > static_cast<std::int32_t>(read_count)) {
        warn("Row " + strings::int_text(place) + " to be left out is not among the " +
             strings::int_text(static_cast<long long>(read_count)) +
             " rows read: nothing is left out for it");
      }
    }
  }
  ctx.idat = rows;
  ctx.rows = rows;
  const auto count = static_cast<std::ptrdiff_t>(rows);
  std::copy_n(ctx.substrate.begin(), count, ctx.xtmp.begin());
  std::copy_n(ctx.inhibitor.begin(), count, ctx.x2tmp.begin());
  std::copy_n(ctx.rate.begin(), count, ctx.ytmp.begin());

  const curve_summary curves = ycurves(ctx);
  out.curves_found = curves.curves;
  warn_about_curve_layout(ctx, warn);
  if (curves.smallest < core::min_curve_rows) {
    core::show_message(
        ctx, box_kind::warning,
        "Single curve data must be greater than " + strings::int_text(core::min_curve_rows));
    return reject();
  }
  if (curves.curves > core::max_curves) {
    core::show_message(
        ctx, box_kind::warning,
        "Curve limit of 10 exceeded! Number of curves = " + strings::int_text(curves.curves));
    return reject();
  }
  // A table's observations are grouped by [I], so they are named by their cells.
  warn_about_degenerate_data(ctx, warn, curves.curves, [&](std::size_t k) {
    if (!out.source_rows.empty()) k = static_cast<std::size_t>(out.source_rows[k]) - 1;
    if (!out.table) return "data line " + strings::int_text(static_cast<long long>(k) + 1);
    const table_observation& o = out.table->observations[k];
    return "the table at row " + strings::int_text(o.row) + ", column " +
           strings::int_text(o.column) + " (" + column_letters(o.column) + ")";
  });
  return out;
}

}  // namespace inhibra::data
