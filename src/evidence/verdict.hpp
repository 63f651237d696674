#pragma once
// Which mechanism? The fitted models grouped into families that answer two questions:
// is the inhibition complete (linear, b = 0: models 1-4) or partial (hyperbolic,
// b > 0: models 5-10), and where does the inhibitor act (competitive, a -> infinity:
// models 1 and 5; mixed favouring the free enzyme, a > 1: 4 and 9; noncompetitive,
// a = 1: 2 and 6; mixed favouring the enzyme-substrate complex, a < 1: 3, 7 and 8).
// Each question is answered from the summed Akaike weights (textbook AICc) of the
// families, the profile limits of a and b in each family's most general fitted model,
// and the nested F tests; the verdict is data first (this struct), and one sentence
// made from it.
//
// How a fitted model counts:
// - Model 10 has no site of its own: with b below 1 (the complex with the inhibitor
//   less active than without) it counts in the mixed family its fitted a says (a < 1:
//   favouring the enzyme-substrate complex, as models 7 and 8; a >= 1: favouring the
//   free enzyme, as model 9); with b of 1 or more it counts as "general modifier", a
//   site family of its own.
// - A model with a or b at an end of its range where it is one of its special cases
//   (model 9 with b at its lower end is model 4) counts as that special case.
// Thresholds: a family is named when its weight is at least `named_weight` and no
// profile limit speaks against it; otherwise the two leading families are named as
// not told apart, with the numbers that keep them apart.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error_model.hpp"
#include "evidence/nested_tests.hpp"
#include "evidence/textbook_ranking.hpp"
#include "fit/ezfit.hpp"
#include "fit/model_result.hpp"

namespace inhibra::evidence {

using fit::measured_design;
using fit::model_result;
using fit::profile_limit;

inline constexpr double named_weight = 0.9;  // a family's summed weight to be named

enum class mode_family { complete, partial };
enum class site_family { competitive, free_enzyme, noncompetitive, complex, general };

[[nodiscard]] std::string_view family_name(mode_family f);  // "complete", "partial"
// "competitive", "mixed, favouring the free enzyme", "noncompetitive", "mixed,
// favouring the enzyme-substrate complex", "general modifier"
[[nodiscard]] std::string_view family_name(site_family f);
// A short key for the machine-readable output: "complete", "free_enzyme", ...
[[nodiscard]] std::string_view family_key(mode_family f);
[[nodiscard]] std::string_view family_key(site_family f);

// How one fitted model counts.
struct model_membership {
  int model = 0;
  int counts_as = 0;  // the model whose families it counts in (itself, or a special case)
  mode_family mode = mode_family::complete;
  site_family site = site_family::competitive;
  double weight = 0.0;  // its Akaike weight
};

template <typename Family>
struct family_weight {
  Family family{};
  double weight = 0.0;      // summed Akaike weight of its members
  std::vector<int> models;  // the fitted models counted in it
  int best_model = 0;       // its member of highest weight (0: none)
};

// A profile limit that bears on a question: parameter "a" or "b" of a model.
struct limit_reading {
  int model = 0;
  char parameter = 'a';
  double value = 0.0;
  profile_limit limits{};
  std::string text;  // what it says ("a's limits 1.8-6.0 exclude 1 and infinity")
};

template <typename Family>
struct answer {
  std::vector<family_weight<Family>> families;  // highest weight first
  std::optional<Family> named;                  // the family named, if any
  // The two leading families when none is named (second empty when only one formed).
  std::optional<Family> first;
  std::optional<Family> second;
  std::vector<limit_reading> limits;  // the profile limits considered
  std::vector<nested_test> tests;     // nested tests across the two leading families
  std::string text;                   // the answer in words
};

// Where one more measurement tells the two leading families apart best.
struct next_measurement {
  bool available = false;
  int model_a = 0;  // the two models compared (best of each family)
  int model_b = 0;
  double s = 0.0;  // [S] and [I], rounded to two significant digits
  double i = 0.0;
  double sigmas = 0.0;  // |v_a - v_b| / sigma there
  std::string text;
};

struct verdict {
  bool available = false;
  std::string missing;  // why there is no verdict (fewer than two models, ...)
  std::vector<model_membership> members;
  answer<mode_family> mode;
  answer<site_family> site;
  int decisive_model = 0;  // the model whose a and Ki the sentence quotes
  next_measurement next;
  std::string sentence;  // the verdict in one sentence, then the evidence
};

// The verdict of a finished run: its fitted models, their ranking by the textbook
// AICc, the nested tests between them and what was measured.
[[nodiscard]] verdict reach_verdict(const std::vector<model_result>& fitted,
                                    const std::vector<textbook_row>& ranking,
                                    const std::vector<nested_test>& tests,
                                    const measured_design& design);

// The number rounded to two significant digits (700, 0.042).
[[nodiscard]] double two_digits(double v);

}  // namespace inhibra::evidence
