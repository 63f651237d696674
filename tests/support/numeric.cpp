#include "support/numeric.hpp"

#include <array>
#include <sstream>
#include <string>

#include "data/data_file.hpp"
#include "models/model_library.hpp"

namespace inhibra::support {

void fill_example_data(core::fit_context& ctx) {
  std::ostringstream console;
  const auto read = data::read_data_file(ctx, std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in",
                                         nullptr, console);
  ASSERT_EQ(read.status, core::run_status::success);
  ASSERT_EQ(ctx.idat, 24);
  ctx.model_limit = 10;
}

std::unique_ptr<core::fit_context> synthetic_context(int model, std::vector<double> p) {
  auto ctx = std::make_unique<core::fit_context>();
  fill_example_data(*ctx);
  ctx->model = ctx->mdl_number = model;
  std::string name;
  int np = 0;
  models::npar(model, name, np);
  ctx->n_par = np;
  std::array<double, core::max_par> par{};
  std::copy(p.begin(), p.end(), par.begin());
  for (std::size_t k = 0; k < 24; ++k) {
    const double v = models::func(*ctx, ctx->substrate[k], ctx->inhibitor[k], 0.0, par);
    ctx->rate[k] = ctx->ytmp[k] = v;
  }
  return ctx;
}

}  // namespace inhibra::support
