#pragma once
// Data files of known models: the rates of a model for given parameters on a 6 x 4
// grid of [S] x [I], with deterministic relative noise.
#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/fit_context.hpp"
#include "models/model_library.hpp"

namespace inhibra::support {

// The shortest text that reads back as the same double.
inline std::string exact_text(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

inline std::string model_data(int model, std::vector<double> p, double noise, unsigned seed = 7) {
  core::fit_context ctx;
  ctx.model = model;
  std::array<double, core::max_par> par{};
  std::copy(p.begin(), p.end(), par.begin());
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::string text;
  for (double i : {0.0, 50.0, 150.0, 400.0}) {
    for (double s : {25.0, 50.0, 100.0, 200.0, 400.0, 800.0}) {
      const double v = models::func(ctx, s, i, 0, par) * (1.0 + noise * gauss(rng));
      text += std::to_string(s) + " " + std::to_string(i) + " " + exact_text(v) + "\n";
    }
  }
  return text;
}

}  // namespace inhibra::support
