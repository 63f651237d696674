#pragma once
// Shared pieces of the minimiser tests: noise-free fitting problems for every model,
// an objective that records where it is asked, and a context with model 1's box.
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "core/fit_context.hpp"
#include "optim/value_function.hpp"

namespace inhibra::optim::testing {

using point = std::vector<double>;

struct model_case {
  int model;
  point truth;  // generating parameters
  point start;  // where the minimiser starts, perturbed as rough estimates would be
};

inline std::vector<model_case> model_cases() {
  return {
      {1, {200.0, 0.15, 100.0}, {150.0, 0.2, 60.0}},
      {2, {200.0, 0.15, 100.0}, {280.0, 0.12, 150.0}},
      {3, {200.0, 0.15, 100.0, 0.5}, {150.0, 0.2, 60.0, 0.7}},
      {4, {200.0, 0.15, 100.0, 3.0}, {150.0, 0.2, 60.0, 2.0}},
      {5, {200.0, 0.15, 100.0, 3.0}, {150.0, 0.2, 60.0, 2.0}},
      {6, {200.0, 0.15, 100.0, 0.4}, {150.0, 0.2, 60.0, 0.6}},
      {7, {200.0, 0.15, 100.0, 0.4}, {150.0, 0.2, 60.0, 0.6}},
      {8, {200.0, 0.15, 100.0, 0.6, 0.3}, {150.0, 0.2, 60.0, 0.8, 0.2}},
      {9, {200.0, 0.15, 100.0, 3.0, 0.5}, {150.0, 0.2, 60.0, 2.0, 0.3}},
      {10, {200.0, 0.15, 100.0, 2.0, 0.5}, {150.0, 0.2, 60.0, 3.0, 0.3}},
  };
}

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
