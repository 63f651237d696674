#include "fit/report.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "fit/fit_results.hpp"
#include "models/model_catalogue.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::fit {
namespace {

// The lines of a report text, without their CR LF; fails the test on a bare LF.
std::vector<std::string> lines_of(const std::string& text) {
  EXPECT_TRUE(text.ends_with("\r\n"));
  std::vector<std::string> out;
  for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    out.push_back(text.substr(at, end - at));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::ssize(out)) << "bare LF";
  return out;
}

TEST(CorrelationCell, RoundedToTenDecimalsThenCutToSix) {
  const std::pair<double, const char*> cells[] = {
      {0.0, "  ........"},  {-0.0, "  ........"},         {0.8532109, " 0.853210"},
      {0.999, " 0.999000"}, {0.99999999999, " 1.000000"}, {0.1234569999, " 0.123456"},
      {-4e-7, "-0.000000"}, {12.5, " 12.500000"},         {std::nan(""), " NaN"}};
  for (const auto& [r, cell] : cells)
    EXPECT_EQ(correlation_cell(r), cell) << r;
}

// The report words each model its own way; its titles still name the catalogue's
// number and code. Numbers outside the library get one empty line.
TEST(ModelNames, TitlesNameTheCataloguesNumberAndCode) {
  for (const auto& facts : models::model_catalogue) {
    std::ostringstream out;
    model_names(out, facts.number);
    const std::string title = lines_of(out.str())[0].substr(23);
    EXPECT_EQ(title.substr(0, 3), std::string(facts.name.substr(0, 3))) << facts.number;
    EXPECT_NE(title.find(facts.code), std::string::npos) << facts.number;
  }
  for (int model : {0, 11, -3}) {
    std::ostringstream out;
    model_names(out, model);
    EXPECT_EQ(out.str(), "\r\n");
  }
}

TEST(DateTime, SourceDateEpochFixesTheReportTime) {
  // Each test runs in a process of its own: the variable does not leak.
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  EXPECT_EQ(report_date_time(), "Tue Nov 14 22:13:20 2023");
  setenv("SOURCE_DATE_EPOCH", "0", 1);
  EXPECT_EQ(report_date_time(), "Thu Jan  1 00:00:00 1970");
  setenv("SOURCE_DATE_EPOCH", "soon", 1);  // not a number: the clock is used
  EXPECT_EQ(report_date_time().size(), 24u);
  EXPECT_NE(report_date_time(), "Thu Jan  1 00:00:00 1970");
  setenv("SOURCE_DATE_EPOCH", "253402300799", 1);  // the last second with a four-digit year
  EXPECT_EQ(report_date_time(), "Fri Dec 31 23:59:59 9999");
  unsetenv("SOURCE_DATE_EPOCH");
}

TEST(DateTime, SourceDateEpochOutsideTheYearsOfTheDateLineIsRefused) {
  for (const char* text : {"253402300800", "67768036191676799", "99999999999999999999", "-1", "+5",
                           " 5", "5 ", "1e9", ""}) {
    EXPECT_FALSE(parse_source_date_epoch(text)) << text;
  }
  EXPECT_EQ(parse_source_date_epoch("253402300799"), std::time_t{253402300799});
}

// --- a complete section -------------------------------------------------------------

constexpr const char* golden_date = "Tue Nov 14 22:13:20 2023";

// Model 9 fitted to 15 observations in 3 curves, with every printed number chosen so
// it can be checked by hand.
struct section_case {
  core::fit_context ctx;
  model_result r;

