#include "shell/axis_units.hpp"

#include "plots/figure_units.hpp"

namespace inhibra::shell {

namespace {

plots::figure_units figure_units_of(const axis_units& units) {
  return {units.concentration, units.rate};
}

}  // namespace

std::string label_with_unit(std::string_view label, const axis_units& units) {
  return plots::label_with_unit(label, figure_units_of(units));
}

plotengine::pplot with_units(plotengine::pplot chart, const axis_units& units) {
  return plots::with_units(std::move(chart), figure_units_of(units));
}

}  // namespace inhibra::shell
