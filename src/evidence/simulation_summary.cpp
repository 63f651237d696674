#include "evidence/simulation_summary.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <string>

#include "models/model_catalogue.hpp"

namespace inhibra::evidence {

namespace {

// A share of the sets in per cent, one decimal.
std::string share(int wins, int sets) {
  return sets > 0 ? fmt::format("{:5.1f} %", 100.0 * wins / sets) : std::string("    - %");
}

std::string families_lines(const char* title, const std::vector<family_wins>& families, int sets) {
  std::string out = fmt::format("  {}:\n", title);
  // The names in one column as wide as the longest.
  std::size_t width = 0;
  for (const auto& f : families)
    width = std::max(width, f.name.size());
  for (const auto& f : families) {
    out += fmt::format("    {:<{}}{:6}  {}  (models {})\n", f.name, width + 2, f.wins,
                       share(f.wins, sets), fmt::join(f.models, ", "));
  }
  return out;
}

}  // namespace

std::string simulation_summary(const simulation_result& s, core::error_model errors) {
  std::string out = fmt::format(
      "Selection by simulation: {} data sets from the fit of model {} at the measured [S] and "
      "[I], {} weights, noise s = {:.4g}, seed {}{}\n",
      s.sets, s.model, core::error_model_name(errors), s.noise, s.seed,
      s.stopped ? " (stopped early)" : "");
  if (s.sets == 0) return out;
  out += "Would the same design pick the same model again? Sets won (lowest textbook AICc):\n";
  for (const int m : s.models) {
    const int wins = s.wins[static_cast<std::size_t>(m - 1)];
    out += fmt::format("    model {:2}{}{:12}  {}\n", m,
                       m == s.model ? " (simulated)" : "            ", wins, share(wins, s.sets));
  }
  if (s.undecided > 0)
    out += fmt::format("    undecided{:22}  {}\n", s.undecided, share(s.undecided, s.sets));
  out += families_lines("by kind", s.by_kind, s.sets);
  out += families_lines("by site", s.by_site, s.sets);
  const models::model_facts* facts = models::model_info(s.model);
  out += fmt::format("Model {}'s parameters over the sets ({} % to {} %):\n", s.model,
                     simulation_low_percentile, simulation_high_percentile);
  for (int i = 0; i < s.n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    out += fmt::format("    {:<6}{:14.6g}  to {:14.6g}\n",
                       facts != nullptr ? facts->parameter_names[k] : std::string_view(),
                       s.limits[k].low, s.limits[k].high);
  }
  return out;
}

}  // namespace inhibra::evidence
