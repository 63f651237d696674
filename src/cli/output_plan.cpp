#include "cli/output_plan.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include <fmt/format.h>

#include "data/file_names.hpp"

namespace inhibra::cli {

namespace {

namespace fs = std::filesystem;

// The last component of a resolved folder ("/x/a" -> "a").
std::string folder_leaf(const std::string& resolved) {
  std::string folder = resolved;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return data::split_folder(folder).leaf;
}

}  // namespace

std::string plot_file_name(const plot_output& plots, const std::string& stem,
                           std::string_view what) {
  return (fs::path(plots.dir) / fmt::format("{}-{}.{}", stem, what, plots.format)).string();
}

std::string model_plot_kind(int model) {
  return fmt::format("model{:02}-xy", model);
}

std::vector<std::string> plot_kinds(const model_selection& models) {
  std::vector<std::string> kinds;
  for (std::size_t i = 0; i < models.size(); ++i) {
    if (models[i]) kinds.push_back(model_plot_kind(static_cast<int>(i) + 1));
  }
  for (const char* best : {"best-xy", "best-residuals", "best-kmapp", "best-mc50",
                           "best-lineweaver-burk", "best-dixon"})
    kinds.emplace_back(best);
  return kinds;
}

picture_pixels picture_size(const plot_output& plots) {
  if (!(plots.width_inches > 0.0)) return {};
  const double height = plots.height_inches > 0.0 ? plots.height_inches : 0.75 * plots.width_inches;
  const auto pixels = [&](double inches) {
    return static_cast<int>(std::max(1L, std::lround(inches * plots.dpi)));
  };
  return {pixels(plots.width_inches), pixels(height)};
}

std::string folder_on_disk(const std::string& folder) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  if (ec) return folder;
  const fs::path resolved = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal().string() : resolved.string();
}

std::string resolved_name(const std::string& name, const folder_resolver& resolve) {
  const auto [folder, leaf] = data::split_folder(name);
  std::string resolved = resolve(folder);
  if (resolved.empty() || resolved.back() != '/') resolved += '/';
  return resolved + leaf;
}

std::vector<planned_input> plan_outputs(const std::vector<std::string>& files,
                                        const plot_output& plots, const model_selection& models,
                                        const folder_resolver& resolve) {
  std::vector<planned_input> plan(files.size());
  std::vector<std::string> data_keys(files.size());
  std::vector<std::string> results_keys(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    plan[i].data_name = data::data_file_name(files[i]);
    plan[i].results_name = data::results_name(plan[i].data_name);
    data_keys[i] = resolved_name(plan[i].data_name, resolve);
    results_keys[i] = resolved_name(plan[i].results_name, resolve);
  }

  std::map<std::string, std::size_t> results_owner;
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = 0; j < files.size() && plan[i].refusal.empty(); ++j) {
      // An input whose results file is its own data file is stopped by the reader.
      if (j != i && data_keys[j] == results_keys[i]) {
        plan[i].refusal = "Results file " + plan[i].results_name + " of " + plan[i].data_name +
                          " is the data file " + plan[j].data_name +
                          " of this run: " + plan[i].data_name + " is not fitted";
      }
    }
    if (!plan[i].refusal.empty()) continue;
    const auto [owner, fresh] = results_owner.emplace(results_keys[i], i);
    if (!fresh) {
      plan[i].refusal = "Results file " + plan[i].results_name + " of " + plan[i].data_name +
                        " is also the results file of " + plan[owner->second].data_name + ": " +
                        plan[i].data_name + " is not fitted";
    }
  }
  if (plots.dir.empty()) return plan;

  std::vector<std::string> stems(files.size());
  std::map<std::string, int> stem_count;
  for (std::size_t i = 0; i < files.size(); ++i) {
    stems[i] = fs::path(plan[i].data_name).stem().string();
    if (plan[i].refusal.empty()) ++stem_count[stems[i]];
  }
  std::map<std::string, std::size_t> stem_owner;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!plan[i].refusal.empty()) continue;
    std::string stem = stems[i];
    if (stem_count[stem] > 1) {
      stem = folder_leaf(resolve(data::split_folder(plan[i].data_name).folder)) + "-" + stem;
    }
    const auto [owner, fresh] = stem_owner.emplace(stem, i);
    if (!fresh) {
      plan[i].refusal = "Plot files of " + plan[i].data_name +
                        " would have the names of those of " + plan[owner->second].data_name +
                        " (" + stem + "-...): " + plan[i].data_name + " is not fitted";
      continue;
    }
    plan[i].plot_stem = stem;
  }

  // A plot file never takes the place of a data file of the run. Every plot file is in
  // one folder: it is resolved once.
  std::map<std::string, std::string> resolved_folders;
  const folder_resolver resolve_once = [&](const std::string& folder) {
    const auto [at, fresh] = resolved_folders.try_emplace(folder);
    if (fresh) at->second = resolve(folder);
    return at->second;
  };
  std::map<std::string, std::size_t> data_owner;
  for (std::size_t j = 0; j < files.size(); ++j)
    data_owner.emplace(data_keys[j], j);
  const auto kinds = plot_kinds(models);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!plan[i].refusal.empty()) continue;
    for (const auto& what : kinds)
      plan[i].plot_files.push_back(plot_file_name(plots, plan[i].plot_stem, what));
    for (const auto& name : plan[i].plot_files) {
      const auto owner = data_owner.find(resolved_name(name, resolve_once));
      if (owner == data_owner.end()) continue;
      plan[i].refusal = "Plot file " + name + " of " + plan[i].data_name +
                        " would replace the data file " + plan[owner->second].data_name +
                        " of this run: " + plan[i].data_name + " is not fitted";
      plan[i].plot_stem.clear();
      plan[i].plot_files.clear();
      break;
    }
  }
  return plan;
}

void refuse_unwritable(std::vector<planned_input>& plan, const write_check& check) {
  for (auto& p : plan) {
    if (!p.refusal.empty()) continue;
    std::string why = check(p.results_name);
    std::string what = "Results file " + p.results_name;
    for (std::size_t k = 0; why.empty() && k < p.plot_files.size(); ++k) {
      why = check(p.plot_files[k]);
      what = "Plot file " + p.plot_files[k];
    }
    if (!why.empty()) p.refusal = what + ": " + why + ": " + p.data_name + " is not fitted";
  }
}

std::optional<std::string> replaced_input(const std::string& name,
                                          const std::vector<planned_input>& plan,
                                          const folder_resolver& resolve) {
  const std::string key = resolved_name(name, resolve);
  for (const auto& p : plan) {
    if (resolved_name(p.data_name, resolve) == key) return p.data_name;
    if (!p.refusal.empty()) continue;
    if (resolved_name(p.results_name, resolve) == key) return p.results_name;
    for (const auto& plot : p.plot_files) {
      if (resolved_name(plot, resolve) == key) return plot;
    }
  }
  return std::nullopt;
}

}  // namespace inhibra::cli
