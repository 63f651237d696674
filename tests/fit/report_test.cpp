#include "fit/report.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
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
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text does not end in CR LF";
      break;
    }
    const std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find('\n'), std::string::npos) << "bare LF in: " << line;
    out.push_back(line);
    start = end + 2;
  }
  return out;
}

std::string dashes(int k) {
  return " " + std::string(static_cast<std::size_t>(k), '-');
}

TEST(CorrelationCell, ZeroNegativeOneAndTruncation) {
  EXPECT_EQ(correlation_cell(0.0), "  ........");
  EXPECT_EQ(correlation_cell(-0.0), "  ........");
  EXPECT_EQ(correlation_cell(0.8532109), " 0.853210");
  EXPECT_EQ(correlation_cell(-0.4120079), "-0.412007");
  EXPECT_EQ(correlation_cell(1.0), " 1.000000");
  EXPECT_EQ(correlation_cell(-1.0), "-1.000000");
  EXPECT_EQ(correlation_cell(0.25), " 0.250000");
  // Rounded to ten decimals before the cut: never 0.998999 for 0.999.
  EXPECT_EQ(correlation_cell(0.999), " 0.999000");
  EXPECT_EQ(correlation_cell(0.99999999999), " 1.000000");
  EXPECT_EQ(correlation_cell(0.1234569999), " 0.123456");
  EXPECT_EQ(correlation_cell(1e-7), " 0.000000");
  EXPECT_EQ(correlation_cell(-4e-7), "-0.000000");
  EXPECT_EQ(correlation_cell(12.5), " 12.500000");
  EXPECT_EQ(correlation_cell(std::nan("")), " NaN");
}

// The model section's golden file shows five parameters: gradients in two pairs and
// a single, correlations in two column groups. Here the pair lines of other counts.
TEST(PrintGrad, PairLinesForTwoThreeAndFourParameters) {
  for (const int n : {2, 3, 4}) {
    std::vector<double> p, g;
    for (int i = 1; i <= n; ++i) {
      p.push_back(i);
      g.push_back(-0.5 * i);
    }
    std::ostringstream out;
    print_grad(out, n, p, g);
    const auto lines = lines_of(out.str());
    ASSERT_EQ(lines.size(), n == 2 ? 6u : 7u);
    EXPECT_EQ(lines[4],
              "  1 -  2    | 0.1000000E+01    -0.5000000E+00  | 0.2000000E+01    -0.1000000E+01");
    EXPECT_EQ(lines.back(), dashes(79));
    if (n == 3) {
      EXPECT_EQ(lines[5], "  3 -  3    | 0.3000000E+01    -0.1500000E+01");
    } else if (n == 4) {
      EXPECT_EQ(lines[5].substr(0, 12), "  3 -  4    ");
      EXPECT_EQ(lines[5].size(), 80u);
    }
  }
}

TEST(ModelNames, EveryModelHasTitleEquationAndForm) {
  for (int model = 1; model <= 10; ++model) {
    std::ostringstream out;
    model_names(out, model);
    const auto lines = lines_of(out.str());
    const bool two_line = model >= 5;
    ASSERT_EQ(lines.size(), two_line ? 7u : 5u) << "model " << model;
    EXPECT_EQ(lines[0].substr(0, 23), "          MODEL NAME:  ");
    EXPECT_EQ(lines[0].substr(23, std::to_string(model).size()), std::to_string(model));
    EXPECT_EQ(lines[1].substr(0, 19), "               v = ");
    EXPECT_EQ(lines[two_line ? 3 : 2], "");
    EXPECT_EQ(lines[two_line ? 4 : 3].substr(0, 19), "               y = ");
    EXPECT_EQ(lines.back(), "");
    if (two_line) {
      EXPECT_EQ(lines[2].substr(0, 18), std::string(18, ' '));
      EXPECT_EQ(lines[5].substr(0, 18), std::string(18, ' '));
    }
  }
  std::ostringstream out;
  model_names(out, 1);
  EXPECT_EQ(out.str(),
            "          MODEL NAME:  1- Linear Specific Inhibition, LSpI [a = infinity, b = 0]:\r\n"
            "               v = Vmax / ( 1 + Km/[S]*(1 + [I]/Ki) )\r\n"
            "\r\n"
            "               y = P2 / ( 1 + P1/X1*(1 + X2/P3) )\r\n"
            "\r\n");
}

TEST(ModelNames, UndefinedModelWritesOneEmptyLine) {
  for (int model : {0, 11, -3}) {
    std::ostringstream out;
    model_names(out, model);
    EXPECT_EQ(out.str(), "\r\n");
  }
}

// The report words each model its own way; its titles still name the catalogue's
// number and code.
TEST(ModelNames, TitlesNameTheCataloguesNumberAndCode) {
  for (const auto& facts : models::model_catalogue) {
    std::ostringstream out;
    model_names(out, facts.number);
    const std::string title = lines_of(out.str())[0].substr(23);
    EXPECT_EQ(title.substr(0, 3), std::string(facts.name.substr(0, 3))) << facts.number;
    EXPECT_NE(title.find(facts.code), std::string::npos) << facts.number;
  }
}

TEST(DateTime, TwentyFourCharactersWithEnglishNames) {
  std::tm t{};
  t.tm_year = 70;
  t.tm_mon = 0;
  t.tm_mday = 1;
  t.tm_wday = 4;
  EXPECT_EQ(date_time_text(t), "Thu Jan  1 00:00:00 1970");
  t.tm_year = 124;
  t.tm_mon = 11;
  t.tm_mday = 31;
  t.tm_wday = 2;
  t.tm_hour = 23;
  t.tm_min = 5;
  t.tm_sec = 9;
  EXPECT_EQ(date_time_text(t), "Tue Dec 31 23:05:09 2024");
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
  EXPECT_EQ(parse_source_date_epoch("0"), std::time_t{0});
  EXPECT_EQ(parse_source_date_epoch("253402300799"), std::time_t{253402300799});
}

TEST(ClosingLine, TrimmedFileNameBetweenEmptyLines) {
  std::ostringstream out;
  write_closing_line(out, "  /data/run 1/Data.out   ");
  EXPECT_EQ(out.str(), "\r\n RESULTS FILE /data/run 1/Data.out\r\n\r\n");
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
    r.weighting = 2;
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
  // To look at the rendering: INHIBRA_GOLDEN_DUMP=path writes it there.
  if (const char* dump = std::getenv("INHIBRA_GOLDEN_DUMP")) {
    std::ofstream(dump, std::ios::binary) << text;
  }
  ASSERT_FALSE(want.empty()) << "golden file missing";
  EXPECT_EQ(text, want);
  if (text != want) {
    const auto got_lines = lines_of(text);
    const auto want_lines = lines_of(want);
    for (std::size_t q = 0; q < std::min(got_lines.size(), want_lines.size()); ++q) {
      if (got_lines[q] != want_lines[q]) {
        ADD_FAILURE() << "first difference in line " << q + 1 << ":\n got: [" << got_lines[q]
                      << "]\nwant: [" << want_lines[q] << "]";
        break;
      }
    }
  }
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
  c.r.weighting = 0;
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
}

TEST(ReportSection, OtherSqpOutcomesWriteNoMessage) {
  section_case c;
  c.r.sqp_info = 1;
  const std::string text = c.section();
  EXPECT_EQ(text.find("MESSAGE RETURNED"), std::string::npos);
  EXPECT_EQ(text.find("INFO ="), std::string::npos);
}

}  // namespace
}  // namespace inhibra::fit
