#pragma once
// Noise-free fitting problems for the minimizers: every model with parameters of
// the size the example data call for, and a start perturbed as rough initial
// estimates would be.
#include <vector>

namespace inhibra::optim::problems {

struct model_case {
  int model;
  std::vector<double> truth;  // generating parameters
  std::vector<double> start;  // where the minimizer starts
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

}  // namespace inhibra::optim::problems
