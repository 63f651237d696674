#include "plots/figure_units.hpp"

#include <array>

#include "plots/figure_style.hpp"

namespace inhibra::plots {

namespace {

enum class quantity { concentration, rate, reciprocal_concentration, reciprocal_rate };

struct titled {
  std::string_view title;
  quantity kind;
};

// The axis titles whose quantity has a unit.
constexpr std::array<titled, 9> quantities = {{
    {substrate_title, quantity::concentration},
    {inhibitor_title, quantity::concentration},
    {kmapp_title_text, quantity::concentration},
    {mc50_title, quantity::concentration},
    {rate_title, quantity::rate},
    {fitted_rate_title, quantity::rate},
    {residual_title, quantity::rate},
    {reciprocal_substrate_title, quantity::reciprocal_concentration},
    {reciprocal_rate_title, quantity::reciprocal_rate},
}};

// The reciprocal of a unit: "min/µM" for "µM/min" (one quotient turned over),
// "µM⁻¹" for a plain unit, "(mol l⁻¹)⁻¹" for anything else.
std::string reciprocal(const std::string& unit) {
  constexpr std::string_view inverse = "\xe2\x81\xbb\xc2\xb9";  // superscript minus one
  const auto slash = unit.find('/');
  const bool plain = unit.find_first_of("/ *()^") == std::string::npos;
  if (plain) return unit + std::string(inverse);
  const bool quotient = slash != std::string::npos && slash > 0 && slash + 1 < unit.size() &&
                        unit.find_first_of("/ *()^", slash + 1) == std::string::npos &&
                        unit.find_first_of(" *()^") == std::string::npos;
  if (quotient) return unit.substr(slash + 1) + "/" + unit.substr(0, slash);
  return "(" + unit + ")" + std::string(inverse);
}

}  // namespace

std::string label_with_unit(std::string_view label, const figure_units& units) {
  for (const titled& q : quantities) {
    if (q.title != label) continue;
    const bool of_rate = q.kind == quantity::rate || q.kind == quantity::reciprocal_rate;
    const std::string& unit = of_rate ? units.rate : units.concentration;
    if (unit.empty()) break;
    const bool inverse =
        q.kind == quantity::reciprocal_rate || q.kind == quantity::reciprocal_concentration;
    return std::string(label) + " (" + (inverse ? reciprocal(unit) : unit) + ")";
  }
  return std::string(label);
}

std::string legend_with_unit(std::string_view label, const figure_units& units) {
  const bool concentration = label.starts_with("[I] = ") || label.starts_with("[S] = ");
  if (!concentration || units.concentration.empty()) return std::string(label);
  return std::string(label) + " " + units.concentration;
}

plotengine::pplot with_units(plotengine::pplot chart, const figure_units& units) {
  chart.x_label = label_with_unit(chart.x_label, units);
  chart.y_label = label_with_unit(chart.y_label, units);
  for (auto& s : chart.data)
    s.label = legend_with_unit(s.label, units);
  return chart;
}

}  // namespace inhibra::plots
