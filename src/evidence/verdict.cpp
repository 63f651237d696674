#include "evidence/verdict.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/fit_context.hpp"
#include "fit/row_weights.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"
#include "models/nested_models.hpp"

namespace inhibra::evidence {

namespace {

// The grid searched for the next measurement: [S] geometric from half the smallest to
// twice the largest measured, [I] from 0 to twice the largest.
constexpr int grid_points = 41;
constexpr double grid_reach = 2.0;

mode_family mode_of(int model) {
  return model <= 4 ? mode_family::complete : mode_family::partial;
}

// The site family of models 1-9 by their conditions on a; model 10 by where its
// fitted point lies (see verdict.hpp).
site_family site_of(int model, double a, double b) {
  switch (model) {
    case 1:
    case 5:
      return site_family::competitive;
    case 4:
    case 9:
      return site_family::free_enzyme;
    case 2:
    case 6:
      return site_family::noncompetitive;
    case 3:
    case 7:
    case 8:
      return site_family::complex;
    default:
      break;
  }
  // Below b = 1 the complex with the inhibitor is less active than without it: a says
  // where it binds, as for the other models. From b = 1 up it is as active or more.
  if (b < 1.0) return a < 1.0 ? site_family::complex : site_family::free_enzyme;
  return site_family::general;
}

// Significance level of the nested tests: a general model whose test against a
// special case has p at or above it does not need its extra parameters.
constexpr double nested_level = 0.05;

// Edges of a model's range next to another model that the range stops short of
// (model 3's a ends at 0.99, below model 2's a = 1; model 8's a likewise below model
// 6's; model 9's b below model 5's b = 1): a fit whose limit runs to such an edge is
// not told apart from the model beyond it.
struct range_edge {
  int model;
  int parameter;  // models::general_a or general_b
  int beyond;     // the model next to the edge
};
constexpr std::array<range_edge, 3> range_edges{
    {{3, models::general_a, 2}, {8, models::general_a, 6}, {9, models::general_b, 5}}};

// Whether fit r holds parameter i (0-based) at the lower or upper end of its range,
// or its profile limit on that side runs to that end (the data do not keep it away).
bool reaches_end(const model_result& r, int i, bool upper) {
  const bool held = std::any_of(r.at_bound.begin(), r.at_bound.end(), [&](const fit::bound_hit& h) {
    return h.index == i + 1 && h.upper == upper;
  });
  if (held) return true;
  if (!r.profiled) return false;
  const profile_limit& l = r.profile[static_cast<std::size_t>(i)];
  return upper ? l.high_open : l.low_open;
}

// Whether fit r is not told apart from the pair's special case: every pin at an end of
// r's range is reached (held there, or its profile limit open there), and a pin inside
// the range (a = 1 or b = 1 or b = a in model 10) is met when the nested test of the
// pair does not need the extra parameters.
bool reduces_to(const model_result& r, const models::nested_pair& pair,
                const std::vector<nested_test>& tests) {
  const models::parameter_box box = models::reachable_box(r.model);
  bool inside = false;
  for (int k = 0; k < pair.pin_count; ++k) {
    const models::pin& pin = pair.pins[static_cast<std::size_t>(k)];
    const int i = models::own_index(r.model, pin.parameter);
    if (i < 0) return false;
    const auto u = static_cast<std::size_t>(i);
    switch (pin.kind) {
      case models::pin_kind::lower_end:
        if (!reaches_end(r, i, false)) return false;
        break;
      case models::pin_kind::upper_end:
        if (!reaches_end(r, i, true)) return false;
        break;
      case models::pin_kind::equal_to_a:
        if (models::b_capped_by_a(r.model)) {
          if (!reaches_end(r, i, true)) return false;
        } else {
          inside = true;
        }
        break;
      case models::pin_kind::value:
        if (pin.value == box.lo[u]) {
          if (!reaches_end(r, i, false)) return false;
        } else if (pin.value == box.hi[u]) {
          if (!reaches_end(r, i, true)) return false;
        } else {
          inside = true;
        }
        break;
    }
  }
  // The parameters the pair leaves free must lie in the special model's range (model
  // 10 with a = 4 is not model 3 with b -> 0, whatever b does).
  const models::general_point g = models::general_form(r.model, r.p);
  const models::parameter_box special = models::reachable_box(pair.special);
  for (const int free : {models::general_a, models::general_b}) {
    const bool pinned = std::any_of(pair.pins.begin(), pair.pins.begin() + pair.pin_count,
                                    [&](const models::pin& q) { return q.parameter == free; });
    const int j = models::own_index(pair.special, free);
    if (pinned || j < 0) continue;
    const auto v = g[static_cast<std::size_t>(free)];
    const auto k = static_cast<std::size_t>(j);
    if (v < special.lo[k] || v > special.hi[k]) return false;
  }
  if (!inside) return pair.pin_count > 0;
  const nested_test* t = find_test(tests, pair.special, pair.general);
  return t != nullptr && t->test.p >= nested_level;
}

const model_result* result_of(const std::vector<model_result>& fitted, int model);

// The model that fitted model `model` counts as: the special case with the fewest
// parameters that it is not told apart from (see reduces_to and range_edges), followed
// further when that special case was fitted too; itself when none.
int counted_as(const std::vector<model_result>& fitted, const std::vector<nested_test>& tests,
               int model, int depth = 0) {
  const model_result* r = result_of(fitted, model);
  if (r == nullptr || depth > 4) return model;
  int as = model;
  int fewest = r->n;
  auto consider = [&](int special) {
    const int n = models::model_info(special)->parameters;
    if (n < fewest) {
      fewest = n;
      as = special;
    }
  };
  for (const models::nested_pair& pair : models::nested_pairs) {
    if (pair.general == model && reduces_to(*r, pair, tests)) consider(pair.special);
  }
  for (const range_edge& e : range_edges) {
    const int i = models::own_index(model, e.parameter);
    if (e.model == model && i >= 0 && reaches_end(*r, i, true)) consider(e.beyond);
  }
  return as == model ? model : counted_as(fitted, tests, as, depth + 1);
}

model_membership membership_of(const std::vector<model_result>& fitted,
                               const std::vector<nested_test>& tests, const model_result& r,
                               double weight) {
  const int as = counted_as(fitted, tests, r.model);
  // Model 10 counting as itself goes by where its point lies.
  const models::general_point g = models::general_form(r.model, r.p);
  return {r.model, as, mode_of(as), site_of(as, g[3], g[4]), weight};
}

template <typename Family, typename Of>
std::vector<family_weight<Family>> families_of(const std::vector<model_membership>& members,
                                               Of of) {
  std::vector<family_weight<Family>> out;
  std::vector<double> best_weight;
  for (const model_membership& m : members) {
    const Family f = of(m);
    auto found = std::find_if(out.begin(), out.end(), [&](const auto& x) { return x.family == f; });
    if (found == out.end()) {
      out.push_back({f, 0.0, {}, 0});
      best_weight.push_back(-1.0);
      found = out.end() - 1;
    }
    const auto k = static_cast<std::size_t>(found - out.begin());
    found->weight += m.weight;
    found->models.push_back(m.model);
    if (m.weight > best_weight[k]) {
      best_weight[k] = m.weight;
      found->best_model = m.model;
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& x, const auto& y) { return x.weight > y.weight; });
  return out;
}

// Numbers in the sentence: three significant digits, no exponent for usual sizes.
std::string shown(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.3g", v);
  return buf;
}

std::string weight_text(double w) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.2f", w);
  return buf;
}

// A concentration rounded to two significant digits, without an exponent.
std::string concentration_text(double v) {
  if (!(v > 0.0) || !std::isfinite(v)) return shown(v);
  const int decimals = std::max(0, 1 - static_cast<int>(std::floor(std::log10(v))));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// A distance in standard deviations: one decimal.
std::string sigma_text(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

const model_result* result_of(const std::vector<model_result>& fitted, int model) {
  const auto found = std::find_if(fitted.begin(), fitted.end(),
                                  [&](const model_result& r) { return r.model == model; });
  return found != fitted.end() ? &*found : nullptr;
}

double weight_of(const std::vector<model_membership>& members, int model) {
  for (const auto& m : members)
    if (m.model == model) return m.weight;
  return 0.0;
}

// The most general fitted model among `candidates` (most parameters, then the higher
// weight) that has profile limits; nullptr when none.
// With `b_determined`, a model whose a runs to infinity is passed over: b then has no
// effect on the rates and its limits say nothing.
const model_result* most_general(const std::vector<model_result>& fitted,
                                 const std::vector<model_membership>& members,
                                 std::initializer_list<int> candidates, bool b_determined = false) {
  const model_result* best = nullptr;
  for (const int m : candidates) {
    const model_result* r = result_of(fitted, m);
    if (r == nullptr || !r->profiled) continue;
    const int a = models::own_index(m, models::general_a);
    if (b_determined && a >= 0 && reaches_end(*r, a, true)) continue;
    if (best == nullptr || r->n > best->n ||
        (r->n == best->n && weight_of(members, m) > weight_of(members, best->model)))
      best = r;
  }
  return best;
}

// The limits "low to high" of a profile; an open side is marked: the profile ran to
// the end of the model's range there, so that limit is not determined.
std::string limits_text(const profile_limit& l) {
  return shown(l.low) + (l.low_open ? " (open)" : "") + " to " + shown(l.high) +
         (l.high_open ? " (open)" : "");
}

limit_reading reading(const model_result& r, char parameter, std::string says) {
  const int g = parameter == 'a' ? models::general_a : models::general_b;
  const auto i = static_cast<std::size_t>(models::own_index(r.model, g));
  limit_reading out{r.model, parameter, r.p[i], r.profile[i], {}};
  out.text = std::string(1, parameter) + " = " + shown(r.p[i]) + " in model " +
             std::to_string(r.model) + " (95 % profile limits " + limits_text(r.profile[i]) +
             "): " + says;
  return out;
}

struct objection {
  bool raised = false;
  std::string text;
};

std::string family_list(const std::vector<int>& models) {
  std::string text;
  for (std::size_t k = 0; k < models.size(); ++k)
    text += (k == 0 ? "" : ", ") + std::to_string(models[k]);
  return text;
}

// The mechanism's name for a named site family and mode.
std::string mechanism_name(std::optional<mode_family> mode, site_family site) {
  if (site == site_family::general) return "General modifier mechanism";
  const bool partial = mode && *mode == mode_family::partial;
  const bool linear = mode && *mode == mode_family::complete;
  std::string prefix = partial ? "Partial " : "";
  switch (site) {
    case site_family::competitive:
      return prefix + (partial ? "competitive inhibition" : "Competitive inhibition");
    case site_family::noncompetitive:
      return prefix + (partial ? "noncompetitive inhibition" : "Noncompetitive inhibition");
    case site_family::free_enzyme:
      return (partial  ? "Partial mixed"
              : linear ? "Linear mixed"
                       : "Mixed") +
             std::string(" inhibition, favouring the free enzyme");
    case site_family::complex:
      return (partial  ? "Partial mixed"
              : linear ? "Linear mixed"
                       : "Mixed") +
             std::string(" inhibition, favouring the enzyme-substrate complex");
    case site_family::general:
      break;
  }
  return "General modifier mechanism";
}

std::string capitalised(std::string_view text) {
  std::string out(text);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
  return out;
}

template <typename Family>
const family_weight<Family>* weight_entry(const answer<Family>& a, Family f) {
  for (const auto& x : a.families)
    if (x.family == f) return &x;
  return nullptr;
}

// Names the leading family when its weight reaches named_weight and nothing objects;
// otherwise the two leading families (the objection's alternative second, when it
// gives one that was fitted).
template <typename Family>
void decide(answer<Family>& a, bool formed, const objection& against,
            std::optional<Family> alternative) {
  if (!formed || a.families.empty()) return;
  const auto& lead = a.families[0];
  if (a.families.size() < 2) {
    // Every fitted model counts in one family: named unless a limit speaks against it.
    if (!against.raised) a.named = lead.family;
    return;
  }
  if (lead.weight >= named_weight && !against.raised) {
    a.named = lead.family;
    return;
  }
  a.first = lead.family;
  a.second = a.families[1].family;
  if (against.raised && alternative && *alternative != lead.family &&
      weight_entry(a, *alternative) != nullptr)
    a.second = *alternative;
}

template <typename Family>
std::string weights_text(const answer<Family>& a, Family f, Family g) {
  const auto* x = weight_entry(a, f);
  const auto* y = weight_entry(a, g);
  return "weights " + weight_text(x != nullptr ? x->weight : 0.0) + " and " +
         weight_text(y != nullptr ? y->weight : 0.0);
}

template <typename Family>
void describe(answer<Family>& a, bool formed, const objection& against) {
  if (!formed) {
    a.text = a.families.empty()
                 ? std::string("no models were fitted")
                 : "only " + std::string(family_name(a.families[0].family)) +
                       " models were fitted (models " + family_list(a.families[0].models) + ")";
    return;
  }
  if (a.named) {
    a.text = "family weight " + weight_text(a.families[0].weight);
    return;
  }
  if (!a.first || !a.second) {
    a.text = std::string(family_name(a.families[0].family)) + " is not shown: " + against.text;
    return;
  }
  a.text = std::string(family_name(*a.first)) + " and " + std::string(family_name(*a.second)) +
           " cannot be told apart (" + weights_text(a, *a.first, *a.second);
  if (against.raised) a.text += "; " + against.text;
  a.text += ")";
}

// The nested tests whose special and general models lie in the two families compared.
template <typename Family, typename Of>
std::vector<nested_test> tests_between(const std::vector<nested_test>& tests, Family f, Family g,
                                       const std::vector<model_membership>& members, Of of) {
  std::vector<nested_test> out;
  auto family_of_model = [&](int model) -> std::optional<Family> {
    for (const auto& m : members)
      if (m.model == model) return of(m);
    return std::nullopt;
  };
  for (const nested_test& t : tests) {
    const auto s = family_of_model(t.special);
    const auto h = family_of_model(t.general);
    if (!s || !h) continue;
    if ((*s == f && *h == g) || (*s == g && *h == f)) out.push_back(t);
  }
  return out;
}

double rate(int model, std::span<const double> p, double s, double i) {
  core::fit_context ctx;
  ctx.model = model;
  models::parameter_vector q{};
  std::copy_n(p.begin(), std::min(p.size(), q.size()), q.begin());
  return models::func(ctx, s, i, 0.0, q);
}

// |v_a - v_b| / sigma at (s, i), sigma from model a's fit and the error model.
double separation(const model_result& a, const model_result& b, const measured_design& d, double s,
                  double i) {
  const double va = rate(a.model, a.p, s, i);
  const double vb = rate(b.model, b.p, s, i);
  const double scale = std::sqrt(a.ssr / static_cast<double>(d.N - a.n));
  const double sigma = scale / std::sqrt(fit::error_weight(d.errors, va, d.rate_floor));
  return std::abs(va - vb) / sigma;
}

next_measurement suggest(const model_result& a, const model_result& b, const measured_design& d,
                         std::string_view first, std::string_view second) {
  next_measurement out;
  if (d.N <= a.n || !(a.ssr > 0.0) || !(d.s_min > 0.0) || !(d.s_max >= d.s_min) ||
      !(d.i_max >= 0.0))
    return out;
  const double s_lo = std::log(d.s_min / grid_reach);
  const double s_hi = std::log(d.s_max * grid_reach);
  double best = -1.0;
  for (int u = 0; u < grid_points; ++u) {
    const double s = std::exp(s_lo + (s_hi - s_lo) * u / (grid_points - 1));
    for (int w = 0; w < grid_points; ++w) {
      const double i = d.i_max * grid_reach * w / (grid_points - 1);
      const double sep = separation(a, b, d, s, i);
      if (sep > best) {
        best = sep;
        out.s = s;
        out.i = i;
      }
    }
  }
  if (!(best >= 0.0)) return out;
  out.available = true;
  out.model_a = a.model;
  out.model_b = b.model;
  out.s = two_digits(out.s);
  out.i = two_digits(out.i);
  out.sigmas = separation(a, b, d, out.s, out.i);
  out.text = "To tell " + std::string(first) + " from " + std::string(second) +
             ", add rates at [S] \u2248 " + concentration_text(out.s) + ", [I] \u2248 " +
             concentration_text(out.i) + ": models " + std::to_string(a.model) + " and " +
             std::to_string(b.model) + " differ there by " + sigma_text(out.sigmas) + " \u03c3.";
  return out;
}

}  // namespace

std::string_view family_name(mode_family f) {
  return f == mode_family::complete ? "complete" : "partial";
}

std::string_view family_name(site_family f) {
  switch (f) {
    case site_family::competitive:
      return "competitive";
    case site_family::free_enzyme:
      return "mixed, favouring the free enzyme";
    case site_family::noncompetitive:
      return "noncompetitive";
    case site_family::complex:
      return "mixed, favouring the enzyme-substrate complex";
    case site_family::general:
      break;
  }
  return "general modifier";
}

std::string_view family_key(mode_family f) {
  return f == mode_family::complete ? "complete" : "partial";
}

std::string_view family_key(site_family f) {
  switch (f) {
    case site_family::competitive:
      return "competitive";
    case site_family::free_enzyme:
      return "free_enzyme";
    case site_family::noncompetitive:
      return "noncompetitive";
    case site_family::complex:
      return "complex";
    case site_family::general:
      break;
  }
  return "general";
}

double two_digits(double v) {
  if (!(v != 0.0) || !std::isfinite(v)) return v;
  const double scale = std::pow(10.0, std::floor(std::log10(std::abs(v))) - 1.0);
  return std::round(v / scale) * scale;
}

verdict reach_verdict(const std::vector<model_result>& fitted,
                      const std::vector<textbook_row>& ranking,
                      const std::vector<nested_test>& tests, const measured_design& design) {
  verdict v;
  if (fitted.size() < 2) {
    v.missing = "No verdict: it needs two or more fitted models (" + std::to_string(fitted.size()) +
                " fitted).";
    v.sentence = v.missing;
    return v;
  }
  for (std::size_t k = 0; k < fitted.size(); ++k) {
    const textbook_row* row = row_of(ranking, static_cast<int>(k + 1));
    v.members.push_back(
        membership_of(fitted, tests, fitted[k], row != nullptr ? row->weight : 0.0));
  }
  auto mode_key = [](const model_membership& m) { return m.mode; };
  auto site_key = [](const model_membership& m) { return m.site; };
  v.mode.families = families_of<mode_family>(v.members, mode_key);
  v.site.families = families_of<site_family>(v.members, site_key);
  // A question can be asked when the fitted models themselves belong to two families
  // or more (before any counts as a special case of itself).
  std::vector<mode_family> own_modes;
  std::vector<site_family> own_sites;
  for (const model_result& r : fitted) {
    const models::general_point g = models::general_form(r.model, r.p);
    own_modes.push_back(mode_of(r.model));
    own_sites.push_back(site_of(r.model, g[3], g[4]));
  }
  auto spans = [](const auto& values) {
    return std::any_of(values.begin(), values.end(),
                       [&](const auto& x) { return x != values.front(); });
  };
  const bool mode_formed = spans(own_modes);
  const bool site_formed = spans(own_sites);
  if (!mode_formed && !site_formed) {
    describe(v.mode, false, {});
    describe(v.site, false, {});
    v.missing = "No verdict: the fitted models form one family for each question (" + v.mode.text +
                "; " + v.site.text + "); fit models of other families to compare.";
    v.sentence = v.missing;
    return v;
  }
  v.available = true;

  // Complete or partial: b in the most general fitted model whose b is free.
  objection mode_against;
  std::optional<mode_family> mode_alternative;
  const bool mode_leads_partial =
      !v.mode.families.empty() && v.mode.families[0].family == mode_family::partial;
  if (const model_result* r = most_general(fitted, v.members, {10, 9, 8, 6}, true)) {
    const auto i = static_cast<std::size_t>(models::own_index(r->model, models::general_b));
    const bool reaches_zero = r->profile[i].low_open;
    const limit_reading b =
        reading(*r, 'b',
                reaches_zero ? "they reach 0 (the range's end), complete inhibition is not excluded"
                             : "they exclude 0, partial inhibition");
    v.mode.limits.push_back(b);
    if (mode_leads_partial == reaches_zero) {
      mode_against = {true, b.text};
      mode_alternative = reaches_zero ? mode_family::complete : mode_family::partial;
    }
  }
  decide(v.mode, mode_formed, mode_against, mode_alternative);
  describe(v.mode, mode_formed, mode_against);

  // Where the inhibitor acts: a in the most general fitted model of the leading family
  // (and of model 10 for the families without an a of their own).
  objection site_against;
  std::optional<site_family> site_alternative;
  if (!v.site.families.empty()) {
    const site_family lead = v.site.families[0].family;
    if (lead == site_family::free_enzyme) {
      if (const model_result* r = most_general(fitted, v.members, {9, 4})) {
        const auto& l = r->profile[3];
        std::string says = l.low_open    ? "they reach 1, so noncompetitive is not excluded"
                           : l.high_open ? "they reach the range's end (a -> infinity), so "
                                           "competitive is not excluded"
                                         : "they exclude 1 and infinity";
        v.site.limits.push_back(reading(*r, 'a', says));
        if (l.low_open || l.high_open) {
          site_against = {true, v.site.limits.back().text};
          site_alternative = l.low_open ? site_family::noncompetitive : site_family::competitive;
        }
      }
    } else if (lead == site_family::complex) {
      if (const model_result* r = most_general(fitted, v.members, {8, 7, 3})) {
        const auto& l = r->profile[3];
        v.site.limits.push_back(
            reading(*r, 'a',
                    l.high_open ? "they reach the range's end near 1, so noncompetitive is not "
                                  "excluded"
                                : "they exclude 1"));
        if (l.high_open) {
          site_against = {true, v.site.limits.back().text};
          site_alternative = site_family::noncompetitive;
        }
      }
    } else if (const model_result* r = most_general(fitted, v.members, {10})) {
      const auto& a = r->profile[3];
      const auto& b = r->profile[4];
      const bool a_excludes_one = (!a.low_open && a.low > 1.0) || (!a.high_open && a.high < 1.0);
      const bool b_excludes_one = (!b.low_open && b.low > 1.0) || (!b.high_open && b.high < 1.0);
      const std::optional<site_family> by_a =
          r->p[3] > 1.0 ? site_family::free_enzyme : site_family::complex;
      if (lead == site_family::noncompetitive && a_excludes_one) {
        v.site.limits.push_back(reading(*r, 'a', "they exclude 1"));
        site_against = {true, v.site.limits.back().text};
        site_alternative = by_a;
      } else if (lead == site_family::competitive && !a.high_open && b_excludes_one) {
        v.site.limits.push_back(reading(*r, 'a', "they exclude infinity"));
        v.site.limits.push_back(reading(*r, 'b', "they exclude 1"));
        site_against = {
            true, v.site.limits[v.site.limits.size() - 2].text + "; " + v.site.limits.back().text};
        site_alternative = by_a;
      }
    }
  }
  decide(v.site, site_formed, site_against, site_alternative);
  describe(v.site, site_formed, site_against);

  // The nested tests across the families compared.
  auto compared = [](const auto& a) {
    using pair =
        std::optional<std::pair<decltype(a.families[0].family), decltype(a.families[0].family)>>;
    if (a.first && a.second) return pair({*a.first, *a.second});
    if (a.named && a.families.size() >= 2)
      return pair({a.families[0].family, a.families[1].family});
    return pair();
  };
  if (const auto m = compared(v.mode))
    v.mode.tests = tests_between(tests, m->first, m->second, v.members, mode_key);
  if (const auto st = compared(v.site))
    v.site.tests = tests_between(tests, st->first, st->second, v.members, site_key);

  // The sentence: the mechanism where both questions are answered, else what is
  // answered and which families cannot be told apart.
  std::string sentence;
  const bool site_general = v.site.named && *v.site.named == site_family::general;
  if (v.site.named && (v.mode.named || site_general)) {
    sentence =
        mechanism_name(v.mode.named, *v.site.named) + " (" +
        (site_general ? "" : std::string(family_name(*v.site.named)) + ": ") + v.site.text +
        (site_general ? "" : "; " + std::string(family_name(*v.mode.named)) + ": " + v.mode.text) +
        ")";
  } else if (v.site.named) {
    sentence = mechanism_name(std::nullopt, *v.site.named) + " (" + v.site.text +
               "); complete or partial: " + v.mode.text;
  } else if (v.mode.named && !site_formed) {
    sentence = capitalised(family_name(*v.mode.named)) + " inhibition (" + v.mode.text +
               "); where the inhibitor acts: " + v.site.text;
  } else if (v.mode.named) {
    sentence = capitalised(family_name(*v.mode.named)) + " inhibition (" + v.mode.text +
               "); where the inhibitor acts: " + v.site.text;
  } else {
    sentence = "Where the inhibitor acts: " + v.site.text + "; complete or partial: " + v.mode.text;
  }
  for (const auto* a : {&v.site.limits, &v.mode.limits}) {
    for (const limit_reading& l : *a)
      if (sentence.find(l.text) == std::string::npos) sentence += "; " + l.text;
  }

  // The decisive model: the best model counted in the named families (else the best).
  int decisive = 0;
  double best = -1.0;
  for (const model_membership& m : v.members) {
    const bool in_site = !v.site.named || m.site == *v.site.named;
    const bool in_mode = !v.mode.named || m.mode == *v.mode.named;
    if (in_site && in_mode && m.weight > best) {
      best = m.weight;
      decisive = m.model;
    }
  }
  v.decisive_model = decisive;
  if (const model_result* r = result_of(fitted, decisive)) {
    sentence += "; model " + std::to_string(r->model) + ": Ki = " + shown(r->p[2]);
    if (r->profiled) sentence += " (" + limits_text(r->profile[2]) + ")";
  }
  sentence += ".";

  // Where to measure next: between the two leading families of the question left open
  // (the site question first), else of the site question.
  const model_result* first = nullptr;
  const model_result* second = nullptr;
  std::string_view first_name;
  std::string_view second_name;
  auto pick = [&](const auto& a, const auto& f, const auto& g) {
    const auto* x = weight_entry(a, f);
    const auto* y = weight_entry(a, g);
    if (x == nullptr || y == nullptr) return false;
    first = result_of(fitted, x->best_model);
    second = result_of(fitted, y->best_model);
    first_name = family_name(f);
    second_name = family_name(g);
    return first != nullptr && second != nullptr && first != second;
  };
  const bool picked = (v.site.first && pick(v.site, *v.site.first, *v.site.second)) ||
                      (v.mode.first && pick(v.mode, *v.mode.first, *v.mode.second)) ||
                      (v.site.families.size() >= 2 &&
                       pick(v.site, v.site.families[0].family, v.site.families[1].family)) ||
                      (v.mode.families.size() >= 2 &&
                       pick(v.mode, v.mode.families[0].family, v.mode.families[1].family));
  if (picked) v.next = suggest(*first, *second, design, first_name, second_name);
  v.sentence = sentence;
  if (v.next.available) v.sentence += " " + v.next.text;
  return v;
}

}  // namespace inhibra::evidence
