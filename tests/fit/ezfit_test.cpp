// Whole runs of the fit driver on small data files.
#include "fit/ezfit.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>

#include "fit/finished_run.hpp"
#include "models/model_library.hpp"
#include "support/model_data.hpp"
#include "support/numeric.hpp"
#include "support/recording_frontend.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::fit {
namespace {

using support::model_data;

// Records what the run shows, and does `then` after showing a fit.
struct plot_hook : support::recording_frontend {
  std::function<void()> then = [] {};
  void show_plot(const plotengine::pplot& p) override {
    recording_frontend::show_plot(p);
    then();
  }
};

class Ezfit : public ::testing::Test {
 protected:
  Ezfit() : ctx(std::make_unique<core::fit_context>()) {
    ctx->fe = &fe;
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  }
  void select(std::initializer_list<int> models) {
    ctx->selected_models.fill(false);
    for (int m : models)
      ctx->selected_models[static_cast<std::size_t>(m - 1)] = true;
  }
  core::run_status run(const std::string& path) {
    std::string name = path;
    return ezfit(*ctx, name, console, &record);
  }

  support::temp_dir dir;
  plot_hook fe;
  std::unique_ptr<core::fit_context> ctx;
  std::ostringstream console;
  run_record record;
};

TEST_F(Ezfit, SingleModelRunHasNoSummaryAndLeavesThatModel) {
  const auto path = dir.write("one.in", model_data(2, {120.0, 0.2, 80.0}, 0.01));
  select({2});
  ASSERT_EQ(run(path), core::run_status::success);
  const std::string report = support::read_file(dir.file("one.out"));
  EXPECT_EQ(report.find("BEST-FIT MODEL SUMMARY"), std::string::npos);
  EXPECT_NE(report.find("MODEL NAME:  2- Linear Mixed Inhibition"), std::string::npos);
  EXPECT_TRUE(report.ends_with(
      " ------------------------------------------------------------------------------\r\n"
      "\r\n RESULTS FILE " +
      dir.file("one.out") + "\r\n\r\n"));
  EXPECT_EQ(record.best_model, 2);
  EXPECT_EQ(ctx->model, 2);
  EXPECT_EQ(ctx->strmdl, "2- Linear Mixed Inhib, LMx(Sp=Ca)I:");
  EXPECT_EQ(ctx->global_mdl_count, 1);
  // Each fit is shown once, with the pacing pauses around it.
  EXPECT_EQ(fe.plots.size(), 1u);
  EXPECT_EQ(fe.idles, (std::vector<int>{1000, 500, 500}));
  EXPECT_EQ(fe.titles.back(), "Wait, computing model #2");
}

// The weighting switch names the run's weighting by its code; a value that is no
// weighting's code fits without weights and says so once per fit.
TEST_F(Ezfit, TheWeightingSwitchNamesTheWeightingOfTheRun) {
  const std::string warning = "Value of weight out of range of [0-2]!";
  const struct {
    std::int32_t value;
    core::weighting weighting;
    bool warned;
  } cases[] = {
      {0, core::weighting::none, false},   {1, core::weighting::fitted_rate, false},
      {2, core::weighting::robust, false}, {3, core::weighting::none, true},
      {-1, core::weighting::none, true},
  };
  const auto path = dir.write("w.in", model_data(1, {150.0, 0.16, 60.0}, 0.01));
  select({1});
  ctx->chain_only = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    fe.boxes.clear();
    record = {};
    ctx->weighting_switch = c.value;
    ASSERT_EQ(run(path), core::run_status::success);
    EXPECT_EQ(record.weighting, c.weighting);
    ASSERT_EQ(record.fitted.size(), 1u);
    EXPECT_EQ(record.fitted[0].weighting, c.weighting);
    EXPECT_EQ(std::ranges::count(fe.texts(), warning) > 0, c.warned);
  }
}

