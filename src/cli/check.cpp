#include "cli/check.hpp"

#include <memory>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "cli/table_commands.hpp"
#include "core/fit_context.hpp"
#include "data/data_file.hpp"
#include "strings/text.hpp"

namespace inhibra::cli {

check_outcome check_file(const std::string& file, core::frontend& fe, std::ostream& console,
                         const core::table_request& request) {
  auto ctx = std::make_unique<core::fit_context>();
  ctx->fe = &fe;
  ctx->table = request;
  const auto read = data::read_data_file(*ctx, file, nullptr, console);
  check_outcome out;
  out.file = file;
  out.data_name = read.data_name;
  out.status = core::code(read.status);
  if (read.status == core::run_status::success) {
    out.rows = ctx->idat;
    out.curves = ctx->idatasets;
    for (int k = 0; k < ctx->idatasets; ++k)
      out.per_curve.push_back(ctx->id2[static_cast<std::size_t>(k)]);
    out.columns = ctx->columns;
    out.table = table_lines(read, *ctx);
  } else if (read.curves_found > 0) {
    // Refused for its curves: the rows were read and counted, and the count of
    // curves is the true one, also beyond the ten a file may have.
    out.rows = ctx->idat;
    out.curves = read.curves_found;
    out.columns = ctx->columns;
  }
  return out;
}

std::string check_line(const check_outcome& checked) {
  return fmt::format("{}: rows={} curves={} per-curve={} columns={}\n",
                     strings::printable(checked.data_name), checked.rows, checked.curves,
                     fmt::join(checked.per_curve, ","), checked.columns) +
         checked.table;
}

}  // namespace inhibra::cli