  section_case() {
    const double s[] = {0.5, 1, 2, 5, 10};
    const double i[] = {0, 0.5, 2};
    const double rate[] = {1.9, 3.4, 5.1, 7.0, 8.4, 1.2, 2.2, 3.6,
                           5.5, 6.9, 0.6, 1.1, 2.0, 3.4, 4.6};
    const double fitted[] = {
        2.0,     3.333333, 5.0,  7.142857, 8.333333,
        1.25,    2.2,      3.55, 5.6,      7.0,
        -0.0125, 1.15,     1.98, 2e16,     std::numeric_limits<double>::quiet_NaN()};
    for (int k = 0; k < 15; ++k) {
      ctx.substrate[k] = s[k % 5];
      ctx.inhibitor[k] = i[k / 5];
      ctx.rate[k] = rate[k];
      ctx.fitted[k] = fitted[k];
    }
    ctx.fitted[15] = 42.0;
    ctx.rows = 15;
    ctx.idatasets = 3;
    ctx.variables.fill(-1.0);

    r.model = 9;
    r.name = "9- Hyperbolic Mixed Inhib, HMx(Sp>Ca)I:";
    r.n = 5;
    r.weighting = core::weighting::robust;
    r.p = {2.0, 10.0, 0.5, 4.0, 0.25};
    r.se = {0.2, 0.5, 0.05, 0.4, 0.025};
    r.se_produced = true;
    r.t = double(2.23f);
    for (int k = 0; k < 5; ++k)
      r.cl[k] = r.se[k] * r.t;
    r.gradient = {1e-9, -2e-7, 3.5e-5, 0.0123, 1.5e-8};
    r.ssr = 0.00123456;
    r.aicc = -85.4321;
    r.sqp_info = 2;
    r.sqp_iteration_limit = 300;
    const double corr[5][5] = {{1, 0.8532109, -0.4120079, 0, 0.999},
                               {0.8532109, 1, 0.25, -1, 1e-7},
                               {-0.4120079, 0.25, 1, 0.5, -4e-7},
                               {0, -1, 0.5, 1, 0.123456789},
                               {0.999, 1e-7, -4e-7, 0.123456789, 1}};
    for (int a = 0; a < 5; ++a)
      for (int b = 0; b < 5; ++b)
        r.correlation[a + 5 * b] = corr[a][b];
  }

  std::string section() {
    complete_result(ctx, r);
    std::ostringstream out;
    write_model_section(out, ctx, r, golden_date);
    return out.str();
  }
};

std::string two_model_summary(const model_result& nine) {
  model_result three;
  three.model = 3;
  three.name = "3- Linear Mixed Inhib, LMx(Sp<Ca)I:";
  const std::vector<model_result> fitted{three, nine};
  std::vector<double> raic{-80.1, nine.aicc};
  std::vector<double> ridx{1.0, 2.0};
  const auto ranking = rank_models(raic, ridx, 2);
  std::ostringstream out;
  write_summary(out, ranking, fitted);
  write_closing_line(out, "Data.out");
  return out.str();
}

TEST(ReportGolden, ModelSectionAndTwoModelSummary) {
  section_case c;
  const std::string text = c.section() + two_model_summary(c.r);
  const std::string want =
      support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/tests/fit/golden/model_section.out");
  ASSERT_FALSE(want.empty()) << "golden file missing";
  EXPECT_EQ(lines_of(text), lines_of(want));
}

// Completing the result fills what the report prints; leaving it in the context
// gives the plots only rates they can draw. The writer changes neither.
TEST(ReportSection, TheResultStepsAroundTheWriter) {
  section_case c;
  (void)c.section();
  EXPECT_EQ(c.ctx.fitted[10], -0.0125);  // printed as computed, not yet changed
  EXPECT_EQ(c.ctx.variables[4], -1.0);
  leave_fit_in_context(c.ctx, c.r);
  EXPECT_EQ(c.ctx.m, 6);
  EXPECT_EQ(c.r.constraints, 6);
  // Negative, huge and NaN fitted rates were printed, then zeroed for the plots.
  EXPECT_EQ(c.ctx.fitted[10], 0.0);
  EXPECT_EQ(c.ctx.fitted[13], 0.0);
  EXPECT_EQ(c.ctx.fitted[14], 0.0);
  EXPECT_EQ(c.ctx.fitted[12], 1.98);
  EXPECT_EQ(c.ctx.fitted[15], 42.0);
  EXPECT_EQ(c.ctx.variables[4], 0.25);
  EXPECT_EQ(c.ctx.variables[5], 0.0);
  EXPECT_EQ(c.ctx.variables[24], 0.0);
  EXPECT_NEAR(c.r.mc50.value[1], 0.8, 1e-15);
  EXPECT_NEAR(c.r.mc50.substrate[6], 20.0, 1e-15);
}

