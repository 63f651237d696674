#include "models/rate_derivatives.hpp"

namespace inhibra::models {

double rate_gradient(int model, double s, double i_conc, std::span<const double> p,
                     std::span<double> dv) {
  const double km = p[0];
  const double vmax = p[1];
  const double ki = p[2];
  // 1/a and b of the model; model 1's infinite a is 1/a = 0.
  double inv_a = 1.0;
  double b = 0.0;
  switch (model) {
    case 1:
      inv_a = 0.0;
      break;
    case 3:
    case 4:
      inv_a = 1.0 / p[3];
      break;
    case 5:
      inv_a = 1.0 / p[3];
      b = 1.0;
      break;
    case 6:
      b = p[3];
      break;
    case 7:
      inv_a = 1.0 / p[3];
      b = p[3];
      break;
    case 8:
    case 9:
    case 10:
      inv_a = 1.0 / p[3];
      b = p[4];
      break;
    default:
      break;
  }
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
  switch (model) {
    case 3:
    case 4:
    case 5:
      dv[3] = dv_da;
      break;
    case 6:
      dv[3] = dv_db;
      break;
    case 7:
      dv[3] = dv_da + dv_db;
      break;
    case 8:
    case 9:
    case 10:
      dv[3] = dv_da;
      dv[4] = dv_db;
      break;
    default:
      break;
  }
  return v;
}

}  // namespace inhibra::models
