// Arbitrary file names (one per line; a first byte with its lowest bit set asks for
// plots) through the naming rules of a run: the data name, its results name, and
// the plan of one inhibra-fit call. Checks that a results file stays beside its data
// file, is the data file only when that is named *.out (a case the reader stops),
// and that the plan never lets two accepted inputs share a results file or a plot
// file, nor a results file replace another input's data file, nor refuses without a
// clash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/output_plan.hpp"
#include "data/file_names.hpp"

namespace {

using namespace inhibra;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

std::string lexical(const std::string& folder) {
  return (std::filesystem::path("/w/run") / (folder.empty() ? "." : folder))
      .lexically_normal()
      .string();
}

std::string folder_of(const std::string& name) {
  const auto slash = name.find_last_of('/');
  return slash == std::string::npos ? "" : name.substr(0, slash + 1);
}

constexpr const char* plot_kinds[] = {"model01-xy",     "model10-xy", "best-xy",
                                      "best-residuals", "best-kmapp", "best-mc50"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const bool plots = (bytes[0] & 1u) != 0;
  std::vector<std::string> names(1);
  for (std::size_t i = 1; i < size && names.size() <= 8; ++i) {
    if (bytes[i] == '\n') {
      names.emplace_back();
    } else {
      names.back() += static_cast<char>(bytes[i]);
    }
  }

  for (const auto& raw : names) {
    const std::string data = data::normalise_data_name(raw);
    require(data::normalise_data_name(data) == data, "normalising twice changes nothing");
    const std::string results = data::results_name(data);
    require(folder_of(results) == folder_of(data), "results beside the data");
    require(results.ends_with("out"), "results end in out");
    const std::string leaf = data.substr(folder_of(data).size());
    require((results == data) == leaf.ends_with(".out"), "only *.out is its own results name");
  }

  cli::model_selection every_model;
  every_model.fill(true);
  const cli::plot_output plot_files_asked{plots ? "plots" : "", "png"};
  const auto plan = cli::plan_outputs(names, plot_files_asked, every_model, lexical);
  require(plan.size() == names.size(), "one entry per input");
  std::map<std::string, std::size_t> results_of;
  std::set<std::string> data_keys;
  for (const auto& p : plan)
    data_keys.insert(cli::resolved_name(p.data_name, lexical));
  std::set<std::string> plot_files;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const auto& p = plan[i];
    const std::string data_key = cli::resolved_name(p.data_name, lexical);
    const std::string results_key = cli::resolved_name(p.results_name, lexical);
    bool clash = results_of.contains(results_key);
    for (std::size_t j = 0; j < plan.size(); ++j) {
      if (j != i && cli::resolved_name(plan[j].data_name, lexical) == results_key) clash = true;
    }
    if (!p.refusal.empty()) {
      require(p.refusal.find(p.data_name) != std::string::npos, "a refusal names its input");
      require(clash || plots, "refused only for a clash");
      continue;
    }
    require(!clash, "accepted without a clash");
    require(results_key != data_key || p.data_name.ends_with(".out"), "own results only as *.out");
    results_of[results_key] = i;
    require(plots == !p.plot_stem.empty(), "a plot stem exactly when plots are written");
    if (plots) {
      for (const char* kind : plot_kinds) {
        require(plot_files.insert(p.plot_stem + "-" + kind).second, "plot file names unique");
      }
    }
  }
  return 0;
}
