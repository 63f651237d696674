#include "data/data_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <vector>

#include "data/file_names.hpp"
#include "strings/text.hpp"

namespace inhibra::data {

namespace {

using fit::box_kind;
using fit::run_status;

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
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

// Reads the next line without its line end; the byte-order mark of a UTF-8 file is
// dropped from the first line.
bool next_line(std::istream& in, std::string& line, bool first) {
  if (!std::getline(in, line)) return false;
  if (first && line.starts_with(utf8_bom)) line.erase(0, utf8_bom.size());
  return true;
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

// The first three fields of a data line; blanks, tabs, commas and control
// characters separate fields.
std::optional<std::array<double, 3>> parse_row(std::string_view line) {
  std::array<double, 3> values{};
  std::size_t i = 0;
  for (int field = 0; field < 3; ++field) {
    auto separator = [](char c) { return c == ',' || strings::is_blank_or_control(c); };
    while (i < line.size() && separator(line[i]))
      ++i;
    const std::size_t start = i;
    while (i < line.size() && !separator(line[i]))
      ++i;
    if (start == i) return std::nullopt;
    const auto value = parse_number(line.substr(start, i - start));
    if (!value) return std::nullopt;
    values[static_cast<std::size_t>(field)] = *value;
  }
  return values;
}

std::string model_list_box(std::initializer_list<std::string_view> heading) {
  std::string text;
  for (auto line : heading) {
    text += line;
    text += fit::box_line_break;
  }
  text += fit::box_line_break;  // the empty line before the model list
  for (auto line : model_lines) {
    text += line;
    text += fit::box_line_break;
  }
  text += tilde_line;
  return text;
}

std::string without_line_end(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
    line.remove_suffix(1);
  return std::string(line);
}

}  // namespace

std::optional<int> file_column_count(const std::string& file_name, std::ostream& console) {
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  std::optional<std::string> first_non_blank;
  bool first = true;
  while (next_line(in, line, first)) {
    first = false;
    const std::string_view head = std::string_view(line).substr(0, column_line_length);
    if (!strings::adjustl_controls(head).empty() && !first_non_blank) {
      first_non_blank = std::string(head);
    }
    if (!ends_data(head)) return column_words(strings::adjustl(head));
  }
  if (first_non_blank) return column_words(strings::adjustl(*first_non_blank));
  console << " -\n"
          << "FILE_COLUMN_COUNT - Warning.\n"
          << "  The file does not contain any data.\n";
  return -1;
}

std::optional<int> data_row_count(const std::string& file_name) {
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  int rows = 0;
  bool first = true;
  while (next_line(in, line, first)) {
    first = false;
    if (ends_data(std::string_view(line).substr(0, row_line_length))) break;
    ++rows;
  }
  return rows;
}

curve_summary ycurves(fit::fit_context& ctx) {
  ctx.id2.fill(0);
  const int rows = std::clamp(ctx.idat, 0, fit::max_rows);
  if (rows == 0) {
    ctx.idatasets = 0;
    return {};
  }
  curve_summary summary;
  double reference = ctx.inhibitor[0];
  int in_curve = 1;
  auto close_curve = [&] {
    if (summary.curves < fit::max_curves) {
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
  ctx.idatasets = std::min(summary.curves, fit::max_curves);
  return summary;
}

fit::run_status ncolmdl(const fit::fit_context& ctx, int column_count, int model) {
  if (column_count >= 3) {
    if (model >= 11 && column_count == 3) {
      fit::show_message(ctx, box_kind::information,
                        model_list_box({"THE CHOSEN MODEL IS UNDEFINED, BUT",
                                        "SINCE THE FILE CONTAINS 3 DATA COLUMNS,",
                                        "YOU MAY SELECT A NEW MODEL FROM THE MAIN",
                                        "MENU AND RERUN WITH [S],[I],Rate COLUMNS."}));
      return run_status::model_undefined;
    }
    return run_status::success;
  }
  fit::show_message(ctx, box_kind::information,
                    model_list_box({"THE MODEL FUNCTION REQUIRES 3 DATA COLUMNS,",
                                    "BUT THE FILE CONTAINS ONLY X,Y DATA.",
                                    "TO RUN ENTER [S],[I],Rate (3 DATA COLUMNS)",
                                    "AND SELECT A MODEL FROM THE MAIN MENU:"}));
  return run_status::model_undefined;
}

void abort_run(const fit::fit_context& ctx, std::ofstream* results,
               std::string_view results_file_name) {
  fit::show_message(ctx, box_kind::error, "* * * ERROR: RUN ABORTED * * *");
  if (results != nullptr && results->is_open()) {
    *results << "\r\n RESULTS FILE " << strings::trim(results_file_name) << "\r\n\r\n";
    results->close();
  }
}

data_read read_data_file(fit::fit_context& ctx, std::string_view raw_name, std::ofstream* results,
                         std::ostream& console) {
  data_read out;
  out.data_name = normalise_data_name(raw_name);
  out.results_name = results_name(out.data_name);
  const std::string& name = out.data_name;

  std::error_code ec;
  if (!std::filesystem::exists(name, ec)) {
    fit::show_message(ctx, box_kind::warning, "File does not exist: " + name);
    fit::show_message(ctx, box_kind::error, "* * * OPEN ANOTHER DATA FILE * * *");
    out.status = run_status::file_not_found;
    return out;
  }

  // A data file that exists but cannot be read (a folder, no permission) stops the
  // run before anything is written; a failure must not look like success.
  auto cannot_open_data = [&] {
    fit::show_message(ctx, box_kind::error, "Data input file error at Line 381");
    abort_run(ctx, nullptr, out.results_name);
    out.status = run_status::file_not_opened;
    return out;
  };
  if (std::filesystem::is_directory(name, ec)) return cannot_open_data();
  const auto columns = file_column_count(name, console);
  if (!columns) return cannot_open_data();
  ctx.columns = *columns;
  const auto rows = data_row_count(name);
  if (!rows) return cannot_open_data();

  std::ifstream in(name, std::ios::binary);
  if (!in) return cannot_open_data();
  if (results != nullptr) {
    results->open(out.results_name, std::ios::binary | std::ios::trunc);
    if (!results->is_open()) {
      fit::show_message(ctx, box_kind::error, "Data output file error at Line 395");
      abort_run(ctx, nullptr, out.results_name);
      out.status = run_status::file_not_opened;
      return out;
    }
  }
  auto reject = [&] {
    abort_run(ctx, results, out.results_name);
    out.status = run_status::file_rejected;
    return out;
  };

  if (*rows < 3 || *rows > fit::max_rows) {
    fit::show_message(ctx, box_kind::warning,
                      "Data rows exceeded limit of " + strings::int_text(fit::max_rows));
    return reject();
  }
  if (*columns != 3) {
    fit::show_message(ctx, box_kind::warning, "Data columns not equal to 3");
    if (*columns <= 2) (void)ncolmdl(ctx, *columns, 1);
    return reject();
  }

  std::string line;
  for (int k = 0; k < *rows; ++k) {
    if (!next_line(in, line, k == 0)) line.clear();
    const auto values = parse_row(line);
    if (!values) {
      fit::show_message(ctx, box_kind::warning,
                        strings::join_crlf({"Data line " + strings::int_text(k + 1) +
                                                " does not begin with three numbers [S] [I] Rate:",
                                            without_line_end(line)}));
      return reject();
    }
    const auto i = static_cast<std::size_t>(k);
    ctx.substrate[i] = (*values)[0];
    ctx.inhibitor[i] = (*values)[1];
    ctx.rate[i] = (*values)[2];
  }
  ctx.idat = *rows;
  ctx.rows = *rows;
  const auto count = static_cast<std::ptrdiff_t>(*rows);
  std::copy_n(ctx.substrate.begin(), count, ctx.xtmp.begin());
  std::copy_n(ctx.inhibitor.begin(), count, ctx.x2tmp.begin());
  std::copy_n(ctx.rate.begin(), count, ctx.ytmp.begin());

  const curve_summary curves = ycurves(ctx);
  out.curves_found = curves.curves;
  if (curves.smallest < fit::min_curve_rows) {
    fit::show_message(
        ctx, box_kind::warning,
        "Single curve data must be greater than " + strings::int_text(fit::min_curve_rows));
    return reject();
  }
  if (curves.curves > fit::max_curves) {
    fit::show_message(
        ctx, box_kind::warning,
        "Curve limit of 10 exceeded! Number of curves = " + strings::int_text(curves.curves));
    return reject();
  }
  return out;
}

}  // namespace inhibra::data
