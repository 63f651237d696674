#include "cli/json_output.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

namespace inhibra::cli {
namespace {

// The errors shown are the ones outside the report (se_free): a model whose errors
// were not produced gives null for them and for its limits, whatever its arrays
// still hold; a parameter held at a box end gives null, and the others name it as
// what their errors are conditional on. Values that are not finite are null too.
TEST(ResultsJson, ErrorsNotProducedOrHeldAtBoundAreNull) {
  fit::model_result produced;
  produced.model = 1;
  produced.n = 3;
  produced.p = {150.0, 0.15, 90.0};
  produced.se_free = {10.0, 0.01, 5.0};
  produced.cl_free = {20.0, 0.02, 10.0};
  produced.se_free_produced = true;
  // The report's errors are not the ones shown.
  produced.se = {11.0, 0.011, 5.5};
  produced.se_produced = true;
  fit::model_result missing = produced;
  missing.model = 2;
  missing.se_free_produced = false;  // se_free and cl_free keep numbers that must not be shown
  missing.p[2] = std::numeric_limits<double>::infinity();
  fit::model_result held = produced;
  held.model = 8;
  held.n = 5;
  held.p = {150.0, 0.15, 1e6, 0.5, 0.2};
  held.se_free = {10.0, 0.01, 5.0, 0.1, 0.05};
  held.cl_free = {20.0, 0.02, 10.0, 0.2, 0.1};
  held.at_bound = {{3, true}, {5, false}};
  held.held = {false, false, true, false, true};

  file_outcome outcome;
  outcome.file = "Data.in";
  outcome.record.fitted = {produced, missing, held};
  const auto json = nlohmann::json::parse(results_json({outcome}));
  const auto& models = json.at("files").at(0).at("models");

  const auto& shown = models.at(0).at("parameters").at(1);
  EXPECT_EQ(shown.at("se"), 0.01);
  EXPECT_EQ(shown.at("ci_low"), 0.15 - 0.02);
  EXPECT_EQ(shown.at("ci_high"), 0.15 + 0.02);
  EXPECT_TRUE(shown.at("conditional_on").empty());
  EXPECT_TRUE(models.at(0).at("conditional_on").empty());
  for (const auto& parameter : models.at(1).at("parameters")) {
    EXPECT_TRUE(parameter.at("se").is_null()) << parameter;
    EXPECT_TRUE(parameter.at("ci_low").is_null()) << parameter;
    EXPECT_TRUE(parameter.at("ci_high").is_null()) << parameter;
  }
  EXPECT_EQ(models.at(1).at("parameters").at(0).at("value"), 150.0);
  EXPECT_TRUE(models.at(1).at("parameters").at(2).at("value").is_null());

  const auto& bound = models.at(2);
  const nlohmann::json ki_and_b = {"Ki", "b"};
  EXPECT_EQ(bound.at("conditional_on"), ki_and_b);
  for (std::size_t i = 0; i < 5; ++i) {
    const auto& parameter = bound.at("parameters").at(i);
    const bool at_end = held.held[i];
    EXPECT_EQ(parameter.at("se").is_null(), at_end) << parameter;
    EXPECT_EQ(parameter.at("ci_low").is_null(), at_end) << parameter;
    EXPECT_EQ(parameter.at("ci_high").is_null(), at_end) << parameter;
    EXPECT_EQ(parameter.at("conditional_on"), at_end ? nlohmann::json::array() : ki_and_b)
        << parameter;
    EXPECT_EQ(parameter.at("value"), held.p[i]);
  }
  EXPECT_EQ(bound.at("parameters").at(3).at("se"), 0.1);
}

}  // namespace
}  // namespace inhibra::cli
