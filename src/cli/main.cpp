// inhibra-fit: fits enzyme-inhibition models to data files without a window.
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

#include "cli/check.hpp"
#include "cli/cli_frontend.hpp"
#include "cli/fit_files.hpp"
#include "cli/json_output.hpp"
#include "cli/model_list.hpp"
#include "cli/options.hpp"
#include "cli/output_plan.hpp"
#include "cli/stop_signals.hpp"
#include "cli/table_commands.hpp"
#include "data/output_file.hpp"
#include "data/write_access.hpp"
#include "fit/report.hpp"
#include "imaging/plot_image.hpp"

namespace {

using namespace inhibra;

// The exit status after a stop signal: 128 + its number (130 for SIGINT).
int stopped() {
  const int signal_number = cli::stop_signal().load();
  std::cerr << "Error: stopped by " << cli::stop_signal_name(signal_number)
            << ": the results and plot files of unfinished runs were not written; earlier ones "
               "are unchanged\n";
  return 128 + signal_number;
}

bool stop_asked() {
  return cli::stop_signal().load() != 0;
}

void warn_about_source_date_epoch() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (epoch == nullptr || *epoch == '\0' || fit::parse_source_date_epoch(epoch)) return;
  std::cerr << "Warning: SOURCE_DATE_EPOCH=" << epoch
            << " is not a whole number of seconds from 1970 to the end of 9999; the reports "
               "show the current time\n";
}

// The JSON, to standard output or into its file (whole or not at all).
bool write_json(const std::string& target, const std::string& json) {
  if (target == "-") {
    std::cout << json << std::flush;
    if (std::cout) return true;
    std::cerr << "Error: the JSON could not be written to standard output\n";
    return false;
  }
  data::output_file out;
  if (out.open(target)) {
    out << json;
    if (out.commit()) return true;
  }
  std::cerr << "Error: JSON file not written: " << target << " (" << out.error() << ")\n";
  return false;
}

// --check: each file's summary line on standard output as it is checked, unless the
// JSON of the checks goes there (--json -); with --json, the checks as JSON.
int check_files(const cli::options& opt, const core::table_request& table) {
  std::mutex lock;
  std::vector<cli::check_outcome> checked;
  int worst = 0;
  for (const auto& file : opt.files) {
    if (stop_asked()) return stopped();
    cli::cli_frontend fe(std::cerr, lock);
    if (opt.files.size() > 1) fe.set_file_label(file);
    auto outcome = cli::check_file(file, fe, fe.console(), table);
    if (outcome.status == 0 && opt.json_file != "-") std::cout << cli::check_line(outcome);
    worst = std::max(worst, outcome.status);
    checked.push_back(std::move(outcome));
  }
  std::cout << std::flush;
  if (!opt.json_file.empty() && !write_json(opt.json_file, cli::check_json(checked))) {
    worst = std::max(worst, core::code(core::run_status::file_not_opened));
  }
  return worst;
}

}  // namespace

int main(int argc, char** argv) {
  int exit_code = 0;
  const auto opt = cli::parse_options(argc, argv, exit_code);
  if (!opt) return exit_code;
  cli::install_stop_signals();
  // Past a file-size limit a write fails and is reported, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);

  const auto models = cli::parse_model_list(opt->models);
  if (!models) {
    std::cerr << "Error: --models takes \"all\" or numbers and ranges of 1 to 10, such as 1-4,9\n";
    return cli::usage_error;
  }
  core::table_request table;
  if (std::string error; !cli::table_request_of(*opt, table, error)) {
    std::cerr << "Error: " << error << "\n";
    return cli::usage_error;
  }
  if (const auto unused = cli::unused_table_options(*opt)) {
    std::cerr << "Error: " << *unused << "\n";
    return cli::usage_error;
  }
  if (!opt->convert.empty()) return cli::convert_table(*opt, table, std::cerr);
  // Every name is settled before the first file is read, so that a long run does
  // not end in a clash.
  const cli::plot_output plots{opt->plots_dir,
                               opt->format,
                               opt->figure_width,
                               opt->figure_height,
                               opt->dpi,
                               opt->concentration_unit,
                               opt->rate_unit,
                               opt->residuals_against == "rate",
                               opt->replicates == "mean-sd"};
  auto plan = cli::plan_outputs(opt->files, plots, *models, cli::folder_on_disk);
  if (!opt->json_file.empty() && opt->json_file != "-") {
    if (const auto replaced = cli::replaced_input(opt->json_file, plan, cli::folder_on_disk)) {
      std::cerr << "Error: --json " << opt->json_file << " would replace " << *replaced << "\n";
      return cli::usage_error;
    }
  }
  if (opt->check) return check_files(*opt, table);
  if (opt->chain_only && opt->fast) {
    std::cerr << "Error: --fast fits without the chain of stages and --chain-only with the chain "
                 "alone; choose one of them\n";
    return cli::usage_error;
  }
  if (opt->chain_only && opt->weights != "equal") {
    std::cerr << "Error: --weights " << opt->weights
              << " acts in the refinement after the chain of stages, which --chain-only leaves "
                 "out; fit without --chain-only, or with equal weights\n";
    return cli::usage_error;
  }
  warn_about_source_date_epoch();

  cli::run_settings settings;
  settings.models = *models;
  settings.robust = opt->robust;
  settings.errors = core::error_model_named(opt->weights).value_or(core::error_model::equal);
  settings.chain_only = opt->chain_only;
  settings.fast = opt->fast;
  settings.profiles = !opt->no_profiles;
  settings.simulate = opt->simulate;
  settings.seed = opt->seed;
  settings.plots = plots;
  settings.jobs = opt->jobs > 0
                      ? opt->jobs
                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  settings.progress = !opt->quiet && isatty(STDERR_FILENO) != 0;
  settings.advice = !opt->quiet;
  settings.verdict = !opt->quiet;
  settings.name_files = opt->files.size() > 1;
  settings.table = table;
  settings.leave_out = opt->leave_out;

  // Every folder is checked before the first file is fitted, so that a long run does
  // not end in a file that cannot be put in place.
  std::unique_ptr<imaging::headless_app> drawing;
  if (!plots.dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(plots.dir, ec);
    if (const auto refusal = data::folder_refusal(plots.dir); !refusal.empty()) {
      std::cerr << "Error: plot files: " << refusal << "\n";
      return core::code(core::run_status::file_not_opened);
    }
  }
  if (!opt->json_file.empty() && opt->json_file != "-") {
    if (const auto refusal = data::write_refusal(opt->json_file); !refusal.empty()) {
      std::cerr << "Error: JSON file not written: " << opt->json_file << " (" << refusal << ")\n";
      return core::code(core::run_status::file_not_opened);
    }
  }
  cli::refuse_unwritable(plan, [](const std::string& name) { return data::write_refusal(name); });
  if (!plots.dir.empty()) drawing = std::make_unique<imaging::headless_app>();

  const auto outcomes = cli::fit_files(opt->files, plan, settings, std::cerr);
  if (stop_asked()) return stopped();
  int worst = 0;
  for (const auto& o : outcomes)
    worst = std::max(worst, o.status);

  if (!opt->json_file.empty() && !write_json(opt->json_file, cli::results_json(outcomes))) {
    worst = std::max(worst, 2);
  }
  return worst;
}
