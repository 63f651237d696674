#include "cli/table_commands.hpp"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include <fmt/format.h>

#include "cli/cli_frontend.hpp"
#include "data/file_names.hpp"
#include "data/output_file.hpp"
#include "data/table_reader.hpp"
#include "strings/text.hpp"
#include "workbook/xlsx_sheet.hpp"

namespace inhibra::cli {

namespace {

std::string unit_or_none(const std::string& unit) {
  return unit.empty() ? std::string("not given") : strings::printable(unit);
}

std::string column_text(int column) {
  return strings::int_text(column) + " (" + data::column_letters(column) + ")";
}

// The shortest text that reads back as the same number.
std::string number_text(double v) {
  return fmt::format("{}", v);
}

// "plate.csv" -> "plate.in": the native file beside a table.
std::string native_name_beside(const std::string& table) {
  const std::string results = data::results_name(table);  // ends in "out"
  return results.substr(0, results.size() - 3) + "in";
}

}  // namespace

bool table_request_of(const options& opt, core::table_request& out, std::string& error) {
  core::table_request request;
  request.always = opt.table;
  request.sheet = opt.sheet;
  request.workbook = workbook::read_xlsx_sheet;
  if (opt.layout == "long") request.layout = core::table_layout::long_table;
  if (opt.layout == "wide") request.layout = core::table_layout::wide_table;
  if (!opt.columns.empty() && !data::parse_column_choice(opt.columns, request.columns, error)) {
    return false;
  }
  out = std::move(request);
  return true;
}

std::optional<std::string> unused_table_options(const options& opt) {
  std::vector<std::string> files = opt.files;
  if (!opt.convert.empty()) files.push_back(opt.convert);
  std::string shaping;  // the options that say how a table is read
  if (!opt.columns.empty()) shaping = "--columns";
  if (!opt.layout.empty()) shaping += (shaping.empty() ? "" : " and ") + std::string("--layout");
  // --convert reads its file as a table whatever its name.
  const bool always = opt.table || !opt.convert.empty();
  for (const auto& raw : files) {
    const std::string name = data::data_file_name(raw);
    const std::string shown = strings::printable(name);
    if (!shaping.empty() && !always && !data::is_table_name(name)) {
      return shaping + (opt.columns.empty() || opt.layout.empty() ? " says" : " say") +
             " how to read a data table, but " + shown +
             " is read in the native format ([S], [I] and the rate in that order) and would "
             "leave them out: add --table to read it as a table, or fit it in another call";
    }
    if (!opt.sheet.empty() && !data::is_workbook_name(name)) {
      return "--sheet names a sheet of an .xlsx workbook, but " + shown +
             " is not one and would leave it out: fit it in another call";
    }
  }
  return std::nullopt;
}

std::string table_lines(const data::data_read& read, const core::observations& ctx) {
  if (!read.table) return {};
  const data::table_reading& t = *read.table;
  std::string text = "  layout: ";
  if (t.layout == core::table_layout::wide_table) {
    text += t.transposed ? "wide, transposed ([I] down the first column, [S] across the header row)"
                         : "wide ([S] down the first column, [I] across the header row)";
  } else {
    text += std::string("long (one rate a row") +
            (t.header ? ", a header row" : ", no header row") + ")";
  }
  if (!read.sheet.empty()) text += "; sheet \"" + strings::printable(read.sheet) + "\"";
  if (read.separator)
    text += "; cells separated by " + std::string(data::separator_name(*read.separator));
  text += "\n";
  if (t.layout == core::table_layout::long_table) {
    text += "  columns: [S] " + column_text(t.columns.substrate) + ", [I] " +
            column_text(t.columns.inhibitor) + ", rate " + column_text(t.columns.rate);
    if (!t.unused_columns.empty()) {
      text += "; left out:";
      for (const auto& c : t.unused_columns)
        text += " " + c;
    }
    text += "\n";
  }
  text += "  units: [S] " + unit_or_none(t.units.substrate) + ", [I] " +
          unit_or_none(t.units.inhibitor) + ", rate " + unit_or_none(t.units.rate) + "\n";
  text += "  curves:";
  std::size_t start = 0;
  for (int k = 0; k < ctx.idatasets; ++k) {
    const auto n = static_cast<std::size_t>(ctx.id2[static_cast<std::size_t>(k)]);
    text += (k == 0 ? " [I] = " : "; [I] = ") + number_text(ctx.inhibitor[start]) + " (" +
            strings::int_text(static_cast<long long>(n)) + " rates)";
    start += n;
  }
  text += "\n  replicates: ";
  text += t.replicate_sets == 0 ? std::string("none")
                                : strings::int_text(t.replicate_sets) +
                                      " pairs of [S] and [I] measured more than once, up to " +
                                      strings::int_text(t.most_replicates) + " times";
  text += "\n  empty cells: " + strings::int_text(t.empty_cells) +
          (t.empty_cells > 0 ? " (missing rates, not zeros)" : "") + "\n";
  return text;
}

std::string native_text(const core::observations& ctx, const data::axis_units& units,
                        const std::string& source) {
  std::string text;
  const auto rows = static_cast<std::size_t>(std::clamp(ctx.idat, 0, core::max_rows));
  for (std::size_t k = 0; k < rows; ++k) {
    text += fmt::format("{:<14} {:<14} {}\n", number_text(ctx.substrate[k]),
                        number_text(ctx.inhibitor[k]), number_text(ctx.rate[k]));
  }
  // Notes below the data: a note line above them would end the data before any row.
  text +=
      "! converted from the table " + strings::printable(data::split_folder(source).leaf) + "\n";
  text += "! units: [S] " + unit_or_none(units.substrate) + ", [I] " +
          unit_or_none(units.inhibitor) + ", rate " + unit_or_none(units.rate) + "\n";
  return text;
}

int convert_table(const options& opt, const core::table_request& request, std::ostream& err) {
  std::mutex lock;
  cli_frontend fe(err, lock);
  auto ctx = std::make_unique<core::fit_context>();
  ctx->fe = &fe;
  ctx->table = request;
  ctx->table.always = true;
  const data::data_read read = data::read_data_file(*ctx, opt.convert, nullptr, fe.console());
  if (read.status != core::run_status::success) return core::code(read.status);

  const std::string target = !opt.output.empty() ? opt.output : native_name_beside(read.data_name);
  std::error_code ec;
  if (std::filesystem::exists(target, ec)) {
    const bool same = std::filesystem::equivalent(target, read.data_name, ec);
    fe.message(core::box_kind::error,
               same ? "--convert would write over the table itself: " + strings::printable(target) +
                          "; name another file with -o"
                    : strings::printable(target) +
                          " exists and is left as it is: remove it, or name another file with -o");
    return core::code(core::run_status::file_not_opened);
  }
  data::output_file out;
  if (out.open(target)) {
    out << native_text(*ctx, read.table ? read.table->units : data::axis_units{}, read.data_name);
    if (out.commit()) {
      fe.message(core::box_kind::information, "wrote " + strings::int_text(ctx->idat) +
                                                  " rows in " + strings::int_text(ctx->idatasets) +
                                                  " curves to " + strings::printable(target));
      return 0;
    }
  }
  fe.message(core::box_kind::error,
             "Data file not written: " + strings::printable(target) + " (" + out.error() + ")");
  return core::code(core::run_status::file_not_opened);
}

}  // namespace inhibra::cli
