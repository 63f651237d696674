#pragma once
// inhibra-fit's work: fit each data file in its own context, several at once when
// asked, writing each results file beside its data file and, when asked, the plots.
#include <mutex>
#include <string>
#include <vector>

#include "cli/model_list.hpp"
#include "cli/options.hpp"
#include "fit/ezfit.hpp"

namespace inhibra::cli {

struct file_outcome {
  std::string file;  // as given on the command line
  int status = 0;    // the run status
  int rows = 0;      // rows read (0 when reading stopped before)
  int curves = 0;    // curves found
  fit::run_record record;
};

// Where plot files go and how they are named: <dir>/<stem>-model07-xy.png for the
// plot of each fit, <dir>/<stem>-best-xy.png (-residuals, -kmapp, -mc50) for the best
// model. Empty dir: no plot files.
struct plot_output {
  std::string dir;
  std::string format = "png";
};

// How every file is fitted: robust weighting, and the fixed chain of stages alone
// (without the refinement after it).
struct fit_method {
  bool robust = false;
  bool chain_only = false;
};

// Fits one file. Messages go to `err` (serialised by `lock`), console lines of the
// data reader to `console`. `progress`: print a line per model.
[[nodiscard]] file_outcome fit_file(const std::string& file, const model_selection& models,
                                    const fit_method& method, const plot_output& plots,
                                    bool progress, std::ostream& err, std::ostream& console,
                                    std::mutex& lock);

// Fits every file with up to `jobs` at once; outcomes in the order of `files`.
[[nodiscard]] std::vector<file_outcome> fit_files(const std::vector<std::string>& files,
                                                  const model_selection& models,
                                                  const fit_method& method,
                                                  const plot_output& plots, bool progress, int jobs,
                                                  std::ostream& err, std::ostream& console);

}  // namespace inhibra::cli
