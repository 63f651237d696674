#pragma once
// A whole run of the fit driver on a data file, kept for the tests that look at
// what it fitted.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/fit_context.hpp"
#include "fit/ezfit.hpp"

namespace inhibra::fit {

inline const std::string example = std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in";

// A finished run: its context (the observations stay in it) and what it fitted.
struct finished_run {
  std::unique_ptr<core::fit_context> ctx = std::make_unique<core::fit_context>();
  run_record record;
};

// Fits `models` to the file at `path` with the given weighting switch and method.
inline finished_run fit_file(const std::string& path, const std::vector<int>& models,
                             int weighting = 0, bool chain_only = false) {
  finished_run run;
  for (int m : models)
    run.ctx->imdl[static_cast<std::size_t>(m - 1)] = 1;
  run.ctx->nwt_global = weighting;
  run.ctx->chain_only = chain_only;
  std::string name = path;
  std::ostringstream console;
  EXPECT_EQ(ezfit(*run.ctx, name, console, &run.record), core::run_status::success) << path;
  return run;
}

}  // namespace inhibra::fit
