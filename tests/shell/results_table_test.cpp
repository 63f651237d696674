#include "shell/results_table.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "support/temp_dir.hpp"

namespace inhibra::shell {
namespace {

// A fitted model as the run leaves it; standard errors and t give symmetric limits.
fit::model_result fitted(int model, int n, std::vector<double> p, std::vector<double> se) {
  fit::model_result r;
  r.model = model;
  r.name = std::to_string(model) + "- some model, X:";
  r.n = n;
  r.se_produced = true;
  r.t = 2.0;
  for (int i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    r.p[k] = p[k];
    r.se[k] = se[k];
    r.cl[k] = r.t * se[k];
  }
  // Nothing at bound: the errors shown are the fit's own.
  r.se_free_produced = true;
  r.se_free = r.se;
  r.cl_free = r.cl;
  r.ssr = 1e-4 * model;
  r.aicc = -100.0 + model;
  return r;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> out(1);
  for (const char c : text) {
    if (c == separator)
      out.emplace_back();
    else
      out.back() += c;
  }
  return out;
}

double read_number(const std::string& text) {
  double v = NAN;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

// The window says which file and settings produced the rows, marks the best model
// of two or more, and names the parameters with their units.
TEST(ResultsRows, TheWindowNamesTheRunMarksTheBestAndGivesUnits) {
  fit::run_record record;
  record.data_name = "/tmp/some folder/Data.in";
  record.fitted.push_back(fitted(9, 5, {250, 0.18, 100, 1.5, 0.4}, {10, 0.01, 5, 0.1, 0.05}));
  record.fitted.push_back(fitted(1, 3, {250, 0.18, 100}, {10, 0.01, 5}));
  record.fitted[0].textbook = {50.0, -90.0, -88.0};
  record.fitted[1].textbook = {50.0, -99.0, -97.0};
  EXPECT_EQ(run_line(record, "2026-12-07 20:41"),
            "Data.in, run 2026-12-07 20:41   |   Weights: equal   |   Fitting: refined");
  record.errors = core::error_model::relative;
  record.weighting = core::weighting::robust;
  record.method = fit::fit_method::fast;
  record.rows_left_out = {"4", "C17"};
  EXPECT_EQ(run_line(record, ""),
            "Data.in   |   Weights: relative, robust   |   Fitting: refined, fast   |   Rows left "
            "out: 4, C17");
  record.method = fit::fit_method::chain_only;
  EXPECT_NE(run_line(record, "").find("Fitting: chain only"), std::string::npos);

  const auto rows = results_rows(record, {"mM", "nM", "mM/min"});
  std::vector<std::string> names;
  for (const parameter_row& p : rows[1].parameters)
    names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Km (mM)", "Vmax (mM/min)", "Ki (nM)", "a", "b"}));
  const auto contents = results_contents(rows, {{}, {}, {}, "the run"});
  EXPECT_TRUE(contents.heading.starts_with("the run\n")) << contents.heading;
  EXPECT_EQ(contents.rows[0].cells[1], std::string(best_mark) + record.fitted[1].name);
  EXPECT_EQ(contents.rows[1].cells[1], record.fitted[0].name);
  // The mark is the window's: exports name the model as it is.
  EXPECT_EQ(tab_separated(rows).find(best_mark), std::string::npos);
  // One model alone is not marked; without units the names stand alone.
  record.fitted.pop_back();
  const auto alone = results_rows(record);
  EXPECT_EQ(results_contents(alone).rows[0].cells[1], record.fitted[0].name);
  EXPECT_EQ(alone[0].parameters[0].name, "Km");
}

// The rows follow the ranking by the textbook AICc, with its weights; the report's
// criterion is shown beside it and ranks nothing here.
TEST(ResultsRows, RankedByTheTextbookAiccWithTheReportCriterionBeside) {
  fit::run_record record;
  record.fitted.push_back(fitted(9, 5, {250, 0.18, 100, 1.5, 0.4}, {10, 0.01, 5, 0.1, 0.05}));
  record.fitted.push_back(fitted(1, 3, {250, 0.18, 100}, {10, 0.01, 5}));
  record.fitted.push_back(fitted(4, 4, {250, 0.18, 100, 2.0}, {10, 0.01, 5, 0.1}));
  record.fitted[1].refined = true;
  // By the report's criterion model 1 is last (-99 < -96 < -91 would be 9, 4, 1);
  // by the textbook AICc the second model fitted comes first, then the third.
  const std::vector<double> aicc{-91.0, -99.0, -96.0};
  for (std::size_t i = 0; i < 3; ++i) {
    record.fitted[i].textbook = {50.0 + static_cast<double>(i), aicc[i], aicc[i] + 3.0};
    record.fitted[i].aicc = -120.0 + 10.0 * static_cast<double>(i);
  }
  const auto rows = results_rows(record);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].model, 1);
  EXPECT_EQ(rows[1].model, 4);
  EXPECT_EQ(rows[2].model, 9);
  EXPECT_EQ(rows[2].textbook, "partial (hyperbolic) mixed, toward competitive (a > 1)");
  EXPECT_EQ(rows[0].textbook, "competitive");
  EXPECT_DOUBLE_EQ(rows[2].delta_aicc, 8.0);
  EXPECT_DOUBLE_EQ(rows[1].bic, -93.0);
  EXPECT_DOUBLE_EQ(rows[2].report_criterion, -120.0);
  // Weights exp(-delta/2) normalised: 1 : e^-1.5 : e^-4.
  const double sum = 1.0 + std::exp(-1.5) + std::exp(-4.0);
  EXPECT_NEAR(rows[0].weight, 1.0 / sum, 1e-12);
  EXPECT_NEAR(rows[2].weight, std::exp(-4.0) / sum, 1e-12);
  EXPECT_NEAR(rows[2].evidence_ratio, std::exp(4.0), 1e-9);
  EXPECT_NEAR(rows[0].evidence_ratio, 1.0, 1e-12);
  EXPECT_EQ(flag_text(rows[0]), "refined");
  EXPECT_EQ(flag_text(rows[2]), "");
  ASSERT_EQ(rows[2].parameters.size(), 5u);
  EXPECT_EQ(rows[2].parameters[3].name, "a");
  EXPECT_EQ(rows[2].parameters[4].name, "b");
  const auto grid = results_grid(rows, 6);
  EXPECT_EQ(grid[0][4], "AICc");
  EXPECT_EQ(grid[0][9], "Report criterion");
  EXPECT_EQ(grid[1][4], "-99");
  EXPECT_EQ(grid[1][9], "-110");
  EXPECT_EQ(results_contents(rows).heading, ranking_caption);
  // Nothing held at a range's end: every fit counts in the verdict as itself.
  EXPECT_EQ(grid[0][19], "Counts in the verdict as");
  EXPECT_EQ(grid[1][19], "itself");

