#pragma once
// Units on the result charts: a concentration unit for [S], [I], Km,app and MC50 and
// the legend entries "[I] = 100", a rate unit for the rate and the residuals, and
// their reciprocals on the Lineweaver-Burk and Dixon axes. Empty units leave the
// texts as they are.
#include <string>
#include <string_view>

#include "plotengine/pplot.hpp"

namespace inhibra::plots {

struct figure_units {
  std::string concentration;  // e.g. "µM"
  std::string rate;           // e.g. "µM/min"
};

// An axis title followed by its unit in brackets ("Rate v (µM/min)"); unchanged for
// titles of quantities without a unit and for an empty unit.
[[nodiscard]] std::string label_with_unit(std::string_view label, const figure_units& units);

// A legend entry of a concentration ("[I] = 100", "[S] = 50") followed by the
// concentration unit ("[I] = 100 µM"); other entries unchanged.
[[nodiscard]] std::string legend_with_unit(std::string_view label, const figure_units& units);

// The chart with its axis titles and legend entries carrying the units.
[[nodiscard]] plotengine::pplot with_units(plotengine::pplot chart, const figure_units& units);

}  // namespace inhibra::plots
