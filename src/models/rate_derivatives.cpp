#include "models/rate_derivatives.hpp"

namespace inhibra::models {

double rate_gradient(const model_facts& model, double s, double i_conc, std::span<const double> p,
                     std::span<double> dv) {
  const double km = p[0];
  const double vmax = p[1];
  const double ki = p[2];
  const model_shape& shape = model.shape;
  // 1/a and b of the model; model 1's infinite a gives 1/a = 0.
  const double inv_a = 1.0 / shape.a.value_at(p);
  const double b = shape.b.value_at(p);
  const double u = i_conc / ki;
  const double num = 1.0 + b * u * inv_a;
  const double den = km * (1.0 + u) + s * (1.0 + u * inv_a);
  const double v = vmax * s * num / den;
  const double q = vmax * s / (den * den);

  dv[0] = -q * num * (1.0 + u);  // Km
  dv[1] = s * num / den;         // Vmax
  const double dv_du = q * (b * inv_a * den - num * (km + s * inv_a));
  dv[2] = -dv_du * u / ki;  // Ki, through u = [I]/Ki
  // Through a (general form): d/da of 1/a is -1/a^2.
  const double dv_da = q * u * inv_a * inv_a * (s * num - b * den);
  const double dv_db = vmax * s * u * inv_a / den;
  const int pa = shape.a.parameter;
  const int pb = shape.b.parameter;
  if (pa >= 0 && pa == pb) {
    dv[static_cast<std::size_t>(pa)] = dv_da + dv_db;  // b = a: through both
  } else {
    if (pa >= 0) dv[static_cast<std::size_t>(pa)] = dv_da;
    if (pb >= 0) dv[static_cast<std::size_t>(pb)] = dv_db;
  }
  return v;
}

}  // namespace inhibra::models