TEST(ReportSection, ErrorsNotProducedPrintAsAsterisks) {
  section_case c;
  c.r.se_produced = false;
  c.r.se.fill(std::nan(""));
  c.r.cl.fill(std::nan(""));
  c.r.sqp_info = 4;
  c.r.weighting = core::weighting::none;
  c.ctx.rows = 5;  // as many observations as parameters
  const auto lines = lines_of(c.section());
  auto has = [&](const std::string& s) {
    return std::find(lines.begin(), lines.end(), s) != lines.end();
  };
  EXPECT_TRUE(has("          UPHILL SEARCH DIRECTION WAS EXECUTED--INFO = 4"));
  EXPECT_TRUE(has("          (MESSAGE RETURNED FROM STAGE 3)"));
  EXPECT_TRUE(has("          WEIGHTING: NO WEIGHTING"));
  EXPECT_TRUE(has("          STANDARD ERROR OF REGRESSION=     **************"));
  EXPECT_TRUE(
      has("       1          2.000000  +/-*************   [************** ,************** ]"));
  EXPECT_TRUE(has("        2   1.0*Km =     2.000000       0.800000 +/- **********"));
  EXPECT_FALSE(has("          CALLS TO FUNCTION EXCEEDED  300--INFO = 2"));
  c.r.sqp_info = 1;  // other outcomes write no message
  EXPECT_EQ(c.section().find("MESSAGE RETURNED"), std::string::npos);
}

// The weighting line names the error model and the robust switch together.
TEST(ReportSection, TheWeightingLineNamesTheErrorModel) {
  const struct {
    core::weighting weighting;
    core::error_model errors;
    const char* line;
  } cases[] = {
      {core::weighting::none, core::error_model::equal, "          WEIGHTING: NO WEIGHTING"},
      {core::weighting::robust, core::error_model::equal, "          WEIGHTING: ROBUST WEIGHTING"},
      {core::weighting::none, core::error_model::relative,
       "          WEIGHTING: RELATIVE WEIGHTING (1/v^2)"},
      {core::weighting::robust, core::error_model::relative,
       "          WEIGHTING: ROBUST WEIGHTING, RELATIVE (1/v^2)"},
      {core::weighting::none, core::error_model::poisson,
       "          WEIGHTING: POISSON WEIGHTING (1/v)"},
      {core::weighting::robust, core::error_model::poisson,
       "          WEIGHTING: ROBUST WEIGHTING, POISSON (1/v)"},
  };
  for (const auto& k : cases) {
    section_case c;
    c.r.weighting = k.weighting;
    c.r.errors = k.errors;
    const auto lines = lines_of(c.section());
    EXPECT_NE(std::find(lines.begin(), lines.end(), k.line), lines.end()) << k.line;
  }
}

// A long list of rows left out goes on over lines of at most 79 characters, each
// row named once, none split.
TEST(ReportSection, ALongListOfRowsLeftOutWraps) {
  section_case c;
  for (int k = 100; k < 140; ++k)
    c.ctx.rows_left_out.push_back(std::to_string(k));
  const auto lines = lines_of(c.section());
  const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.starts_with("          ROWS LEFT OUT: 100, 101,");
  });
  ASSERT_NE(first, lines.end());
  std::string named;
  auto line = first;
  for (; line != lines.end() && !line->empty(); ++line) {
    EXPECT_LE(line->size(), 79u) << *line;
    if (line != first) {
      EXPECT_TRUE(line->starts_with(std::string(25, ' '))) << *line;
    }
    named += line->substr(25) + " ";
  }
  EXPECT_GT(line - first, 2);
  std::string expected;
  for (int k = 100; k < 140; ++k)
    expected += std::to_string(k) + (k < 139 ? ", " : " ");
  // Lines end at a comma, so joining them with a space gives the list back.
  EXPECT_EQ(named, expected);
}

}  // namespace
}  // namespace inhibra::fit
