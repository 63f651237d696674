#include "cli/json_output.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

namespace inhibra::cli {
namespace {

// A model whose standard errors were not produced gives null for them and for its
// limits, whatever its arrays still hold; a model with standard errors gives
// numbers. Values that are not finite are null too.
TEST(ResultsJson, StandardErrorsNotProducedAreNull) {
  fit::model_result produced;
  produced.model = 1;
  produced.n = 3;
  produced.p = {150.0, 0.15, 90.0};
  produced.se = {10.0, 0.01, 5.0};
  produced.cl = {20.0, 0.02, 10.0};
  produced.se_produced = true;
  fit::model_result missing = produced;
  missing.model = 2;
  missing.se_produced = false;  // se and cl keep numbers that must not be shown
  missing.p[2] = std::numeric_limits<double>::infinity();

  file_outcome outcome;
  outcome.file = "Data.in";
  outcome.record.fitted = {produced, missing};
  const auto json = nlohmann::json::parse(results_json({outcome}));
  const auto& models = json.at("files").at(0).at("models");

  const auto& shown = models.at(0).at("parameters").at(1);
  EXPECT_EQ(shown.at("se"), 0.01);
  EXPECT_EQ(shown.at("ci_low"), 0.15 - 0.02);
  EXPECT_EQ(shown.at("ci_high"), 0.15 + 0.02);
  for (const auto& parameter : models.at(1).at("parameters")) {
    EXPECT_TRUE(parameter.at("se").is_null()) << parameter;
    EXPECT_TRUE(parameter.at("ci_low").is_null()) << parameter;
    EXPECT_TRUE(parameter.at("ci_high").is_null()) << parameter;
  }
  EXPECT_EQ(models.at(1).at("parameters").at(0).at("value"), 150.0);
  EXPECT_TRUE(models.at(1).at("parameters").at(2).at("value").is_null());
}

}  // namespace
}  // namespace inhibra::cli
