#include "cli/json_output.hpp"

#include <cmath>

#include <nlohmann/json.hpp>

namespace inhibra::cli {

namespace {

using nlohmann::json;

// A number, or null when it is not finite.
json number(double v) {
  return std::isfinite(v) ? json(v) : json(nullptr);
}

std::string parameter_name(int model, int i) {
  switch (i) {
    case 1:
      return "Km";
    case 2:
      return "Vmax";
    case 3:
      return "Ki";
    case 4:
      return model == 6 ? "b" : "a";  // model 6 keeps b in the fourth place
    default:
      return "b";
  }
}

json model_json(const fit::model_result& r) {
  json parameters = json::array();
  for (int i = 1; i <= r.n; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    const double se = r.se_produced ? r.se[k] : NAN;
    const double cl = r.se_produced ? r.cl[k] : NAN;
    parameters.push_back({{"name", parameter_name(r.model, i)},
                          {"value", number(r.p[k])},
                          {"se", number(se)},
                          {"ci_low", number(r.p[k] - cl)},
                          {"ci_high", number(r.p[k] + cl)}});
  }
  json at_bound = json::array();
  for (const auto& hit : r.at_bound)
    at_bound.push_back(parameter_name(r.model, hit.index) + (hit.upper ? "=upper" : "=lower"));
  return {{"model", r.model},       {"name", r.name},
          {"ssr", number(r.ssr)},   {"chain_ssr", number(r.chain_ssr)},
          {"refined", r.refined},   {"at_bound", at_bound},
          {"aicc", number(r.aicc)}, {"sqp_info", r.sqp_info},
          {"refitted", r.refitted}, {"parameters", parameters}};
}

json file_json(const file_outcome& o) {
  json models = json::array();
  for (const auto& r : o.record.fitted)
    models.push_back(model_json(r));
  json ranking = json::array();
  int rank = 0;
  for (const auto& row : o.record.ranking) {
    ++rank;
    const auto& fitted = o.record.fitted;
    const int model = row.index >= 1 && static_cast<std::size_t>(row.index) <= fitted.size()
                          ? fitted[static_cast<std::size_t>(row.index - 1)].model
                          : 0;
    ranking.push_back({{"rank", rank},
                       {"model", model},
                       {"aicc", number(row.aicc)},
                       {"delta_aicc", number(row.delta)},
                       {"weight", number(row.weight)},
                       {"ler", number(row.ler)},
                       {"marker", std::string(row.marker)}});
  }
  return {{"file", o.file},
          {"status", o.status},
          {"results_file", o.record.results_name},
          {"rows", o.rows},
          {"curves", o.curves},
          {"weighting", o.record.weighting == 2 ? "robust" : "none"},
          {"models", models},
          {"ranking", ranking},
          {"best_model", o.record.best_model != 0 ? json(o.record.best_model) : json(nullptr)}};
}

}  // namespace

std::string results_json(const std::vector<file_outcome>& outcomes) {
  json files = json::array();
  for (const auto& o : outcomes)
    files.push_back(file_json(o));
  return json{{"files", files}}.dump(2) + "\n";
}

}  // namespace inhibra::cli
