#include "evidence/detail/verdict_wording.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "models/nested_models.hpp"

namespace inhibra::evidence {

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

std::string concentration_text(double v) {
  if (!(v > 0.0) || !std::isfinite(v)) return shown(v);
  const int decimals = std::max(0, 1 - static_cast<int>(std::floor(std::log10(v))));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string sigma_text(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

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

std::string family_list(const std::vector<int>& models) {
  std::string text;
  for (std::size_t k = 0; k < models.size(); ++k)
    text += (k == 0 ? "" : ", ") + std::to_string(models[k]);
  return text;
}

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

}  // namespace inhibra::evidence
