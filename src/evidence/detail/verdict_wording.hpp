#pragma once
// The verdict's wording: numbers as the sentence shows them, the readings of profile
// limits, the mechanisms' names and each question's answer in words.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "evidence/verdict.hpp"

namespace inhibra::evidence {

// Numbers in the sentence: three significant digits, no exponent for usual sizes.
[[nodiscard]] std::string shown(double v);

// A family's weight: two decimals.
[[nodiscard]] std::string weight_text(double w);

// A concentration rounded to two significant digits, without an exponent.
[[nodiscard]] std::string concentration_text(double v);

// A distance in standard deviations: one decimal.
[[nodiscard]] std::string sigma_text(double v);

// The limits "low to high" of a profile; an open side is marked: the profile ran to
// the end of the model's range there, so that limit is not determined.
[[nodiscard]] std::string limits_text(const profile_limit& l);

// Parameter `parameter` ('a' or 'b') of fit r with its profile limits and what they
// say (`says`).
[[nodiscard]] limit_reading reading(const model_result& r, char parameter, std::string says);

// A profile limit that speaks against naming the leading family, in words.
struct objection {
  bool raised = false;
  std::string text;
};

// "1, 3, 5".
[[nodiscard]] std::string family_list(const std::vector<int>& models);

// The mechanism's name for a named site family and mode.
[[nodiscard]] std::string mechanism_name(std::optional<mode_family> mode, site_family site);

// The text with its first letter a capital.
[[nodiscard]] std::string capitalised(std::string_view text);

// The entry of family f in the answer; nullptr when none of its models was fitted.
template <typename Family>
const family_weight<Family>* weight_entry(const answer<Family>& a, Family f) {
  for (const auto& x : a.families)
    if (x.family == f) return &x;
  return nullptr;
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

}  // namespace inhibra::evidence
