#pragma once
// Shared pieces of the minimiser tests: an objective that records where it is
// asked, and a context with model 1's box.
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "core/fit_context.hpp"
#include "optim/value_function.hpp"

namespace inhibra::optim::testing {

using point = std::vector<double>;

// An objective that keeps every point it is asked about.
struct recorder {
  std::function<double(const point&)> f;
  std::vector<point> points;
  value_function fn() {
    return [this](std::span<const double> x) {
      points.emplace_back(x.begin(), x.end());
      return f(points.back());
    };
  }
};

// A context whose parameter box is that of model 1: [1e-6, 1e6] for P1..P3.
inline std::unique_ptr<core::fit_context> box_context() {
  auto ctx = std::make_unique<core::fit_context>();
  ctx->model = ctx->mdl_number = 1;
  ctx->model_limit = 10;
  return ctx;
}

}  // namespace inhibra::optim::testing
