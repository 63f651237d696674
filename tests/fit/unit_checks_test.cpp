// A clear word about units: data far from the range the box and the report assume,
// and Km, Vmax or Ki at an end of their range.
#include "fit/unit_checks.hpp"

#include <gtest/gtest.h>

#include "support/numeric.hpp"

namespace inhibra::fit {
namespace {

TEST(MagnitudeWarning, NamesWhatWasFoundAndWhichUnitsToUse) {
  core::fit_context ctx;
  support::fill_example_data(ctx);
  EXPECT_EQ(magnitude_warning(ctx), "");
  // Rates in M/min instead of µM/min.
  for (int k = 0; k < ctx.rows; ++k)
    ctx.rate[static_cast<std::size_t>(k)] *= 1e-6;
  const std::string molar = magnitude_warning(ctx);
  EXPECT_NE(molar.find("Rates as small as 4e-09 were found"), std::string::npos) << molar;
  EXPECT_NE(molar.find("print as 0.000"), std::string::npos);
  EXPECT_NE(molar.find("nM/min instead of µM/min"), std::string::npos);
  EXPECT_EQ(molar.find("Concentrations"), std::string::npos);
  // Concentrations in nM: too large; an [I] of 0 is no magnitude at all.
  support::fill_example_data(ctx);
  for (int k = 0; k < ctx.rows; ++k) {
    ctx.substrate[static_cast<std::size_t>(k)] *= 1e3;
    ctx.inhibitor[static_cast<std::size_t>(k)] *= 1e3;
  }
  const std::string nano = magnitude_warning(ctx);
  EXPECT_NE(nano.find("Concentrations as large as 7e+05 were found"), std::string::npos) << nano;
  EXPECT_EQ(nano.find("small"), std::string::npos);
}

TEST(BoxEndWarnings, OneForEachKmVmaxOrKiAtAnEnd) {
  model_result r;
  r.model = 7;
  r.at_bound = {{3, true}, {4, false}, {1, false}};
  const auto warnings = box_end_warnings(r);
  ASSERT_EQ(warnings.size(), 2u);  // a is a shape parameter: no warning
  EXPECT_EQ(warnings[0],
            "Model 7: Ki ended at the upper end of its range (1e+06); the data do not determine "
            "it, and its standard error and limits do not describe a precise estimate.");
  EXPECT_NE(warnings[1].find("Model 7: Km ended at the lower end of its range (1e-06)"),
            std::string::npos);
}

}  // namespace
}  // namespace inhibra::fit
