// A model that exists only in this test goes through the whole run (the chain of
// stages, the refinement, the statistics, the MC50 table, the results report and the
// plot of the fit) with nothing but its catalogue entry: the run reads every fact of
// a model from there.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "fit/ezfit.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"
#include "plotengine/pplot.hpp"
#include "support/model_data.hpp"
#include "support/recording_frontend.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::fit {
namespace {

constexpr double fixed_a = 2.0;

// The general mechanism with a fixed at 2 and 0 < b < 1. A b that has left its range
// starts again from 0.5, as the built-in models' b does.
double fixed_a_rate(double s, double i, std::span<double> p) {
  if (p[3] > 0.99) p[3] = 0.5;
  const double km = p[0];
  const double vmax = p[1];
  const double ki = p[2];
  const double b = p[3];
  return vmax * s * (1.0 + b * i / (fixed_a * ki)) /
         (km * (1.0 + i / ki) + s * (1.0 + i / (fixed_a * ki)));
}

// The entry, in the place of model 6, whose parameters (Km, Vmax, Ki, b), box and
// search settings it shares; its a and its rate are its own.
models::model_facts fixed_a_entry() {
  models::model_facts m = models::model_catalogue[5];
  m.name = "6- Test Hyperbolic Mixed, a = 2:";
  m.code = "HMx(a=2)I";
  m.conditions = "[a = 2, 0 < b < 1]";
  m.textbook = "partial (hyperbolic) mixed with a = 2";
  m.shape = {models::fixed_at(fixed_a), models::own_p4, {models::shape_range::below_one}};
  m.rate = fixed_a_rate;
  m.report = {"6- Test Hyperbolic Mixed Inhibition [a = 2, 0 < b < 1]:",
              {"v = Vmax*[S]*(1 + b*[I]/(2*Ki)) / ( Km*(1 + [I]/Ki) + [S]*(1 + [I]/(2*Ki)) )", ""},
              {"y = P2*X1*(1 + P4*X2/(2*P3)) / ( P1*(1 + X2/P3) + X1*(1 + X2/(2*P3)) )", ""}};
  return m;
}

// Keeps the line series (the fitted curves) of every plot the run shows.
struct curve_recorder : support::recording_frontend {
  std::vector<plotengine::series> curves;
  void show_plot(const plotengine::pplot& p) override {
    recording_frontend::show_plot(p);
    for (const plotengine::series& s : p.data)
      if (s.drawer == plotengine::drawer_type::line) curves.push_back(s);
  }
};

struct model_6_run {
  core::run_status status = core::run_status::success;
  run_record record;
  std::array<double, core::mc50_levels> mc50_substrate{};
  std::array<double, core::mc50_levels> mc50_value{};
  std::string report;
};

model_6_run fit_model_6(const std::string& path, const std::string& results, core::frontend* fe) {
  auto ctx = std::make_unique<core::fit_context>();
  ctx->fe = fe;
  ctx->selected_models[5] = true;
  std::string name = path;
  std::ostringstream console;
  model_6_run run;
  run.status = ezfit(*ctx, name, console, &run.record);
  run.mc50_substrate = ctx->mc50_substrate;
  run.mc50_value = ctx->mc50_value;
  run.report = support::read_file(results);
  return run;
}

double rate_at(int model, double s, double i, std::span<const double> p) {
  core::fit_context ctx;
  ctx.model = model;
  std::array<double, core::max_par> q{};
  std::copy(p.begin(), p.end(), q.begin());
  return models::func(ctx, s, i, 0.0, q);
}

TEST(OneEntryModel, IsFittedReportedAndDrawnFromItsEntryAlone) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  const support::temp_dir dir;
  std::array<models::model_facts, 10> table{};
  std::copy(models::model_catalogue.begin(), models::model_catalogue.end(), table.begin());
  table[5] = fixed_a_entry();
  const std::array<double, 4> truth{60.0, 0.25, 30.0, 0.3};

  std::string path;
  model_6_run own;
  curve_recorder fe;
  double truth_ssr = 0.0;
  {
    const models::scoped_catalogue test_models(table);
    path = dir.write("a2.in", support::model_data(6, {truth.begin(), truth.end()}, 0.01));
    own = fit_model_6(path, dir.file("a2.out"), &fe);
    // The sum of squares at the truth, which the fit must not exceed.
    std::istringstream rows(support::read_file(path));
    for (double s = 0, i = 0, v = 0; rows >> s >> i >> v;)
      truth_ssr += std::pow(v - rate_at(6, s, i, truth), 2);
  }
  ASSERT_EQ(own.status, core::run_status::success);
  ASSERT_EQ(own.record.fitted.size(), 1u);
  const model_result& r = own.record.fitted.front();
  EXPECT_EQ(r.n, 4);
  EXPECT_LE(r.ssr, truth_ssr);
  ASSERT_TRUE(r.se_produced);
  for (std::size_t k = 0; k < truth.size(); ++k)
    EXPECT_LT(std::abs(r.p[k] - truth[k]), 3.0 * r.se[k]) << "P" << k + 1;

  // The MC50 of a model with a fixed a: Ki a (S + Km) / (S + a Km).
  for (std::size_t q = 0; q < core::mc50_levels; ++q) {
    const double s = own.mc50_substrate[q];
    EXPECT_DOUBLE_EQ(own.mc50_value[q], (s + r.p[0]) * r.p[2] * fixed_a / (s + r.p[0] * fixed_a));
  }

  EXPECT_NE(own.report.find("MODEL NAME:  6- Test Hyperbolic Mixed Inhibition [a = 2"),
            std::string::npos);
  EXPECT_NE(own.report.find("y = P2*X1*(1 + P4*X2/(2*P3))"), std::string::npos);

  // Every point of the drawn curves is the entry's rate at the fitted parameters, at
  // one of the inhibitor levels measured.
  ASSERT_FALSE(fe.curves.empty());
  std::array<double, 4> fitted{};
  std::copy_n(r.p.begin(), 4, fitted.begin());
  for (const plotengine::series& curve : fe.curves) {
    for (std::size_t k = 0; k < curve.x.size(); ++k) {
      const double s = curve.x[k];
      const bool on_a_curve =
          std::ranges::any_of(std::array{0.0, 50.0, 150.0, 400.0}, [&](double i) {
            std::array<double, core::max_par> p{};
            std::copy(fitted.begin(), fitted.end(), p.begin());
            return std::abs(curve.y[k] - fixed_a_rate(s, i, p)) <= 1e-5 * std::abs(curve.y[k]);
          });
      EXPECT_TRUE(on_a_curve) << "[S] " << s << " v " << curve.y[k];
    }
  }

  // Model 6 of the program (a = 1) cannot follow these data as closely: the run above
  // fitted the entry, not the built-in model.
  const model_6_run builtin = fit_model_6(path, dir.file("a2.out"), nullptr);
  ASSERT_EQ(builtin.record.fitted.size(), 1u);
  EXPECT_GT(builtin.record.fitted.front().ssr, 2.0 * r.ssr);
  EXPECT_NE(builtin.report.find("MODEL NAME:  6- Hyperbolic Mixed Inhibition"), std::string::npos);
}

}  // namespace
}  // namespace inhibra::fit
