#include "cli/options.hpp"

#include <CLI/CLI.hpp>

namespace inhibra::cli {

std::optional<options> parse_options(int argc, char** argv, int& exit_code) {
  options opt;
  CLI::App app{"inhibra-fit: fits enzyme-inhibition models to data files without a window.",
               "inhibra-fit"};
  app.set_version_flag("--version", "inhibra-fit " INHIBRA_VERSION, "print the version and exit");
  app.add_option("files", opt.files, "data files ([S] [I] rate per line)")->required();
  app.add_option("-m,--models", opt.models, "models to fit: e.g. 1-4,9 or all")->default_val("all");
  app.add_flag("-r,--robust", opt.robust, "robust weighting");
  app.add_flag("--chain-only", opt.chain_only,
               "fit with the fixed chain of stages only, without the refinement after it "
               "(reproduces results files of earlier versions)");
  app.add_flag("--no-profiles", opt.no_profiles,
               "skip the profile-likelihood limits (faster on large files)");
  app.add_flag("--check", opt.check,
               "only read and check each data file; print one summary line each");
  app.add_option("--plots", opt.plots_dir, "write the result plots of each run into DIR");
  app.add_option("--format", opt.format, "png (default), svg, pdf or bmp")
      ->check(CLI::IsMember({"png", "svg", "pdf", "bmp"}));
  app.add_option("--json", opt.json_file,
                 "machine-readable results of every file ('-' = standard output)");
  app.add_option("-j,--jobs", opt.jobs, "fit up to N files at once (default: number of cores)")
      ->check(CLI::Range(1, 256));
  app.add_flag("-q,--quiet", opt.quiet, "no progress output");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    exit_code = app.exit(e);
    if (exit_code != 0) exit_code = 2;
    return std::nullopt;
  }
  return opt;
}

}  // namespace inhibra::cli
