#pragma once
// Units on the charts' axis labels, set once by the person: a concentration unit for
// the labels of concentrations ([SUBSTRATE], [INHIBITOR], Kmapp, MC50) and a rate
// unit for the rate label. Empty units leave the labels as they are.
#include <string>
#include <string_view>

#include "plotengine/pplot.hpp"

namespace inhibra::shell {

struct axis_units {
  std::string concentration;
  std::string rate;
};

// `label` followed by its unit in brackets ("RATE (uM/min)"); unchanged for labels
// of other quantities and for an empty unit.
[[nodiscard]] std::string label_with_unit(std::string_view label, const axis_units& units);

// The chart with its axis labels carrying the units.
[[nodiscard]] plotengine::pplot with_units(plotengine::pplot chart, const axis_units& units);

}  // namespace inhibra::shell