TEST_F(Ezfit, RecoversTheGeneratingParametersWithinTheirLimits) {
  const std::vector<double> truth{150.0, 0.16, 60.0};
  const auto path = dir.write("mm.in", model_data(1, truth, 0.005));
  select({1, 2});
  // A weighting toggle during the run (here: when the first fit is shown) does not
  // reach the second model.
  fe.then = [this] { ctx->weighting_switch = core::switch_value(core::weighting::robust); };
  ASSERT_EQ(run(path), core::run_status::success);
  ASSERT_EQ(record.fitted.size(), 2u);
  EXPECT_EQ(record.fitted[1].weighting, core::weighting::none);
  const auto& r = record.fitted[0];
  ASSERT_TRUE(r.se_produced);
  for (int i = 0; i < 3; ++i) {
    const auto k = static_cast<std::size_t>(i);
    EXPECT_LE(std::abs(r.p[k] - truth[k]), r.cl[k]) << "parameter " << i + 1;
    EXPECT_LT(r.se[k], 0.1 * r.p[k]);
  }
  // The generating model ranks first, clearly ahead of the wrong one.
  ASSERT_EQ(record.ranking.size(), 2u);
  EXPECT_EQ(record.fitted[static_cast<std::size_t>(record.ranking[0].index - 1)].model, 1);
  EXPECT_GT(record.ranking[1].ler, 1.0);
  EXPECT_EQ(record.best_model, 1);
  const std::string report = support::read_file(dir.file("mm.out"));
  EXPECT_NE(report.find("INHIBRA BEST-FIT MODEL SUMMARY:"), std::string::npos);
}

TEST_F(Ezfit, SameInputsInFreshContextsGiveIdenticalReports) {
  const auto path = dir.write("rep.in", model_data(3, {100.0, 0.2, 40.0, 0.5}, 0.01));
  select({1, 3, 8});
  ASSERT_EQ(run(path), core::run_status::success);
  const std::string first = support::read_file(dir.file("rep.out"));
  ctx = std::make_unique<core::fit_context>();
  ctx->fe = &fe;
  select({1, 3, 8});
  ASSERT_EQ(run(path), core::run_status::success);
  EXPECT_EQ(support::read_file(dir.file("rep.out")), first);
}

TEST_F(Ezfit, PoorlyDeterminedFitIsRepeatedOnce) {
  // One curve says nothing about Ki, a and b: their errors dwarf their values, so
  // the fit is repeated once and then accepted.
  std::string one_curve;
  for (double s : {50.0, 100.0, 200.0, 333.0, 500.0, 700.0}) {
    one_curve +=
        support::exact_text(s) + " 0 " + support::exact_text(0.18 * s / (220.0 + s)) + "\n";
  }
  const auto path = dir.write("one.in", one_curve);
  select({10});
  ASSERT_EQ(run(path), core::run_status::success);
  ASSERT_EQ(record.fitted.size(), 1u);
  EXPECT_TRUE(record.fitted[0].refitted);
  const auto shown = std::count(fe.titles.begin(), fe.titles.end(), "Wait, computing model #10");
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(fe.plots.size(), 1u);  // the fit is shown once, after the refit
}

TEST_F(Ezfit, StopAskedDuringARunEndsItBeforeTheNextModelAndWritesNothing) {
  const auto path = dir.write("s.in", model_data(1, {150.0, 0.16, 60.0}, 0.01));
  dir.write("s.out", "earlier results\r\n");
  const auto before = support::snapshot(dir.path());
  select({1, 2, 3});
  std::atomic<int> stop{0};
  ctx->stop = &stop;
  // The stop comes while the first fit is shown (a window closed, a signal).
  fe.then = [&stop] { stop = 1; };
  EXPECT_EQ(run(path), core::run_status::interrupted);
  EXPECT_EQ(fe.plots.size(), 1u);
  EXPECT_EQ(support::snapshot(dir.path()), before);
}

