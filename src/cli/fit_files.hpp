#pragma once
// inhibra-fit's work: fit each data file in its own context, several at once when
// asked, writing each results file beside its data file and, when asked, the plots.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/model_list.hpp"
#include "cli/options.hpp"
#include "cli/output_plan.hpp"
#include "evidence/run_evidence.hpp"
#include "evidence/selection_simulation.hpp"
#include "fit/ezfit.hpp"

namespace inhibra::cli {

struct file_outcome {
  std::string file;  // as given on the command line
  int status = 0;    // the run status
  int rows = 0;      // rows read (0 when reading stopped before)
  int curves = 0;    // curves found
  fit::run_record record;
  evidence::run_evidence evidence;                        // what the fits say about the mechanism
  std::optional<evidence::simulation_result> simulation;  // when asked and the run had a best model
};

// How every input is fitted and reported.
struct run_settings {
  model_selection models{};
  bool robust = false;
  core::error_model errors = core::error_model::equal;
  bool chain_only = false;  // the fixed chain of stages alone, without the refinement
  bool fast = false;        // the refinement's solves alone, without the chain
  bool profiles = true;     // profile-likelihood limits of the refined fits
  int simulate = 0;         // sets of the selection by simulation after each run (0: none)
  std::uint64_t seed = evidence::default_simulation_seed;
  plot_output plots;
  bool progress = false;       // a line per model on the error stream
  bool advice = false;         // a line per residual check that advises something, after the run
  bool verdict = false;        // the verdict on the mechanism, after the run
  int jobs = 1;                // files fitted at once
  bool name_files = false;     // messages name their data file (more than one input)
  core::table_request table;   // how data tables are read
  std::vector<int> leave_out;  // rows not fitted, by place among the rows read
};

// Fits one planned input. Messages and the data reader's console lines go to `err`
// (serialised by `lock`). A refused input only gets its message and status 2; a plot
// that cannot be written makes the status at least 2. When a stop signal has come,
// the input is not started. The plot files wait under temporary names until the run
// has ended: a run stopped by a signal puts none of them in place, a run that ended
// puts all of them in place.
[[nodiscard]] file_outcome fit_file(const std::string& file, const planned_input& plan,
                                    const run_settings& settings, std::ostream& err,
                                    std::mutex& lock);

// Fits every input of the plan with up to settings.jobs at once; outcomes in the
// order of `files`.
[[nodiscard]] std::vector<file_outcome> fit_files(const std::vector<std::string>& files,
                                                  const std::vector<planned_input>& plan,
                                                  const run_settings& settings, std::ostream& err);

}  // namespace inhibra::cli
