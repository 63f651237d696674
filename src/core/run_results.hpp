#pragma once
// What a run leaves for the plots once it has ranked its models: the best model's
// name, parameters and MC50 table, and the rows its fit flagged. The driver writes
// them at the end of a run; the plots read them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/capacities.hpp"

namespace inhibra::core {

struct run_results {
  std::array<double, mc50_levels> mc50_substrate{};
  std::array<double, mc50_levels> mc50_value{};

  std::int32_t global_mdl_count = 0;        // models selected in the run
  std::int32_t mdl_number = 0;              // the (best) model's number
  std::string strmdl;                       // left-adjusted name of the (best) model
  std::array<double, max_par> variables{};  // fitted parameters of the (best) model
  // Rows (1-based) that the best model's fit down-weighted or that influence it
  // strongly, for the plots; empty until a run has ranked its models.
  std::vector<std::int32_t> flagged_rows;
};

}  // namespace inhibra::core
