#include "shell/axis_units.hpp"

#include <array>

namespace inhibra::shell {

namespace {

enum class quantity { concentration, rate };

struct labelled {
  std::string_view label;
  quantity kind;
};

// The axis labels of the result charts whose quantity has a unit.
constexpr std::array<labelled, 5> quantities = {{
    {"[SUBSTRATE]", quantity::concentration},
    {"[INHIBITOR]", quantity::concentration},
    {"Kmapp", quantity::concentration},
    {"MC50", quantity::concentration},
    {"RATE", quantity::rate},
}};

}  // namespace

std::string label_with_unit(std::string_view label, const axis_units& units) {
  for (const labelled& q : quantities) {
    if (q.label != label) continue;
    const std::string& unit = q.kind == quantity::rate ? units.rate : units.concentration;
    if (unit.empty()) break;
    return std::string(label) + " (" + unit + ")";
  }
  return std::string(label);
}

plotengine::pplot with_units(plotengine::pplot chart, const axis_units& units) {
  chart.x_label = label_with_unit(chart.x_label, units);
  chart.y_label = label_with_unit(chart.y_label, units);
  return chart;
}

}  // namespace inhibra::shell
