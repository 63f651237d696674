#include "support/numeric.hpp"

#include <array>

#include "models/model_library.hpp"

namespace inhibra::support {

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
