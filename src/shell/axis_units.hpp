#pragma once
// Units on the charts, set once by the person: a concentration unit for the axis
// titles of concentrations ([S], [I], Km,app, MC50) and the legend's "[I] = 100", a
// rate unit for the rates and residuals. Empty units leave the texts as they are.
#include <string>
#include <string_view>

#include "plotengine/pplot.hpp"

namespace inhibra::shell {

struct axis_units {
  std::string concentration;
  std::string rate;
};

// `label` followed by its unit in brackets ("Rate v (uM/min)"); unchanged for labels
// of other quantities and for an empty unit.
[[nodiscard]] std::string label_with_unit(std::string_view label, const axis_units& units);

// The chart with its axis titles and legend entries carrying the units.
[[nodiscard]] plotengine::pplot with_units(plotengine::pplot chart, const axis_units& units);

}  // namespace inhibra::shell
