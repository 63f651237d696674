#pragma once
// What the desktop program keeps between sessions: the main window's place and
// size, the weighting and error model, the model selection, the last data folder,
// the recent data files, whether a run pauses at each model's plot, whether runs fit
// fast, the residual plot's axis and the axis units.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/error_model.hpp"

namespace inhibra::toolkit {
class settings_file;
}

namespace inhibra::shell {

// How many recent data files the File menu offers.
inline constexpr int recent_count = 6;

struct remembered {
  std::string geometry;  // the main window's, as the toolkit stores it
  int weighting = 0;     // the robust-weighting switch (0 off, 2 on)
  core::error_model errors = core::error_model::equal;  // equal, relative or Poisson weights
  std::array<int, 10> models{};                         // model k selected: models[k - 1] == 1
  bool models_kept = false;         // a selection was kept (else the program's own stays)
  std::string folder;               // folder of the data file opened last
  std::vector<std::string> recent;  // most recent first, at most recent_count
  bool pause_at_plots = true;
  bool fast = false;               // runs fit by the refinement's solves alone (Fast Fitting)
  bool replicate_means = false;    // the rate plot shows replicates as mean and SD
  bool residuals_by_rate = false;  // residuals against the fitted rate, else against [S]
  std::string concentration_unit;  // on the axis labels of concentrations
  std::string rate_unit;           // on the axis labels of rates
};

// What `store` holds; anything missing or unreadable keeps its default.
[[nodiscard]] remembered recall(const toolkit::settings_file& store);
// Writes every part of `r` to `store`.
void keep(toolkit::settings_file& store, const remembered& r);

// `recent` with `file` in front: an earlier mention of it is removed and the list
// is cut to recent_count names.
[[nodiscard]] std::vector<std::string> with_recent(std::vector<std::string> recent,
                                                   std::string_view file);

// `recent` without `file`.
[[nodiscard]] std::vector<std::string> without_recent(std::vector<std::string> recent,
                                                      std::string_view file);

}  // namespace inhibra::shell