  // Model 9 with b held at its lower end is model 4: it counts as model 4, and says so.
  auto held = record;
  held.fitted[0].at_bound = {{5, false}};
  const auto counted = results_rows(held);
  ASSERT_EQ(counted[2].model, 9);
  EXPECT_EQ(counted[2].counts_as, 4);
  EXPECT_EQ(results_grid(counted, 6)[1 + 4 + 5][19], "model 4");

  // One model alone: the best by itself.
  record.fitted.resize(1);
  const auto alone = results_rows(record);
  EXPECT_EQ(alone[0].delta_aicc, 0.0);
  EXPECT_EQ(alone[0].weight, 1.0);
  EXPECT_EQ(alone[0].evidence_ratio, 1.0);
}

TEST(ResultsRows, SymmetricLimitsStopAtTheModelsRange) {
  fit::run_record record;
  // Model 9: a >= 1 and b <= 0.99; a = 4.14 +- 2 * 2.51 reaches -0.88.
  record.fitted.push_back(fitted(9, 5, {250, 0.18, 100, 4.14, 0.9}, {10, 0.01, 5, 2.51, 0.1}));
  // Model 8: b stays below its a (0.5).
  record.fitted.push_back(fitted(8, 5, {250, 0.18, 100, 0.5, 0.45}, {10, 0.01, 5, 0.01, 0.05}));
  const auto rows = results_rows(record);
  const parameter_row& a = rows[0].parameters[3];
  EXPECT_EQ(a.limits, limit_kind::symmetric);
  EXPECT_EQ(a.low, 1.0);
  EXPECT_DOUBLE_EQ(a.high, 4.14 + 2 * 2.51);
  EXPECT_TRUE(a.clipped);
  const parameter_row& b9 = rows[0].parameters[4];
  EXPECT_DOUBLE_EQ(b9.low, 0.9 - 0.2);
  EXPECT_EQ(b9.high, 0.99);
  EXPECT_TRUE(b9.clipped);
  const parameter_row& km = rows[0].parameters[0];
  EXPECT_FALSE(km.clipped);
  EXPECT_DOUBLE_EQ(km.low, 230.0);
  EXPECT_EQ(flag_text(km), "");
  EXPECT_EQ(flag_text(a), "limits clipped to the model's range");
  const parameter_row& b8 = rows[1].parameters[4];
  EXPECT_EQ(b8.high, std::nextafter(0.5, 0.0));
  EXPECT_TRUE(b8.clipped);
  EXPECT_FALSE(rows[1].parameters[3].clipped);  // 0.48 .. 0.52 inside (0, 0.99)
}

TEST(ResultsRows, ProfileLimitsWhereTheRunComputedThem) {
  fit::run_record record;
  record.fitted.push_back(fitted(3, 4, {250, 0.18, 100, 0.5}, {10, 0.01, 5, 0.1}));
  fit::model_result& r = record.fitted[0];
  r.profiled = true;
  r.profile[0] = {220.0, 290.0, false, false};
  r.profile[3] = {0.4, 0.99, false, true};  // open above: the range ends first
  const auto rows = results_rows(record);
  const parameter_row& km = rows[0].parameters[0];
  EXPECT_EQ(km.limits, limit_kind::profile);
  EXPECT_EQ(km.low, 220.0);
  EXPECT_EQ(km.high, 290.0);
  EXPECT_FALSE(km.clipped);
  EXPECT_DOUBLE_EQ(km.symmetric_low, 230.0);  // after them, the symmetric ones
  const parameter_row& a = rows[0].parameters[3];
  EXPECT_EQ(a.high, 0.99);
  EXPECT_TRUE(a.clipped);
  EXPECT_EQ(flag_text(a), "limits clipped to the model's range");
  const auto grid = results_grid(rows, 6);
  EXPECT_EQ(grid[5][14], "profile");
  EXPECT_EQ(grid[5][15], "0.3");
}

// Parameters at an end of the range (held there by the run): no standard error and
// no symmetric limits; their profile limits where the run computed them, else none.
// The other parameters' errors are conditional on them and say so.
TEST(ResultsRows, ParametersAtBoundHaveNoErrorAndTheOthersAreConditional) {
  struct held_case {
    std::vector<int> at_bound;  // 1-based
    bool profiled;
    std::string conditional;  // the others' flag
  };
  const std::vector<held_case> cases{
      {{3}, true, "conditional on Ki at its bound"},
      {{3}, false, "conditional on Ki at its bound"},
      {{4, 5}, true, "conditional on a and b at their bounds"},
      {{1, 4, 5}, false, "conditional on Km, a and b at their bounds"},
  };
  for (const auto& c : cases) {
    fit::run_record record;
    // The report's errors (se) differ from the ones shown (se_free).
    record.fitted.push_back(fitted(8, 5, {250, 0.18, 100, 0.5, 0.3}, {9, 9, 9, 9, 9}));
    fit::model_result& r = record.fitted[0];
    r.se_free = {10, 0.01, 5, 0.1, 0.05};
    r.cl_free = {20, 0.02, 10, 0.2, 0.1};
    for (const int i : c.at_bound) {
      r.at_bound.push_back({i, true});
      r.held[static_cast<std::size_t>(i - 1)] = true;
      r.se_free[static_cast<std::size_t>(i - 1)] = NAN;
    }
    r.profiled = c.profiled;
    for (std::size_t k = 0; k < 5; ++k)
      r.profile[k] = {r.p[k] * 0.5, r.p[k] * 1.2, false, false};
    const auto rows = results_rows(record);
    const auto grid = results_grid(rows, 6);
    for (std::size_t k = 0; k < 5; ++k) {
      const parameter_row& q = rows[0].parameters[k];
      const auto& line = grid[2 + k];
      const std::string where = q.name + (c.profiled ? " profiled" : "");
      EXPECT_EQ(q.at_bound, r.held[k]) << where;
      EXPECT_FALSE(q.poorly_determined) << where;
      EXPECT_EQ(line[15] == "n/a", r.held[k]) << where;  // symmetric lower
      if (r.held[k]) {
        EXPECT_EQ(line[11], se_at_bound) << where;
        EXPECT_EQ(flag_text(q), "at bound") << where;
        EXPECT_EQ(line[14], c.profiled ? "profile" : "none") << where;
        EXPECT_EQ(std::isnan(q.low), !c.profiled) << where;
        continue;
      }
      EXPECT_EQ(q.se, r.se_free[k]) << where;
      EXPECT_EQ(flag_text(q), c.conditional) << where;
      EXPECT_DOUBLE_EQ(q.symmetric_high, r.p[k] + r.cl_free[k]) << where;
      EXPECT_EQ(q.low, c.profiled ? r.profile[k].low : q.symmetric_low) << where;
    }
  }
}

TEST(ResultsRows, PoorlyDeterminedByTheDriversRule) {
  fit::run_record record;
  const double p = 1.333;
  // se exactly p / 1.333 is still determined; a hair above is not.
  record.fitted.push_back(fitted(1, 3, {p, p, p}, {1.0, std::nextafter(1.0, 2.0), NAN}));
  auto rows = results_rows(record);
  EXPECT_FALSE(rows[0].parameters[0].poorly_determined);
  EXPECT_TRUE(rows[0].parameters[1].poorly_determined);
  EXPECT_TRUE(rows[0].parameters[2].poorly_determined);  // a NaN error counts
  EXPECT_TRUE(std::isnan(rows[0].parameters[2].low));
  EXPECT_FALSE(rows[0].parameters[2].clipped);
  // No errors at all: every parameter counts, and nothing is available.
  record.fitted[0].se_free_produced = false;
  rows = results_rows(record);
  for (const auto& q : rows[0].parameters) {
    EXPECT_TRUE(q.poorly_determined);
    EXPECT_TRUE(std::isnan(q.se));
  }
  const auto grid = results_grid(rows, 6);
  EXPECT_EQ(grid[2][11], "n/a");
  EXPECT_EQ(grid[2][12], "n/a");
}

TEST(ResultsText, ClipboardAndCsvCarryEveryLineWithExactNumbers) {
  fit::run_record record;
  record.fitted.push_back(fitted(1, 3, {250.123456789, 0.18, 100}, {10, 0.01, 5}));
  record.fitted.push_back(fitted(9, 5, {250, 0.18, 100, 4.14, 0.9}, {10, 0.01, 5, 2.51, 0.1}));
  const auto rows = results_rows(record);

  const auto lines = split(tab_separated(rows), '\n');
  ASSERT_EQ(lines.size(), 1u + 1 + 3 + 1 + 5 + 1);  // header, 2 models, 8 parameters, end
  EXPECT_EQ(lines.back(), "");
  const auto header = split(lines[0], '\t');
  ASSERT_EQ(header.size(), 20u);
  EXPECT_EQ(header[5], "\u0394AICc");
  EXPECT_EQ(header[17], "Flags");
  EXPECT_EQ(header[18], "Residual checks");
  const auto km = split(lines[2], '\t');
  ASSERT_EQ(km.size(), 20u);
  EXPECT_EQ(km[0], "1");  // every line names its model
  EXPECT_EQ(km[1], "Km");
  EXPECT_EQ(read_number(km[10]), 250.123456789);
  const auto a9 = split(lines[9], '\t');
  EXPECT_EQ(a9[1], "a");
  EXPECT_EQ(read_number(a9[12]), 1.0);
  EXPECT_EQ(a9[14], "symmetric");
  EXPECT_EQ(a9[15], a9[12]);  // the symmetric limits, offered and repeated
  EXPECT_EQ(a9[17], "limits clipped to the model's range");
  // Shown in the window: six digits.
  EXPECT_EQ(results_grid(rows, 6)[2][10], "250.123");

  // CSV: the model names hold commas and are quoted; lines end in CR LF.
  const std::string csv = csv_text(rows);
  EXPECT_NE(csv.find("\r\n1,\"1- some model, X:\",competitive,"), std::string::npos);
  EXPECT_EQ(split(csv, '\n').size(), lines.size());
  EXPECT_NE(csv.find("\r\n9,a,,,,,,,,,4.14,2.51,1,"), std::string::npos);
}

// The residual column names the check with the smallest p among those that advise,
// and counts the others; its tooltip lists every check, then the advice.
TEST(ResultsRows, ResidualChecksInAFewWordsAndInFull) {
  const fit::diagnostic_test none{};
  const fit::diagnostic_test quiet{true, 0.98, 0.41, ""};
  const fit::diagnostic_test runs{true, 8.0, 0.0056, "runs advice"};
  const fit::diagnostic_test spread{true, 0.6, 0.0021, "spread advice"};
  const fit::diagnostic_test lack{true, 9.1, 0.03, "lack-of-fit advice"};
  struct checks {
    const char* name;
    fit::residual_diagnostics d;
    std::string summary;
    std::string details;
  };
  const std::vector<checks> table{
      {"none made",
       {none, none, none, none},
       "n/a",
       "runs: not available\nnormality: not available\nspread: not available\nlack of fit: not "
       "available"},
      {"none advising",
       {quiet, quiet, none, none},
       "no advice",
       "runs: p = 0.41\nnormality: p = 0.41\nspread: not available\nlack of fit: not available"},
      {"one",
       {runs, quiet, quiet, none},
       "runs p = 0.0056",
       "runs: p = 0.0056\nnormality: p = 0.41\nspread: p = 0.41\nlack of fit: not "
       "available\n\nruns advice"},
      {"three, the smallest not first",
       {runs, quiet, spread, lack},
       "spread p = 0.0021 (+2)",
       "runs: p = 0.0056\nnormality: p = 0.41\nspread: p = 0.0021\nlack of fit: p = 0.03\n\n"
       "runs advice\nspread advice\nlack-of-fit advice"},
  };
  for (const auto& c : table) {
    fit::run_record record;
    record.fitted.push_back(fitted(2, 3, {250, 0.18, 100}, {10, 0.01, 5}));
    record.fitted[0].diagnostics = c.d;
    const auto rows = results_rows(record);
    EXPECT_EQ(residual_summary(rows[0]), c.summary) << c.name;
    EXPECT_EQ(residual_details(rows[0]), c.details) << c.name;
    const auto grid = results_grid(rows, 6);
    EXPECT_EQ(grid[1][18], c.summary) << c.name;
    EXPECT_EQ(grid[2][18], "") << c.name;  // parameter lines leave it empty
    // The window: the summary in the cell, the details as its tooltip.
    const auto contents = results_contents(rows);
    ASSERT_EQ(contents.rows[0].tooltips.size(), 20u) << c.name;
    EXPECT_EQ(contents.rows[0].tooltips[18], c.details) << c.name;
    EXPECT_TRUE(contents.rows[0].children[0].tooltips.empty()) << c.name;
  }
}

// The line under the table names the flagged rows by their lines in the data file,
// grouped by what flagged them; no line when nothing is flagged.
TEST(ResultsText, FlaggedRowsAreNamedUnderTheTable) {
  struct case_ {
    std::vector<fit::flagged_row> flagged;
    std::string names;  // what follows "(line numbers of the data file): "
  };
  const case_ cases[] = {
      {{}, ""},
      {{{4, false, true}}, "4 high influence."},
      {{{6, true, false}, {20, true, false}}, "6, 20 down-weighted."},
      {{{3, true, true}, {9, false, true}}, "3, 9 high influence; 3 down-weighted."},
  };
  const std::string lead = "(line numbers of the data file): ";
  fit::run_record record;
  record.fitted.push_back(fitted(2, 3, {250, 0.18, 100}, {10, 0.01, 5}));
  for (const auto& c : cases) {
    const std::string text = flagged_rows_text(c.flagged);
    const auto contents = results_contents(results_rows(record), {{}, {}, c.flagged, {}});
    const auto& legend = contents.legend;
    // A copy and an export carry the line too, after the table.
    EXPECT_TRUE(contents.clipboard_text.ends_with(text.empty() ? "" : text + "\n"))
        << contents.clipboard_text;
    EXPECT_EQ(csv_text(results_rows(record), {{}, {}, c.flagged, {}}).find("Rows to look at") !=
                  std::string::npos,
              !text.empty());
    if (c.names.empty()) {
      EXPECT_EQ(text, "");
      EXPECT_EQ(legend, results_legend());
      continue;
    }
    const auto at = text.find(lead);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.substr(at + lead.size(), c.names.size()), c.names);
    EXPECT_EQ(legend, text + "\n" + results_legend());
  }
}

TEST(ResultsExport, WholeFileOrNone) {
  fit::run_record record;
  record.fitted.push_back(fitted(2, 3, {250, 0.18, 100}, {10, 0.01, 5}));
  const auto rows = results_rows(record);
  support::temp_dir dir;
  const std::string name = dir.file("table.csv");
  EXPECT_EQ(export_csv(rows, name), "");
  EXPECT_EQ(support::read_file(name), csv_text(rows));
  // A folder at the name: refused, with a reason, and the folder is left alone.
  std::filesystem::create_directory(dir.file("taken"));
  EXPECT_NE(export_csv(rows, dir.file("taken")), "");
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken")));
  EXPECT_NE(export_csv(rows, dir.file("missing/table.csv")), "");
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

}  // namespace
}  // namespace inhibra::shell