// A run that fits nothing writes nothing: the boxes say why, the console gets the
// closing line, and the results file of an earlier run keeps its bytes (or, where
// there was none, none is made). The record names no results file as written.
TEST_F(Ezfit, RefusedDataWriteNoResultsFile) {
  const std::string good = model_data(1, {150.0, 0.16, 60.0}, 0.01);
  const std::string comma = good.substr(0, good.find('.')) + "," + good.substr(good.find('.') + 1);
  select({1, 2});
  for (const bool earlier : {true, false}) {
    dir.write("d.in", comma);
    if (earlier) dir.write("d.out", "an earlier report\r\n");
    const auto before = support::snapshot(dir.path());
    console.str("");
    EXPECT_EQ(run(dir.file("d.in")), core::run_status::file_rejected);
    EXPECT_EQ(support::snapshot(dir.path()), before);
    EXPECT_EQ(console.str(), " RESULTS FILE " + dir.file("d.out") + "\n");
    EXPECT_EQ(fe.boxes.back().text, "* * * ERROR: RUN ABORTED * * *");
    EXPECT_FALSE(record.results_written);
    EXPECT_TRUE(record.fitted.empty());
    EXPECT_TRUE(fe.plots.empty());
    std::filesystem::remove(dir.file("d.out"));
    fe.boxes.clear();
  }
  // The same file corrected is fitted and its report put in place.
  dir.write("d.in", good);
  console.str("");
  ASSERT_EQ(run(dir.file("d.in")), core::run_status::success);
  EXPECT_TRUE(record.results_written);
  EXPECT_TRUE(support::read_file(dir.file("d.out"))
                  .ends_with(" RESULTS FILE " + dir.file("d.out") + "\r\n\r\n"));
  EXPECT_EQ(console.str(), "");
}

// The reader's warnings are the run's too, and the run goes on after them.
TEST_F(Ezfit, WarningsAboutTheDataReachTheRecord) {
  std::string one_level;
  for (double s : {50.0, 100.0, 200.0, 333.0, 500.0, 700.0})
    one_level +=
        support::exact_text(s) + " 0 " + support::exact_text(0.18 * s / (220.0 + s)) + "\n";
  const auto path = dir.write("one.in", one_level + "\n" + one_level);
  select({1});
  ASSERT_EQ(run(path), core::run_status::success);
  ASSERT_GE(record.warnings.size(), 2u);
  EXPECT_TRUE(record.warnings[0].starts_with("The data end at line 7 (a blank line), but 6 lines"))
      << record.warnings[0];
  EXPECT_TRUE(record.warnings[1].starts_with("Every row has the same inhibitor concentration"))
      << record.warnings[1];
  EXPECT_EQ(record.curves_found, 1);
  EXPECT_EQ(record.fitted.size(), 1u);
  EXPECT_TRUE(record.results_written);
}

// Rows left out are fitted as if the file lacked them, the report names them after
// its heading, and rows the run flags are counted among all rows of the file.
TEST_F(Ezfit, RowsLeftOutAreFittedAsIfAbsentAndNamed) {
  std::vector<std::string> lines;
  std::istringstream all(model_data(2, {120.0, 0.2, 80.0}, 0.01));
  for (std::string line; std::getline(all, line);)
    lines.push_back(line);
  ASSERT_EQ(lines.size(), 24u);
  // Row 4 is an outlier, so fitting it or not tells the two apart.
  std::istringstream row4(lines[3]);
  double s = 0.0, i = 0.0, v = 0.0;
  row4 >> s >> i >> v;
  lines[3] =
      support::exact_text(s) + " " + support::exact_text(i) + " " + support::exact_text(3 * v);
  std::string with_all, without;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    with_all += lines[k] + "\n";
    if (k != 3 && k != 16) without += lines[k] + "\n";
  }
  select({2});
  ASSERT_EQ(run(dir.write("short.in", without)), core::run_status::success);
  const model_result absent = record.fitted.at(0);
  const std::vector<flagged_row> absent_flagged = record.flagged_rows;
  const std::string absent_report = support::read_file(dir.file("short.out"));

  ctx->leave_out = {17, 4, 99};  // in any order; a place beyond the rows names nothing
  record = {};
  ASSERT_EQ(run(dir.write("all.in", with_all)), core::run_status::success);
  const model_result left = record.fitted.at(0);
  EXPECT_EQ(left.p, absent.p);
  EXPECT_EQ(left.ssr, absent.ssr);
  EXPECT_EQ(ctx->idat, 22);
  EXPECT_EQ(record.rows_left_out, (std::vector<std::string>{"4", "17"}));
  ASSERT_EQ(record.flagged_rows.size(), absent_flagged.size());
  for (std::size_t k = 0; k < absent_flagged.size(); ++k) {
    const int r = absent_flagged[k].row;  // of the file without rows 4 and 17
    EXPECT_EQ(record.flagged_rows[k].row, r < 4 ? r : r < 16 ? r + 1 : r + 2);
  }
  const std::string report = support::read_file(dir.file("all.out"));
  const std::string named = "\r\n\r\n          ROWS LEFT OUT: 4, 17\r\n\r\n          MODEL NAME:";
  EXPECT_NE(report.find(named), std::string::npos);
  EXPECT_EQ(absent_report.find("ROWS LEFT OUT"), std::string::npos);
  // Apart from that line and the file's name, the reports are the same.
  std::string expected = absent_report;
  for (std::size_t at = 0; (at = expected.find("short.", at)) != std::string::npos;)
    expected.replace(at, 6, "all.");
  std::string seen = report;
  const std::string line = "          ROWS LEFT OUT: 4, 17\r\n\r\n";
  for (std::size_t at = 0; (at = seen.find(line)) != std::string::npos;)
    seen.erase(at, line.size());
  EXPECT_EQ(seen, expected);

  // With all rows in, the outlier moves the fit.
  ctx->leave_out.clear();
  ASSERT_EQ(run(dir.file("all.in")), core::run_status::success);
  EXPECT_NE(record.fitted.at(0).ssr, absent.ssr);
  EXPECT_TRUE(record.rows_left_out.empty());
}

