// "Check the Verdict by Simulation...": data sets simulated from the last run's best
// fit at its measured [S] and [I], each fitted again with the run's models, in a
// progress window with a Stop button that then shows how often each model and family
// won. The command thread does the work; the window stays usable meanwhile.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "evidence/run_evidence.hpp"
#include "evidence/simulation_summary.hpp"
#include "shell/main_window.hpp"
#include "strings/text.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

namespace {

constexpr std::string_view simulation_title = "Check the Verdict by Simulation";
// The sets offered at first, and the most a check takes (a few minutes on one core).
constexpr int offered_sets = 200;
constexpr int most_sets = 10000;

// The count the person typed, when it is a whole number from 1 to most_sets.
std::optional<int> set_count(std::string_view typed) {
  const std::string_view text = strings::trim_both(typed);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < 1 || value > most_sets) return std::nullopt;
  return value;
}

}  // namespace

void main_window::command_simulate() {
  if (last_run_.fitted.empty() || !svc_.simulate) return;
  const evidence::run_evidence evidence = evidence::weigh_evidence(last_run_);
  if (evidence.ranking.empty()) return;
  const int model = evidence.ranking.front().model;

  std::string typed = std::to_string(offered_sets);
  const std::string question = "Data sets to simulate from the fit of model " +
                               std::to_string(model) + " (1 to " + std::to_string(most_sets) + "):";
  if (tk_.dlginputtext(typed, simulation_title, question) == 0) return;
  const std::optional<int> sets = set_count(typed);
  if (!sets) {
    tk_.dlgmessage(core::box_kind::warning,
                   "\"" + std::string(strings::trim_both(typed)) +
                       "\" is not a number of data sets: give a whole number from 1 to " +
                       std::to_string(most_sets) + ".");
    return;
  }

  // Stop: from the window's button, from closing it, or from the program ending.
  auto stop = std::make_shared<std::atomic<int>>(0);
  const std::string title = std::string(simulation_title) + " - " +
                            std::filesystem::path(last_run_.data_name).filename().string();
  const int window = tk_.open_progress_window(title,
                                              "Fitting " + std::to_string(*sets) +
                                                  " data sets simulated from the fit of model " +
                                                  std::to_string(model) + "...",
                                              *sets, [stop] { *stop = 1; });
  if (window == 0) return;
  evidence::simulation_options options;
  options.sets = *sets;
  options.seed = evidence::default_simulation_seed;
  options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  options.stop = stop.get();
  options.progress = [this, window, stop](int finished) {
    if (tk_.closing() || (ctx_.stop != nullptr && ctx_.stop->load() != 0)) *stop = 1;
    tk_.set_progress(window, finished);
  };
  tk_.setwindowtitle(st_.main_window, "Wait, checking the verdict by simulation...");
  const evidence::simulation_result result = svc_.simulate(ctx_, last_run_, model, options);
  tk_.setwindowtitle(st_.main_window, st_.main_title);

  std::string outcome;
  if (result.sets == 0 && !result.stopped) {
    outcome = "No data sets could be simulated: the fit of model " + std::to_string(model) +
              " has no more observations than parameters.";
  } else if (result.stopped) {
    outcome = "Stopped after " + std::to_string(result.sets) + " of " + std::to_string(*sets) +
              " data sets; the figures below are from those.";
  } else {
    outcome = "Done: " + std::to_string(result.sets) + " data sets fitted.";
  }
  tk_.finish_progress_window(window, outcome,
                             evidence::simulation_summary(result, last_run_.errors));
}

}  // namespace inhibra::shell
