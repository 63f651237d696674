// inhibra-fit: fits enzyme-inhibition models to data files without a window.
#include <algorithm>
#include <iostream>
#include <mutex>

#include "cli/check.hpp"
#include "cli/cli_frontend.hpp"
#include "cli/options.hpp"

int main(int argc, char** argv) {
  using namespace inhibra;
  int exit_code = 0;
  const auto opt = cli::parse_options(argc, argv, exit_code);
  if (!opt) return exit_code;

  std::mutex lock;
  cli::cli_frontend fe(std::cerr, lock);
  if (!opt->check) {
    std::cerr << "Error: this build of inhibra-fit only checks data files; use --check\n";
    return 2;
  }
  int worst = 0;
  for (const auto& file : opt->files) {
    worst = std::max(worst, cli::check_file(file, fe, std::cout));
  }
  return worst;
}
