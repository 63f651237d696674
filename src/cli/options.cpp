#include "cli/options.hpp"

#include <charconv>
#include <iostream>

#include <CLI/CLI.hpp>

namespace inhibra::cli {

namespace {

// The end of --help: what the exit status says, as in the manual page.
constexpr const char* status_help =
    R"(Exit status (with several files, the largest over all of them):
  0    success
  1    a data file does not exist
  2    a file could not be opened, read or written
  3    a data file was rejected (rows, columns or curves out of limits)
  5    too many parameters or too few data points for a model
  6    a model cannot be used with the file's columns
  64   the command line was not understood; nothing was read or written
  129, 130, 143  stopped by SIGHUP, SIGINT or SIGTERM
Standard output carries only the JSON of --json - or the lines of --check;
every message goes to standard error.
)";

}  // namespace

std::optional<options> parse_options(int argc, char** argv, int& exit_code) {
  options opt;
  CLI::App app{"inhibra-fit: fits enzyme-inhibition models to data files without a window.",
               "inhibra-fit"};
  app.set_version_flag("--version", "inhibra-fit " INHIBRA_VERSION, "print the version and exit");
  app.footer(status_help);
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return "Error: " + std::string(e.what()) + " (inhibra-fit --help lists the options)\n";
  });
  app.add_option("files", opt.files,
                 "data files: [S] [I] rate per line, or tables (.csv .tsv .tab .xlsx)");
  app.add_option("-m,--models", opt.models, "models to fit: e.g. 1-4,9 or all")->default_val("all");
  app.add_flag("-r,--robust", opt.robust, "robust weighting");
  app.add_option("--weights", opt.weights,
                 "error model: equal (default), relative (error grows with the rate, 1/v^2) "
                 "or poisson (variance grows with the rate, 1/v)")
      ->check(CLI::IsMember({"equal", "relative", "poisson"}));
  app.add_flag("--chain-only", opt.chain_only,
               "fit with the fixed chain of stages only, without the refinement after it "
               "(reproduces results files of earlier versions)");
  app.add_flag("--fast", opt.fast,
               "fit by the refinement's least-squares solves alone, without the fixed chain "
               "of stages before them (many times faster; reaches the same optima)");
  app.add_flag("--no-profiles", opt.no_profiles,
               "skip the profile-likelihood limits (faster on large files)");
  auto* simulate =
      app.add_option("--simulate", opt.simulate,
                     "after the run, simulate N data sets from the best model's fit at the "
                     "measured [S] and [I] and count how often each model would be chosen")
          ->check(CLI::Range(1, 1000000));
  app.add_option("--seed", opt.seed,
                 "seed of the simulated data sets (default " +
                     std::to_string(evidence::default_simulation_seed) + ")")
      ->needs(simulate);
  app.add_flag("--check", opt.check,
               "only read and check each data file; print one summary line each "
               "(with --json, the checks as JSON)");
  app.add_option("--plots", opt.plots_dir, "write the result plots of each run into DIR");
  app.add_option("--format", opt.format, "png (default), svg, pdf or bmp")
      ->check(CLI::IsMember({"png", "svg", "pdf", "bmp"}));
  auto* width = app.add_option("--figure-width", opt.figure_width,
                               "width of the plots in inches, e.g. 3.5 for one journal column "
                               "(text stays 9 pt at any size; default 800 x 600 pixels)")
                    ->check(CLI::Range(0.5, 40.0));
  app.add_option("--figure-height", opt.figure_height,
                 "height of the plots in inches (default three quarters of the width)")
      ->check(CLI::Range(0.5, 40.0))
      ->needs(width);
  app.add_option("--dpi", opt.dpi, "resolution of the plots in pixels per inch (default 96)")
      ->check(CLI::Range(30, 2400));
  app.add_option("--concentration-unit", opt.concentration_unit,
                 "unit of [S] and [I] on the plots' axes and legends, e.g. uM");
  app.add_option("--rate-unit", opt.rate_unit, "unit of the rates on the plots, e.g. uM/min");
  app.add_option("--residuals-against", opt.residuals_against,
                 "x axis of the residual plot: substrate ([S], default) or rate (fitted rate)")
      ->check(CLI::IsMember({"substrate", "rate"}));
  app.add_option("--replicates", opt.replicates,
                 "replicates (rows of equal [S] and [I]) on the rate plots: points (default, a "
                 "dot each) or mean-sd (their mean with an error bar of one standard deviation)")
      ->check(CLI::IsMember({"points", "mean-sd"}));
  app.add_option("--leave-out", opt.leave_out,
                 "leave rows out of the fit, by their line numbers in the data file (a table's "
                 "rates by their place in reading order), e.g. 4,17; the file is not changed")
      ->delimiter(',')
      ->allow_extra_args(false)  // the files after it are files, not more rows
      ->check(CLI::Validator(
          [](const std::string& text) {
            int line = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), line);
            const bool whole = ec == std::errc() && end == text.data() + text.size();
            return whole && line >= 1 ? std::string()
                                      : "'" + text + "' is not a line number (1, 2, ...)";
          },
          "LINE"));
  app.add_option("--json", opt.json_file,
                 "machine-readable results of every file ('-' = standard output)");
  app.add_option("-j,--jobs", opt.jobs, "fit up to N files at once (default: number of cores)")
      ->check(CLI::Range(1, 256));
  app.add_flag("-q,--quiet", opt.quiet,
               "no progress output and no advice from the residual checks");
  app.add_flag("--table", opt.table,
               "read every file as a data table, whatever its name (.csv, .tsv, .tab and .xlsx "
               "files are read as tables anyway)");
  app.add_option("--columns", opt.columns,
                 "the columns of [S], [I] and the rate in a long table, such as S=2,I=1,v=4");
  app.add_option("--layout", opt.layout,
                 "long (one observation a row) or wide (a plate: [S] down the first column, "
                 "[I] across the first row); worked out from the header row when not given")
      ->check(CLI::IsMember({"long", "wide"}));
  app.add_option("--sheet", opt.sheet, "the sheet of an .xlsx workbook (default: the first)");
  auto* convert = app.add_option("--convert", opt.convert,
                                 "write the data of a table in the native format and stop");
  app.add_option("-o,--output", opt.output,
                 "the native file --convert writes (default: the table's name ending in .in)")
      ->needs(convert);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    exit_code = app.exit(e);
    if (exit_code != 0) exit_code = usage_error;
    return std::nullopt;
  }
  if (opt.files.empty() && opt.convert.empty()) {
    std::cerr << "Error: files is required (inhibra-fit --help lists the options)\n";
    exit_code = usage_error;
    return std::nullopt;
  }
  if (!opt.files.empty() && !opt.convert.empty()) {
    std::cerr << "Error: --convert writes one table in the native format and fits nothing; give "
                 "the files to fit in another call\n";
    exit_code = usage_error;
    return std::nullopt;
  }
  return opt;
}

}  // namespace inhibra::cli
