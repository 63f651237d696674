#include "shell/remembered.hpp"

#include <algorithm>

#include "toolkit/settings_file.hpp"

namespace inhibra::shell {

namespace {

constexpr std::string_view geometry_key = "window/geometry";
constexpr std::string_view weighting_key = "fit/weighting";
constexpr std::string_view errors_key = "fit/error_model";
constexpr std::string_view models_key = "fit/models";
constexpr std::string_view folder_key = "files/folder";
constexpr std::string_view recent_key = "files/recent";
constexpr std::string_view fast_key = "fit/fast";
constexpr std::string_view pause_key = "plots/pause_at_each_model";
constexpr std::string_view replicate_means_key = "plots/replicate_means";
constexpr std::string_view residual_axis_key = "plots/residuals_against_fitted_rate";
constexpr std::string_view concentration_unit_key = "plots/concentration_unit";
constexpr std::string_view rate_unit_key = "plots/rate_unit";

}  // namespace

remembered recall(const toolkit::settings_file& store) {
  remembered r;
  r.geometry = store.text(geometry_key);
  r.weighting = store.number(weighting_key, 0) != 0 ? 2 : 0;
  // An unknown name (a later version's error model) falls back to equal weights.
  r.errors = core::error_model_named(store.text(errors_key)).value_or(core::error_model::equal);
  // The selection is kept as the numbers of the selected models.
  r.models_kept = store.contains(models_key);
  for (const std::string& number : store.texts(models_key)) {
    int k = 0;
    for (char c : number)
      k = c >= '0' && c <= '9' && k < 100 ? 10 * k + (c - '0') : 100;
    if (k >= 1 && k <= 10) r.models[static_cast<std::size_t>(k - 1)] = 1;
  }
  r.folder = store.text(folder_key);
  for (const std::string& file : store.texts(recent_key)) {
    if (!file.empty() && static_cast<int>(r.recent.size()) < recent_count) r.recent.push_back(file);
  }
  r.pause_at_plots = store.number(pause_key, 1) != 0;
  r.fast = store.number(fast_key, 0) != 0;
  r.replicate_means = store.number(replicate_means_key, 0) != 0;
  r.residuals_by_rate = store.number(residual_axis_key, 0) != 0;
  r.concentration_unit = store.text(concentration_unit_key);
  r.rate_unit = store.text(rate_unit_key);
  return r;
}

void keep(toolkit::settings_file& store, const remembered& r) {
  store.set_text(geometry_key, r.geometry);
  store.set_number(weighting_key, r.weighting);
  store.set_text(errors_key, std::string(core::error_model_name(r.errors)));
  std::vector<std::string> selected;
  for (std::size_t k = 0; k < r.models.size(); ++k) {
    if (r.models[k] != 0) selected.push_back(std::to_string(k + 1));
  }
  store.set_texts(models_key, selected);
  store.set_text(folder_key, r.folder);
  store.set_texts(recent_key, r.recent);
  store.set_number(pause_key, r.pause_at_plots ? 1 : 0);
  store.set_number(fast_key, r.fast ? 1 : 0);
  store.set_number(replicate_means_key, r.replicate_means ? 1 : 0);
  store.set_number(residual_axis_key, r.residuals_by_rate ? 1 : 0);
  store.set_text(concentration_unit_key, r.concentration_unit);
  store.set_text(rate_unit_key, r.rate_unit);
  store.sync();
}

std::vector<std::string> with_recent(std::vector<std::string> recent, std::string_view file) {
  std::erase(recent, std::string(file));
  recent.insert(recent.begin(), std::string(file));
  if (static_cast<int>(recent.size()) > recent_count) recent.resize(recent_count);
  return recent;
}

std::vector<std::string> without_recent(std::vector<std::string> recent, std::string_view file) {
  std::erase(recent, std::string(file));
  return recent;
}

}  // namespace inhibra::shell
