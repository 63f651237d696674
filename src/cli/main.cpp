// inhibra-fit: fits enzyme-inhibition models to data files without a window.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include <unistd.h>

#include "cli/check.hpp"
#include "cli/cli_frontend.hpp"
#include "cli/fit_files.hpp"
#include "cli/json_output.hpp"
#include "cli/model_list.hpp"
#include "cli/options.hpp"
#include "toolkit/plot_image.hpp"

int main(int argc, char** argv) {
  using namespace inhibra;
  int exit_code = 0;
  const auto opt = cli::parse_options(argc, argv, exit_code);
  if (!opt) return exit_code;

  if (opt->check) {
    std::mutex lock;
    cli::cli_frontend fe(std::cerr, lock);
    int worst = 0;
    for (const auto& file : opt->files)
      worst = std::max(worst, cli::check_file(file, fe, std::cout));
    return worst;
  }

  const auto models = cli::parse_model_list(opt->models);
  if (!models) {
    std::cerr << "Error: --models takes \"all\" or numbers and ranges of 1 to 10, such as 1-4,9\n";
    return 2;
  }
  cli::plot_output plots{opt->plots_dir, opt->format};
  std::unique_ptr<toolkit::headless_app> drawing;
  if (!plots.dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(plots.dir, ec);
    if (!std::filesystem::is_directory(plots.dir)) {
      std::cerr << "Error: cannot create the plot folder " << plots.dir << "\n";
      return 2;
    }
    drawing = std::make_unique<toolkit::headless_app>();
  }
  const int jobs = opt->jobs > 0
                       ? opt->jobs
                       : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const bool progress = !opt->quiet && isatty(STDERR_FILENO) != 0;

  const auto outcomes = cli::fit_files(opt->files, *models, {opt->robust, opt->chain_only}, plots,
                                       progress, jobs, std::cerr, std::cout);
  int worst = 0;
  for (const auto& o : outcomes)
    worst = std::max(worst, o.status);

  if (!opt->json_file.empty()) {
    const std::string json = cli::results_json(outcomes);
    if (opt->json_file == "-") {
      std::cout << json;
    } else {
      std::ofstream out(opt->json_file, std::ios::binary);
      out << json;
      if (!out) {
        std::cerr << "Error: cannot write " << opt->json_file << "\n";
        return std::max(worst, 2);
      }
    }
  }
  return worst;
}
