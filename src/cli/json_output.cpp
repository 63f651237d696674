#include "cli/json_output.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fit/fast_fit.hpp"
#include "models/model_catalogue.hpp"

namespace inhibra::cli {

namespace {

using nlohmann::json;

// True when the text is well-formed UTF-8 (no overlong forms, no surrogates, nothing
// beyond U+10FFFF).
bool valid_utf8(std::string_view text) {
  struct form {
    unsigned char first, last;  // range of the lead byte
    std::size_t continuation;   // bytes that follow it
    std::uint32_t lowest;       // smallest code point that needs this length
  };
  static constexpr std::array<form, 3> forms{
      {{0xC2, 0xDF, 1, 0x80}, {0xE0, 0xEF, 2, 0x800}, {0xF0, 0xF4, 3, 0x10000}}};
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    const auto f = std::find_if(forms.begin(), forms.end(),
                                [&](const form& x) { return lead >= x.first && lead <= x.last; });
    if (f == forms.end() || text.size() - i <= f->continuation) return false;
    std::uint32_t code = lead & (0x3Fu >> f->continuation);
    for (std::size_t k = 1; k <= f->continuation; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0u) != 0x80u) return false;
      code = (code << 6) | (c & 0x3Fu);
    }
    if (code < f->lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += f->continuation + 1;
  }
  return true;
}

std::string hex_bytes(std::string_view text) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out += digits[u >> 4];
    out += digits[u & 0x0F];
  }
  return out;
}

// A file name as JSON text: the name itself, and, when it is not UTF-8 (a file
// system name can be any bytes), its bytes in hex under `<key>_bytes`; the text then
// shows each stray byte as U+FFFD.
void put_name(json& object, const std::string& key, const std::string& name) {
  object[key] = name;
  if (!valid_utf8(name)) object[key + "_bytes"] = hex_bytes(name);
}

