#include "fit/mc50.hpp"

#include <cmath>

#include "core/one_based.hpp"
#include "models/model_catalogue.hpp"

namespace inhibra::fit {

mc50_table mc50(int model, std::span<const double> p_in, std::span<const double> se_in) {
  const core::cvec1 p(p_in);
  const core::cvec1 se(se_in);
  mc50_table out;
  const double km = p(1);
  const double ki = p(3);
  const double r_km = se(1) / km;
  const double r_ki = se(3) / ki;
  for (int j = 0; j < core::mc50_levels; ++j) {
    const auto q = static_cast<std::size_t>(j);
    const double s = mc50_multipliers[q] * km;
    out.substrate[q] = s;
    if (model == 1) {
      const double n = ki * s / km + ki;
      const double value = n;
      const double t = std::sqrt(r_km * r_km + r_ki * r_ki) * (ki * s / km);
      const double se_n = std::sqrt(se(3) * se(3) + t * t);
      out.value[q] = value;
      out.error[q] = (se_n / n) * value;
    } else if (model == 2) {
      out.value[q] = ki;
      out.error[q] = std::abs(r_ki) * ki;
    } else if (model >= 3 && model <= 10) {
      // A fixed a (model 6's a = 1) carries no error.
      const models::shape_source& a_source = models::shape_of(model).a;
      const double alpha = a_source.value_at(p_in);
      const double r_alpha = a_source.is_free() ? se(a_source.parameter + 1) / alpha : 0.0;
      const double n = (s + km) * ki * alpha;
      const double d = s + km * alpha;
      const double value = n / d;
      const double a = std::sqrt(r_km * r_km + r_alpha * r_alpha + r_ki * r_ki) * km * ki * alpha;
      const double b = std::sqrt(r_alpha * r_alpha + r_ki * r_ki) * s * ki * alpha;
      const double se_n = std::sqrt(b * b + a * a);
      const double se_d = d * std::sqrt(r_km * r_km + r_alpha * r_alpha);
      out.value[q] = value;
      out.error[q] = std::sqrt((se_d / d) * (se_d / d) + (se_n / n) * (se_n / n)) * value;
      if (model == 3 && alpha > 0.999) out.error[q] = se(3) * alpha;
    }
  }
  return out;
}

}  // namespace inhibra::fit
