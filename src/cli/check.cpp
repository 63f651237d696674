#include "cli/check.hpp"

#include <memory>

#include <fmt/format.h>

#include "core/fit_context.hpp"
#include "data/data_file.hpp"

namespace inhibra::cli {

int check_file(const std::string& file, core::frontend& fe, std::ostream& out) {
  auto ctx = std::make_unique<core::fit_context>();
  ctx->fe = &fe;
  const auto read = data::read_data_file(*ctx, file, nullptr, out);
  if (read.status == core::run_status::success) {
    std::string per_curve;
    for (int k = 0; k < ctx->idatasets; ++k) {
      if (k > 0) per_curve += ',';
      per_curve += std::to_string(ctx->id2[static_cast<std::size_t>(k)]);
    }
    out << fmt::format("{}: rows={} curves={} per-curve={} columns={}\n", read.data_name, ctx->idat,
                       ctx->idatasets, per_curve, ctx->columns);
  }
  return core::code(read.status);
}

}  // namespace inhibra::cli
