#pragma once
// The command line of inhibra-fit.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "evidence/selection_simulation.hpp"

namespace inhibra::cli {

struct options {
  std::vector<std::string> files;
  std::string models = "all";  // e.g. "1-4,9" or "all"
  bool robust = false;
  std::string weights = "equal";  // the error model: equal, relative or poisson
  bool chain_only = false;        // the fixed chain of stages without the refinement
  bool fast = false;              // the refinement's solves alone, without the chain
  bool no_profiles = false;       // skip the profile-likelihood limits
  int simulate = 0;               // data sets of the selection by simulation (0: none)
  std::uint64_t seed = evidence::default_simulation_seed;  // of the simulation
  bool check = false;
  std::string plots_dir;       // empty: no plot files
  std::string format = "png";  // png, svg, pdf or bmp
  double figure_width = 0.0;   // inches; 0: 800 x 600 pixels
  double figure_height = 0.0;  // inches; 0: three quarters of the width
  int dpi = 96;
  std::string concentration_unit;  // of [S] and [I] on the plots
  std::string rate_unit;
  std::string residuals_against = "substrate";  // or "rate"
  std::vector<int> leave_out;  // rows not fitted, by line (a table's by rate, in reading order)
  std::string replicates = "points";  // or "mean-sd": the rate plot's replicates
  std::string json_file;              // empty: no JSON; "-": standard output
  int jobs = 0;                       // 0: number of cores
  bool quiet = false;
  // Data tables.
  bool table = false;   // read every file as a table, whatever its name
  std::string columns;  // "S=2,I=1,v=4": the columns of a long table
  std::string layout;   // "long" or "wide"; empty: worked out from the header row
  std::string sheet;    // of an .xlsx workbook; empty: the first
  std::string convert;  // a table to write in the native format
  std::string output;   // the native file --convert writes; empty: beside it as .in
};

// The exit status of a command line that was not understood (EX_USAGE of sysexits.h):
// apart from the run statuses, so a script can tell a wrong call from a bad file.
inline constexpr int usage_error = 64;

// Parses argv. On --help, --version or a usage error returns nullopt and sets
// `exit_code` (0 after help or version, usage_error after an error) with the text
// already printed, errors on the error stream as "Error: ...".
[[nodiscard]] std::optional<options> parse_options(int argc, char** argv, int& exit_code);

}  // namespace inhibra::cli
