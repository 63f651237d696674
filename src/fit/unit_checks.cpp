#include "fit/unit_checks.hpp"

#include <cmath>

#include <fmt/format.h>

#include "models/model_library.hpp"

namespace inhibra::fit {

namespace {

// The smallest and largest nonzero magnitude among values [0, rows).
struct magnitudes {
  double smallest = HUGE_VAL;
  double largest = 0.0;
  [[nodiscard]] bool any() const { return largest > 0.0; }
};

template <class Values>
magnitudes magnitudes_of(const Values& values, int rows) {
  magnitudes m;
  for (int k = 0; k < rows; ++k) {
    const double v = std::abs(values[static_cast<std::size_t>(k)]);
    if (!(v > 0.0) || !std::isfinite(v)) continue;
    m.smallest = std::fmin(m.smallest, v);
    m.largest = std::fmax(m.largest, v);
  }
  return m;
}

}  // namespace

std::string magnitude_warning(const core::observations& ctx) {
  const int rows = ctx.rows;
  magnitudes conc = magnitudes_of(ctx.substrate, rows);
  const magnitudes inhibitor = magnitudes_of(ctx.inhibitor, rows);
  if (inhibitor.any()) {
    conc.smallest = std::fmin(conc.smallest, inhibitor.smallest);
    conc.largest = std::fmax(conc.largest, inhibitor.largest);
  }
  const magnitudes rates = magnitudes_of(ctx.rate, rows);
  std::vector<std::string> lines;
  if (rates.any() && rates.smallest < smallest_readable) {
    lines.push_back(fmt::format(
        "Rates as small as {:.3g} were found: rates below 0.001 print as 0.000 in the results "
        "file, and Vmax cannot go below 1e-6. Express the rates in smaller units (for example "
        "nM/min instead of µM/min, or µM/min instead of M/min).",
        rates.smallest));
  }
  if (rates.any() && rates.largest > largest_readable) {
    lines.push_back(fmt::format(
        "Rates as large as {:.3g} were found: Vmax cannot go above 1e6 and large rates do "
        "not fit the report's columns. Express the rates in larger units (for example µM/min "
        "instead of nM/min).",
        rates.largest));
  }
  if (conc.any() && conc.smallest < smallest_readable) {
    lines.push_back(fmt::format(
        "Concentrations as small as {:.3g} were found: [S] and [I] below 0.001 print as 0.000 "
        "in the results file, and Km and Ki cannot go below 1e-6. Express [S] and [I] in "
        "smaller units (for example µM instead of mM or M).",
        conc.smallest));
  }
  if (conc.any() && conc.largest > largest_readable) {
    lines.push_back(fmt::format(
        "Concentrations as large as {:.3g} were found: Km and Ki cannot go above 1e6 and "
        "large values do not fit the report's columns. Express [S] and [I] in larger units "
        "(for example µM instead of nM).",
        conc.largest));
  }
  std::string text;
  for (const auto& line : lines)
    text += (text.empty() ? "" : "\n") + line;
  return text;
}

std::vector<std::string> box_end_warnings(const model_result& r) {
  constexpr const char* names[] = {"Km", "Vmax", "Ki"};
  std::vector<std::string> out;
  for (const auto& hit : r.at_bound) {
    if (hit.index < 1 || hit.index > 3) continue;
    const double end = hit.upper ? models::upper_bound : models::lower_bound;
    out.push_back(fmt::format(
        "Model {}: {} ended at the {} end of its range ({:g}); the data do not determine it, "
        "and its standard error and limits do not describe a precise estimate.",
        r.model, names[hit.index - 1], hit.upper ? "upper" : "lower", end));
  }
  return out;
}

}  // namespace inhibra::fit
