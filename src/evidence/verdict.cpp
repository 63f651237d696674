#include "evidence/verdict.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "evidence/detail/family_membership.hpp"
#include "evidence/detail/measure_next.hpp"
#include "evidence/detail/verdict_wording.hpp"
#include "models/model_forms.hpp"
#include "models/nested_models.hpp"

namespace inhibra::evidence {

namespace {

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

constexpr auto mode_key = [](const model_membership& m) { return m.mode; };
constexpr auto site_key = [](const model_membership& m) { return m.site; };

// Which questions can be asked of the fitted models.
struct formed_questions {
  bool mode = false;
  bool site = false;
};

// A question can be asked when the fitted models themselves belong to two families
// or more (before any counts as a special case of itself).
formed_questions questions_of(const std::vector<model_result>& fitted) {
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
  return {spans(own_modes), spans(own_sites)};
}

void answer_mode(verdict& v, const std::vector<model_result>& fitted, bool mode_formed) {
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
}

void answer_site(verdict& v, const std::vector<model_result>& fitted, bool site_formed) {
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
}

void compare_tests(verdict& v, const std::vector<nested_test>& tests) {
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
}

std::string verdict_sentence(const verdict& v, bool site_formed) {
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
  return sentence;
}

void quote_decisive(verdict& v, const std::vector<model_result>& fitted, std::string& sentence) {
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
}

void advise_next(verdict& v, const std::vector<model_result>& fitted,
                 const measured_design& design) {
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
}

}  // namespace

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
  v.mode.families = families_of<mode_family>(v.members, mode_key);
  v.site.families = families_of<site_family>(v.members, site_key);
  const formed_questions formed = questions_of(fitted);
  if (!formed.mode && !formed.site) {
    describe(v.mode, false, {});
    describe(v.site, false, {});
    v.missing = "No verdict: the fitted models form one family for each question (" + v.mode.text +
                "; " + v.site.text + "); fit models of other families to compare.";
    v.sentence = v.missing;
    return v;
  }
  v.available = true;
  answer_mode(v, fitted, formed.mode);
  answer_site(v, fitted, formed.site);
  compare_tests(v, tests);
  std::string sentence = verdict_sentence(v, formed.site);
  quote_decisive(v, fitted, sentence);
  advise_next(v, fitted, design);
  v.sentence = sentence;
  if (v.next.available) v.sentence += " " + v.next.text;
  return v;
}

}  // namespace inhibra::evidence
