#pragma once
// What the person chose for a run: the models, the weighting, the fitting method,
// how a table is read and which rows are left out. The front end writes them before
// the run starts (the desktop copies its menus' switches in); the run only reads
// them, so a toggle made during a run cannot mix two settings within it.
#include <array>
#include <cstdint>
#include <vector>

#include "core/capacities.hpp"
#include "core/error_model.hpp"
#include "core/table_request.hpp"

namespace inhibra::core {

struct run_settings {
  std::array<bool, max_models> selected_models{};  // model i is fitted when [i - 1] is set
  // The weighting switch, a weighting's switch_value; a value that is no
  // weighting's code fits without robust weights, and the run says so.
  std::int32_t weighting_switch = 0;
  // The error model the refinement, the statistics and the criterion weight by.
  error_model error_switch = error_model::equal;
  // Fit with the fixed chain of stages alone, without the refinement after it (to
  // reproduce results files written before the refinement existed).
  bool chain_only = false;
  // Fit by the refinement's solves alone, without the fixed chain of stages before
  // them (faster; ignored with chain_only).
  bool fast = false;
  // The rate plot shows rows of equal [S] and [I] (replicates) as their mean with an
  // error bar of their standard deviation instead of a dot each; the fit is the same.
  bool replicate_means = false;
  // Profile-likelihood limits after the fits (refined fitting only).
  bool profiles = true;

  // How a data table is read.
  table_request table;
  // Rows the person left out, by their place among the rows read, 1-based: a native
  // file's line number, a table's rates in the order its reader takes them. The
  // reader drops them before anything is fitted; the data file is never changed.
  std::vector<std::int32_t> leave_out;
};

}  // namespace inhibra::core
