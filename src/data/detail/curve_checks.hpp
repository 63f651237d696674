#pragma once
// Checks on the rows and curves the reader has put into the context: data that read
// well but leave the models little to work with, and curves that are not what the
// rows suggest. Both warn and let the run go on.
#include <cstddef>
#include <functional>
#include <string>

#include "core/fit_context.hpp"
#include "data/detail/reader_messages.hpp"

namespace inhibra::data {

// Warnings for data that read well but leave the models little to work with; the
// run goes on with them.
// `place(k)` names where observation k (0-based) stands in the file.
void warn_about_degenerate_data(const core::fit_context& ctx, const reader_warnings& warn,
                                int curves, const std::function<std::string(std::size_t)>& place);

// Curves that are not what the person meant: one [I] in two or more separated blocks
// (each is fitted as a curve of its own), and different concentrations that the
// tolerance joins into one curve (0 and 1e-7, [I] written in M). Values within a
// hundredth of each other are taken for one concentration written with rounding
// noise (100 and 100.00000005).
void warn_about_curve_layout(const core::fit_context& ctx, const reader_warnings& warn);

}  // namespace inhibra::data