bool same_aicc(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

// A number, or null when it is not finite.
json number(double v) {
  return std::isfinite(v) ? json(v) : json(nullptr);
}

json numbers(const std::vector<double>& values) {
  json out = json::array();
  for (const double v : values)
    out.push_back(number(v));
  return out;
}

std::string parameter_name(int model, int i) {
  const models::model_facts* facts = models::model_info(model);
  return facts != nullptr ? std::string(facts->parameter_names[static_cast<std::size_t>(i - 1)])
                          : std::string();
}

// One residual check: null when it could not be made; its advice null when it has none.
json residual_check_json(const fit::diagnostic_test& t) {
  if (!t.available) return nullptr;
  return {{"statistic", number(t.statistic)},
          {"p", number(t.p)},
          {"advice", t.advice.empty() ? json(nullptr) : json(t.advice)}};
}

json diagnostics_json(const fit::residual_diagnostics& d) {
  json weights = nullptr;
  if (d.weights == fit::weights_advice::relative) weights = "relative";
  if (d.weights == fit::weights_advice::poisson_or_equal) weights = "poisson_or_equal";
  return {{"runs", residual_check_json(d.runs)},
          {"normality", residual_check_json(d.normality)},
          {"spread", residual_check_json(d.spread)},
          {"lack_of_fit", residual_check_json(d.lack_of_fit)},
          {"advised_weights", weights}};
}

// The model's criteria: the textbook ones (log-likelihood, AICc with k = n + 1, BIC,
// and the Akaike weight and log10 evidence ratio they give) and the report's own
// criterion.
void put_criteria(json& out, const fit::model_result& r, const evidence::textbook_row* row) {
  out["log_likelihood"] = number(r.textbook.log_likelihood);
  out["aicc"] = number(r.textbook.aicc);
  out["bic"] = number(r.textbook.bic);
  out["akaike_weight"] = row != nullptr ? number(row->weight) : json(nullptr);
  out["log10_evidence_ratio"] = row != nullptr ? number(row->log10_ratio) : json(nullptr);
  out["report_criterion"] = number(r.aicc);
}

json model_json(const fit::model_result& r, const evidence::textbook_row* row) {
  // Parameters at a box end are held there: they have no standard error or symmetric
  // limits, and the others' errors are conditional on them.
  json held = json::array();
  for (int i = 1; i <= r.n; ++i) {
    if (r.held[static_cast<std::size_t>(i - 1)]) held.push_back(parameter_name(r.model, i));
  }
  json parameters = json::array();
  for (int i = 1; i <= r.n; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    const bool shown = r.se_free_produced && !r.held[k];
    const double se = shown ? r.se_free[k] : NAN;
    const double cl = shown ? r.cl_free[k] : NAN;
    json parameter = {{"name", parameter_name(r.model, i)},
                      {"value", number(r.p[k])},
                      {"se", number(se)},
                      {"ci_low", number(r.p[k] - cl)},
                      {"ci_high", number(r.p[k] + cl)},
                      {"conditional_on", r.held[k] ? json::array() : held}};
    if (r.profiled) {
      const auto& limits = r.profile[k];
      json open = json::array();
      if (limits.low_open) open.push_back("low");
      if (limits.high_open) open.push_back("high");
      parameter["profile_low"] = number(limits.low);
      parameter["profile_high"] = number(limits.high);
      parameter["profile_open"] = open;
    }
    parameters.push_back(parameter);
  }
  json at_bound = json::array();
  for (const auto& hit : r.at_bound)
    at_bound.push_back(parameter_name(r.model, hit.index) + (hit.upper ? "=upper" : "=lower"));
  json out = {{"model", r.model},
              {"name", r.name},
              {"ssr", number(r.ssr)},
              {"chain_ssr", number(r.chain_ssr)},
              {"refined", r.refined},
              {"at_bound", at_bound},
              {"conditional_on", held},
              {"sqp_info", r.sqp_info == fit::sqp_not_run ? json(nullptr) : json(r.sqp_info)},
              {"refitted", r.refitted},
              {"parameters", parameters},
              {"diagnostics", diagnostics_json(r.diagnostics)},
              {"cooks_distance", numbers(r.influence.cooks_distance)}};
  put_criteria(out, r, row);
  // The robust weight of each row at the fit: only robust weighting has weights.
  if (r.weighting == core::weighting::robust) out["row_weights"] = numbers(r.influence.weight);
  return out;
}

// The fraction of the simulated sets won (not a number without sets).
double share(int wins, int sets) {
  return sets > 0 ? static_cast<double>(wins) / sets : NAN;
}

// How often each model and family won the simulated sets, and the limits of the
// simulated model's parameters over them.
json simulation_json(const evidence::simulation_result& s) {
  json models = json::array();
  for (const int m : s.models) {
    const int wins = s.wins[static_cast<std::size_t>(m - 1)];
    models.push_back({{"model", m}, {"wins", wins}, {"frequency", number(share(wins, s.sets))}});
  }
  auto families = [&](const std::vector<evidence::family_wins>& list) {
    json out = json::array();
    for (const auto& f : list) {
      out.push_back({{"family", std::string(f.name)},
                     {"models", f.models},
                     {"wins", f.wins},
                     {"frequency", number(share(f.wins, s.sets))}});
    }
    return out;
  };
  json limits = json::array();
  for (int i = 1; i <= s.n; ++i) {
    const auto& l = s.limits[static_cast<std::size_t>(i - 1)];
    limits.push_back(
        {{"name", parameter_name(s.model, i)}, {"low", number(l.low)}, {"high", number(l.high)}});
  }
  return {
      {"sets", s.sets},
      {"seed", s.seed},
      {"stopped", s.stopped},
      {"model", s.model},
      {"noise", number(s.noise)},
      {"undecided", s.undecided},
      {"selection", models},
      {"by_kind", families(s.by_kind)},
      {"by_site", families(s.by_site)},
      {"percentiles", {evidence::simulation_low_percentile, evidence::simulation_high_percentile}},
      {"limits", limits}};
}

// The rows of the best fit worth a look, each with its flags in words.
json flagged_json(const std::vector<fit::flagged_row>& flagged) {
  json out = json::array();
  for (const auto& f : flagged) {
    json flags = json::array();
    if (f.down_weighted) flags.push_back("down-weighted");
    if (f.high_influence) flags.push_back("high influence");
    out.push_back({{"row", f.row}, {"flags", flags}});
  }
  return out;
}

// The nested F tests: the special model in the general one, F with its degrees of
// freedom and p; "boundary": the special case lies at an end of the general model's
// range, where the p value is conservative.
json nested_json(const std::vector<evidence::nested_test>& tests) {
  json out = json::array();
  for (const auto& t : tests) {
    out.push_back({{"special", t.special},
                   {"general", t.general},
                   {"how", std::string(t.how)},
                   {"F", number(t.test.f)},
                   {"df1", t.test.df1},
                   {"df2", t.test.df2},
                   {"p", number(t.test.p)},
                   {"boundary", t.boundary}});
  }
  return out;
}

json limits_json(const std::vector<evidence::limit_reading>& readings) {
  json out = json::array();
  for (const auto& l : readings) {
    json open = json::array();
    if (l.limits.low_open) open.push_back("low");
    if (l.limits.high_open) open.push_back("high");
    out.push_back({{"model", l.model},
                   {"parameter", std::string(1, l.parameter)},
                   {"value", number(l.value)},
                   {"profile_low", number(l.limits.low)},
                   {"profile_high", number(l.limits.high)},
                   {"profile_open", open},
                   {"reading", l.text}});
  }
  return out;
}

// One question of the verdict: its families by weight, the family named (null when
// none) or the two that cannot be told apart, and the evidence.
template <typename Family>
json answer_json(const evidence::answer<Family>& a) {
  json families = json::array();
  for (const auto& f : a.families) {
    families.push_back({{"family", std::string(evidence::family_key(f.family))},
                        {"weight", number(f.weight)},
                        {"models", f.models},
                        {"best_model", f.best_model}});
  }
  json apart = json::array();
  if (a.first) apart.push_back(std::string(evidence::family_key(*a.first)));
  if (a.second) apart.push_back(std::string(evidence::family_key(*a.second)));
  return {{"named", a.named ? json(std::string(evidence::family_key(*a.named))) : json(nullptr)},
          {"not_told_apart", apart},
          {"families", families},
          {"profile_limits", limits_json(a.limits)},
          {"nested_tests", nested_json(a.tests)},
          {"text", a.text}};
}

json verdict_json(const evidence::verdict& v) {
  if (!v.available) return {{"sentence", v.sentence}, {"missing", v.missing}};
  json members = json::array();
  for (const auto& m : v.members) {
    members.push_back({{"model", m.model},
                       {"counts_as", m.counts_as},
                       {"mode", std::string(evidence::family_key(m.mode))},
                       {"site", std::string(evidence::family_key(m.site))},
                       {"weight", number(m.weight)}});
  }
  json next = nullptr;
  if (v.next.available) {
    next = {{"S", number(v.next.s)},
            {"I", number(v.next.i)},
            {"sigmas", number(v.next.sigmas)},
            {"models", {v.next.model_a, v.next.model_b}},
            {"text", v.next.text}};
  }
  return {{"sentence", v.sentence},
          {"missing", nullptr},
          {"complete_or_partial", answer_json(v.mode)},
          {"site", answer_json(v.site)},
          {"models", members},
          {"decisive_model", v.decisive_model != 0 ? json(v.decisive_model) : json(nullptr)},
          {"next_measurement", next}};
}

json file_json(const file_outcome& o) {
  json models = json::array();
  for (std::size_t i = 0; i < o.record.fitted.size(); ++i) {
    models.push_back(model_json(o.record.fitted[i],
                                evidence::row_of(o.evidence.ranking, static_cast<int>(i + 1))));
  }

  const auto& fitted = o.record.fitted;
  auto model_of = [&](const fit::ranking_row& row) {
    return row.index >= 1 && static_cast<std::size_t>(row.index) <= fitted.size()
               ? fitted[static_cast<std::size_t>(row.index - 1)].model
               : 0;
  };
  // Models of equal AICc come out of the ranking in no meaningful order, while the
  // best model is the last of them fitted; it is listed first, so that the best
  // model and the first of the ranking are always the same.
  std::vector<fit::ranking_row> rows = o.record.ranking;
  bool tie = false;
  const auto best = std::find_if(rows.begin(), rows.end(), [&](const fit::ranking_row& row) {
    return model_of(row) == o.record.best_model;
  });
  if (best != rows.end()) {
    const double top = best->aicc;
    tie = std::count_if(rows.begin(), rows.end(),
                        [&](const fit::ranking_row& row) { return same_aicc(row.aicc, top); }) > 1;
    if (same_aicc(rows.front().aicc, top)) std::rotate(rows.begin(), best, best + 1);
  }
  json report_ranking = json::array();
  int rank = 0;
  for (const auto& row : rows) {
    ++rank;
    report_ranking.push_back({{"rank", rank},
                              {"model", model_of(row)},
                              {"report_criterion", number(row.aicc)},
                              {"delta", number(row.delta)},
                              {"weight", number(row.weight)},
                              {"ler", number(row.ler)},
                              {"marker", std::string(row.marker)}});
  }
  json ranking = json::array();
  rank = 0;
  for (const auto& row : o.evidence.ranking) {
    ranking.push_back({{"rank", ++rank},
                       {"model", row.model},
                       {"aicc", number(row.aicc)},
                       {"delta_aicc", number(row.delta)},
                       {"akaike_weight", number(row.weight)},
                       {"log10_evidence_ratio", number(row.log10_ratio)}});
  }
  json out = json::object();
  put_name(out, "file", o.file);
  out["status"] = o.status;
  // Only a results file the run wrote is named: a run that stopped before fitting
  // wrote none, and an earlier file of that name is not this run's.
  if (o.record.results_written) {
    put_name(out, "results_file", o.record.results_name);
  } else {
    out["results_file"] = nullptr;
  }
  out["rows"] = o.rows;
  out["curves"] = o.record.curves_found;
  out["weighting"] = o.record.weighting == core::weighting::robust ? "robust" : "none";
  out["weights"] = std::string(core::error_model_name(o.record.errors));
  out["fitting"] = std::string(fit::fit_method_name(o.record.method));
  out["models"] = models;
  out["ranking"] = ranking;
  out["report_ranking"] = report_ranking;
  out["warnings"] = o.record.warnings;
  out["best_model"] = o.record.best_model != 0 ? json(o.record.best_model) : json(nullptr);
  out["tie"] = tie;
  // The units of a data table's header row (null where it gave none, and for a file in
  // the native format, which has no place for them).
  auto unit = [](const std::string& u) { return u.empty() ? json(nullptr) : json(u); };
  out["units"] = {{"substrate", unit(o.record.units.substrate)},
                  {"inhibitor", unit(o.record.units.inhibitor)},
                  {"rate", unit(o.record.units.rate)}};
  out["flagged_rows"] = flagged_json(o.record.flagged_rows);
  // Only a run that left rows out names them, so other runs' output stays as it was.
  if (!o.record.rows_left_out.empty()) out["rows_left_out"] = o.record.rows_left_out;
  out["nested_tests"] = nested_json(o.evidence.nested);
  out["verdict"] = verdict_json(o.evidence.mechanism);
  if (o.simulation) out["simulation"] = simulation_json(*o.simulation);
  return out;
}

// {"files": [...]} as text; names were given their replacement characters above,
// so nothing can make the dump fail.
std::string files_json(const json& files) {
  return json{{"files", files}}.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string results_json(const std::vector<file_outcome>& outcomes) {
  json files = json::array();
  for (const auto& o : outcomes)
    files.push_back(file_json(o));
  return files_json(files);
}

std::string check_json(const std::vector<check_outcome>& checked) {
  json files = json::array();
  for (const auto& c : checked) {
    json out = json::object();
    put_name(out, "file", c.file);
    put_name(out, "data_file", c.data_name);
    out["status"] = c.status;
    const bool passed = c.status == 0;
    const bool counted = passed || c.curves > 0;
    out["rows"] = counted ? json(c.rows) : json(nullptr);
    out["curves"] = counted ? json(c.curves) : json(nullptr);
    out["per_curve"] = passed ? json(c.per_curve) : json(nullptr);
    out["columns"] = counted ? json(c.columns) : json(nullptr);
    files.push_back(out);
  }
  return files_json(files);
}

}  // namespace inhibra::cli
