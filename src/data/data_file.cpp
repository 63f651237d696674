#include "data/data_file.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <span>

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
  if (!text.empty() && text.front() == '+') text.erase(0, 1);
  for (char& c : text) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  if (text.empty()) return std::nullopt;
  double value = 0.0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
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

// Three values separated by commas, with or without blanks around them
// ("50,0,0.032", "50, 0, 0.032"), as spreadsheets export them. `fourth` is set when
// a further comma field follows the third value.
std::optional<row_fields> comma_fields(std::string_view s, bool& fourth) {
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
    skip_blanks();
    if (k < 2) {
      if (i >= s.size() || s[i] != ',') return std::nullopt;
      ++i;
      skip_blanks();
    }
  }
  fourth = i < s.size() && s[i] == ',';
  return fields;
}

// The first three blank-separated words; `comma_after` is set when the text after
// them begins with a comma.
std::optional<row_fields> blank_fields(std::string_view s, bool& comma_after) {
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
  while (i < s.size() && is_row_blank(s[i]))
    ++i;
  comma_after = i < s.size() && s[i] == ',';
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
  bool extra_comma = false;
  auto fields = comma_fields(line, extra_comma);
  if (!fields) {
    fields = blank_fields(line, extra_comma);
    if (!fields) {
      row.fault = row_fault::unreadable;
      return row;
    }
  }
  const auto& f = *fields;
  // A further comma right after the values ("50,0,0,032", "50 0 0,032") leaves it
  // unclear where the values end.
  if (extra_comma || std::any_of(f.begin(), f.end(), [](auto v) { return has_decimal_comma(v); })) {
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
  std::string out;
  for (const char c : line) {
    if (c != '\t' && strings::is_blank_or_control(c) && c != ' ') {
      out += fmt::format("\\x{:02X}", static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out;
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
  }
  return text;
}

// Warnings for data that read well but leave the models little to work with; the
// run goes on with them.
void warn_about_degenerate_data(const core::fit_context& ctx) {
  const auto rows = static_cast<std::size_t>(std::clamp(ctx.idat, 0, core::max_rows));
  if (rows == 0) return;
  const auto rate = std::span(ctx.rate).first(rows);
  if (std::all_of(rate.begin(), rate.end(), [&](double v) { return v == rate[0]; })) {
    core::show_message(ctx, box_kind::warning,
                       "All rates are equal: the data cannot tell the models apart");
  }
  if (std::all_of(rate.begin(), rate.end(), [](double v) { return v <= 0.0; })) {
    core::show_message(ctx, box_kind::warning,
                       "No rate is above 0: the models describe positive rates");
  }
  for (std::size_t k = 0; k < rows; ++k) {
    if (ctx.substrate[k] <= 0.0) {
      core::show_message(ctx, box_kind::warning,
                         "[S] is 0 or below in data line " +
                             strings::int_text(static_cast<long long>(k) + 1) +
                             ": the models need [S] above 0");
      break;
    }
  }
  for (std::size_t k = 0; k < rows; ++k) {
    if (ctx.inhibitor[k] < 0.0) {
      core::show_message(ctx, box_kind::warning,
                         "[I] is below 0 in data line " +
                             strings::int_text(static_cast<long long>(k) + 1) +
                             ": the models need [I] of 0 or more");
      break;
    }
  }
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
  if (!file.rewind()) return 0;
  std::string line;
  int rows = 0;
  while (file.next(line)) {
    if (ends_data(std::string_view(line).substr(0, row_line_length))) break;
    ++rows;
  }
  return rows;
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
                     "Results file not written: " + results.final_name() + " (" + results.error() +
                         "); an earlier file of that name is left as it was");
}

bool commit_results(const core::fit_context& ctx, output_file& results) {
  if (results.commit()) return true;
  warn_results_not_written(ctx, results);
  return false;
}

void abort_run(const core::fit_context& ctx, output_file* results,
               std::string_view results_file_name) {
  core::show_message(ctx, box_kind::error, "* * * ERROR: RUN ABORTED * * *");
  if (results != nullptr && results->is_open()) {
    *results << "\r\n RESULTS FILE " << strings::trim(results_file_name) << "\r\n\r\n";
    (void)commit_results(ctx, *results);
  }
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

// Reads the first `rows` lines into the context's observations; false, with the
// reason shown, at the first line that is not three numbers.
bool read_rows(core::fit_context& ctx, text_lines& file, int rows) {
  std::string line;
  for (int k = 0; k < rows; ++k) {
    if (!file.next(line)) line.clear();
    const parsed_row row = parse_row(line);
    if (row.fault != row_fault::none) {
      core::show_message(ctx, box_kind::warning, unreadable_row_text(k + 1, line, row.fault));
      return false;
    }
    const auto i = static_cast<std::size_t>(k);
    ctx.substrate[i] = row.values[0];
    ctx.inhibitor[i] = row.values[1];
    ctx.rate[i] = row.values[2];
  }
  return true;
}

}  // namespace

data_read read_data_file(core::fit_context& ctx, std::string_view raw_name, output_file* results,
                         std::ostream& console) {
  data_read out;
  out.data_name = data_file_name(raw_name);
  out.results_name = results_name(out.data_name);
  const std::string& name = out.data_name;

  std::error_code ec;
  if (!std::filesystem::exists(name, ec)) {
    core::show_message(ctx, box_kind::warning, "File does not exist: " + name);
    core::show_message(ctx, box_kind::error, "* * * OPEN ANOTHER DATA FILE * * *");
    out.status = run_status::file_not_found;
    return out;
  }

  // A data file that exists but cannot be read (no permission, a folder, a pipe)
  // stops the run before anything is written; a failure must not look like success.
  auto cannot_open_data = [&] {
    core::show_message(ctx, box_kind::error, "Data input file error at Line 381");
    abort_run(ctx, nullptr, out.results_name);
    out.status = run_status::file_not_opened;
    return out;
  };
  text_lines file;
  switch (file.open(name)) {
    case text_lines::opened::ok:
      break;
    case text_lines::opened::not_regular:
      core::show_message(ctx, box_kind::warning,
                         "Not a regular file (a folder, pipe or device): " + name);
      return cannot_open_data();
    case text_lines::opened::cannot_open:
      return cannot_open_data();
  }
  if (results != nullptr) {
    if (results_replace_data(file, name, out.results_name)) {
      core::show_message(ctx, box_kind::warning,
                         "Results file " + out.results_name + " is the data file " + name +
                             " itself: give the data file another name");
      abort_run(ctx, nullptr, out.results_name);
      out.status = run_status::file_not_opened;
      return out;
    }
  }

  const int columns = file_column_count(file, console);
  const int rows = file.stopped() == text_lines::stop::none ? data_row_count(file) : 0;
  if (file.stopped() == text_lines::stop::read_error) return cannot_open_data();
  ctx.columns = columns;

  if (results != nullptr && !results->open(out.results_name)) {
    core::show_message(
        ctx, box_kind::warning,
        "Results file cannot be created: " + out.results_name + " (" + results->error() + ")");
    core::show_message(ctx, box_kind::error, "Data output file error at Line 395");
    abort_run(ctx, nullptr, out.results_name);
    out.status = run_status::file_not_opened;
    return out;
  }
  auto reject = [&] {
    abort_run(ctx, results, out.results_name);
    out.status = run_status::file_rejected;
    return out;
  };

  if (file.stopped() == text_lines::stop::too_long) {
    core::show_message(ctx, box_kind::warning,
                       "Data line " + strings::int_text(file.line_number()) + " is longer than " +
                           strings::int_text(static_cast<long long>(max_line_length)) +
                           " characters");
    return reject();
  }
  if (rows < 3 || rows > core::max_rows) {
    core::show_message(ctx, box_kind::warning,
                       "Data rows exceeded limit of " + strings::int_text(core::max_rows));
    return reject();
  }
  if (columns != 3) {
    core::show_message(ctx, box_kind::warning, "Data columns not equal to 3");
    if (columns <= 2) (void)ncolmdl(ctx, columns, 1);
    return reject();
  }

  if (!file.rewind()) return cannot_open_data();
  if (!read_rows(ctx, file, rows)) return reject();
  ctx.idat = rows;
  ctx.rows = rows;
  const auto count = static_cast<std::ptrdiff_t>(rows);
  std::copy_n(ctx.substrate.begin(), count, ctx.xtmp.begin());
  std::copy_n(ctx.inhibitor.begin(), count, ctx.x2tmp.begin());
  std::copy_n(ctx.rate.begin(), count, ctx.ytmp.begin());

  const curve_summary curves = ycurves(ctx);
  out.curves_found = curves.curves;
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
  warn_about_degenerate_data(ctx);
  return out;
}

}  // namespace inhibra::data