// Every fitted model carries the checks of its residuals at its final point, with
// the rows weighed as in the fit: the spread check tells noise that grows with the
// rate from constant noise; robust weights take an outlier out of the normality
// check; replicate rows give a lack-of-fit test, in either fitting method.
TEST(ResidualChecks, EveryModelAtItsFinalPoint) {
  support::temp_dir dir;
  const std::string exact = model_data(2, {120.0, 0.2, 80.0}, 0.0);
  std::mt19937 rng(11);
  std::normal_distribution<double> gauss(0.0, 1.0);
  const std::string constant =
      edited_rows(exact, [&](int, double&, double&, double& v) { v += 0.003 * gauss(rng); });
  const std::string outlier =
      edited_rows(support::read_file(example), [](int row, double&, double&, double& v) {
        if (row == 10) v *= 2.5;
      });
  const std::string replicated =
      model_data(2, {120.0, 0.2, 80.0}, 0.03, 5) + model_data(2, {120.0, 0.2, 80.0}, 0.03, 6);
  struct run_case {
    const char* name;
    std::string data;
    core::weighting weighting;
    bool chain_only;
    bool relative_advised;
    std::optional<bool> normality_advised;  // none: either (a growing spread makes
                                            // the pooled residuals heavy-tailed too)
    bool lack_of_fit;
  };
  const std::vector<run_case> table{
      {"noise relative to the rate", model_data(2, {120.0, 0.2, 80.0}, 0.05), core::weighting::none,
       false, true, std::nullopt, false},
      {"constant noise", constant, core::weighting::none, false, false, false, false},
      {"an outlier", outlier, core::weighting::none, false, false, true, false},
      {"an outlier, robust weights", outlier, core::weighting::robust, false, false, false, false},
      {"replicates", replicated, core::weighting::none, false, true, std::nullopt, true},
      {"replicates, chain alone", replicated, core::weighting::none, true, true, std::nullopt,
       true},
  };
  for (const auto& c : table) {
    const auto run = fit_file(dir.write("d.in", c.data), {1, 2}, c.weighting, c.chain_only);
    ASSERT_EQ(run.record.fitted.size(), 2u) << c.name;
    for (const model_result& r : run.record.fitted) {
      const residual_diagnostics& d = r.diagnostics;
      EXPECT_TRUE(d.runs.available && d.normality.available && d.spread.available)
          << c.name << ", model " << r.model;
      EXPECT_EQ(d.lack_of_fit.available, c.lack_of_fit) << c.name << ", model " << r.model;
      if (r.model != 2) continue;  // the generating model
      EXPECT_EQ(d.advises_relative(), c.relative_advised) << c.name;
      if (c.normality_advised) {
        EXPECT_EQ(!d.normality.advice.empty(), *c.normality_advised) << c.name;
      }
      if (c.lack_of_fit) {
        EXPECT_GE(d.lack_of_fit.p, advice_level) << c.name;  // the model is the true one
      }
    }
  }
}

}  // namespace
}  // namespace inhibra::fit
