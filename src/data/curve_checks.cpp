#include "data/detail/curve_checks.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "data/data_file.hpp"
#include "strings/text.hpp"

namespace inhibra::data {

namespace {

// A block of rows read as one curve: its [I] (the value of its first row) and the
// smallest and largest [I] in it.
struct block {
  double reference = 0.0;
  double low = 0.0;
  double high = 0.0;
};

// The blocks of rows of equal [I], by the same rule as ycurves.
std::vector<block> blocks_of(const core::fit_context& ctx) {
  std::vector<block> blocks;
  const int rows = std::clamp(ctx.idat, 0, core::max_rows);
  for (int k = 0; k < rows; ++k) {
    const double value = ctx.inhibitor[static_cast<std::size_t>(k)];
    if (blocks.empty() || std::abs(value - blocks.back().reference) > curve_tolerance) {
      blocks.push_back({value, value, value});
    } else {
      blocks.back().low = std::fmin(blocks.back().low, value);
      blocks.back().high = std::fmax(blocks.back().high, value);
    }
  }
  return blocks;
}

}  // namespace

void warn_about_degenerate_data(const core::fit_context& ctx, const reader_warnings& warn,
                                int curves, const std::function<std::string(std::size_t)>& place) {
  const auto rows = static_cast<std::size_t>(std::clamp(ctx.idat, 0, core::max_rows));
  if (rows == 0) return;
  if (curves == 1) {
    warn("Every row has the same inhibitor concentration ([I] = " + value_text(ctx.inhibitor[0]) +
         "): inhibition constants cannot be determined from this data. Measure the rates at two "
         "or more inhibitor concentrations, one of them 0");
  }
  const auto rate = std::span(ctx.rate).first(rows);
  if (std::all_of(rate.begin(), rate.end(), [&](double v) { return v == rate[0]; })) {
    warn("All rates are equal: the data cannot tell the models apart");
  }
  if (std::all_of(rate.begin(), rate.end(), [](double v) { return v <= 0.0; })) {
    warn("No rate is above 0: the models describe positive rates");
  }
  for (std::size_t k = 0; k < rows; ++k) {
    if (ctx.substrate[k] <= 0.0) {
      warn("[S] is 0 or below in " + place(k) + ": the models need [S] above 0");
      break;
    }
  }
  for (std::size_t k = 0; k < rows; ++k) {
    if (ctx.inhibitor[k] < 0.0) {
      warn("[I] is below 0 in " + place(k) + ": the models need [I] of 0 or more");
      break;
    }
  }
}

void warn_about_curve_layout(const core::fit_context& ctx, const reader_warnings& warn) {
  const auto blocks = blocks_of(ctx);
  std::vector<std::string> repeated;
  std::vector<bool> told(blocks.size(), false);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (told[i]) continue;
    std::vector<std::string> curves{strings::int_text(static_cast<long long>(i) + 1)};
    for (std::size_t j = i + 2; j < blocks.size(); ++j) {
      if (!told[j] && std::abs(blocks[j].reference - blocks[i].reference) <= curve_tolerance) {
        told[j] = true;
        curves.push_back(strings::int_text(static_cast<long long>(j) + 1));
      }
    }
    if (curves.size() > 1) {
      repeated.push_back("[I] = " + value_text(blocks[i].reference) + " in curves " +
                         listed(curves));
    }
  }
  if (!repeated.empty()) {
    warn("Rows of one [I] do not stand together (" + joined_by_semicolons(repeated) +
         "): each block of rows is fitted as a curve of its own. Put the rows of each [I] in "
         "one block");
  }
  std::vector<std::string> joined;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const block& b = blocks[i];
    if (b.high - b.low > 0.01 * std::fmax(std::abs(b.low), std::abs(b.high))) {
      joined.push_back(value_text(b.low) + " and " + value_text(b.high) + " (curve " +
                       strings::int_text(static_cast<long long>(i) + 1) + ")");
    }
  }
  if (!joined.empty()) {
    warn("[I] values that differ by at most 1e-7 are read as one curve: " +
         joined_by_semicolons(joined) +
         ". Write [I] in a unit that keeps different concentrations apart (for example µM "
         "instead of M)");
  }
}

curve_summary ycurves(core::fit_context& ctx) {
  ctx.id2.fill(0);
  const int rows = std::clamp(ctx.idat, 0, core::max_rows);
  if (rows == 0) {
    ctx.idatasets = 0;
    return {};
  }
  curve_summary summary;
  double reference = ctx.inhibitor[0];
  int in_curve = 1;
  auto close_curve = [&] {
    if (summary.curves < core::max_curves) {
      ctx.id2[static_cast<std::size_t>(summary.curves)] = in_curve;
    }
    summary.smallest = summary.curves == 0 ? in_curve : std::min(summary.smallest, in_curve);
    ++summary.curves;
  };
  for (int k = 1; k < rows; ++k) {
    const double value = ctx.inhibitor[static_cast<std::size_t>(k)];
    if (std::abs(value - reference) > curve_tolerance) {
      close_curve();
      reference = value;
      in_curve = 0;
    }
    ++in_curve;
  }
  close_curve();
  ctx.idatasets = std::min(summary.curves, core::max_curves);
  return summary;
}

}  // namespace inhibra::data
