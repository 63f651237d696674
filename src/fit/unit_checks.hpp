#pragma once
// Words about units. The parameter box (Km, Vmax, Ki between 1e-6 and 1e6) and the
// report's fixed fields (three decimals for the data, six for the parameters)
// assume numbers roughly between 0.001 and 100000; data written in units far from
// that range get a warning before the fit, and a Km, Vmax or Ki that ends at an end
// of its range gets one after it.
#include <string>
#include <vector>

#include "core/observations.hpp"
#include "fit/model_result.hpp"

namespace inhibra::fit {

// The data's magnitudes that fall outside the range: nonzero values below this or
// above the upper one, in absolute value.
inline constexpr double smallest_readable = 1e-3;
inline constexpr double largest_readable = 1e5;

// One warning about the magnitudes of the rates and the concentrations in the
// context's observations (what was found, what it does to the fit and the report,
// which units to use instead), or an empty text when they are in range.
[[nodiscard]] std::string magnitude_warning(const core::observations& ctx);

// One warning for each of Km, Vmax and Ki of fit r that lies at an end of its range
// (from r.at_bound), naming the model and the parameter.
[[nodiscard]] std::vector<std::string> box_end_warnings(const model_result& r);

}  // namespace inhibra::fit
