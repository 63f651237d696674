// Standard errors that do not depend on the units: against an independently formed
// exact Jacobian (complex-step derivatives of the rate equations), and unchanged
// relative errors, correlations, weights and ranking when the data are rescaled.
#include "fit/exact_statistics.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <filesystem>
#include <memory>
#include <vector>

#include "fit/covariance.hpp"
#include "fit/ezfit.hpp"
#include "fit/finished_run.hpp"
#include "support/model_data.hpp"
#include "support/numeric.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::fit {
namespace {

// The rate equations of each model as written in the model table, for complex
// arguments (an implementation apart from the program's).
using cplx = std::complex<double>;
cplx table_rate(int model, double s, double i, const std::array<cplx, 5>& p) {
  const cplx km = p[0], vmax = p[1], ki = p[2], p4 = p[3], p5 = p[4];
  const cplx k = km / s;
  switch (model) {
    case 1:
      return vmax / ((1.0 + i / ki) * k + 1.0);
    case 2:
      return vmax / ((1.0 + i / ki) * (k + 1.0));
    case 3:
    case 4:
      return vmax / ((1.0 + i / (ki * p4)) + (1.0 + i / ki) * k);
    case 5:
      return vmax / ((1.0 + i / ki) * k / (1.0 + i / (p4 * ki)) + 1.0);
    case 6:
      return vmax /
             ((1.0 + i / ki) * k / (1.0 + p4 * i / ki) + (1.0 + i / ki) / (1.0 + p4 * i / ki));
    case 7:
      return vmax / ((1.0 + i / ki) * k / (1.0 + i / ki) + (1.0 + i / (p4 * ki)) / (1.0 + i / ki));
    default:
      return vmax / ((1.0 + i / ki) * k / (1.0 + p5 * i / (p4 * ki)) +
                     (1.0 + i / (p4 * ki)) / (1.0 + p5 * i / (p4 * ki)));
  }
}

// Standard errors and correlations of fit r: sqrt of the diagonal of (J^T J)^-1
// times SSR / (N - n), J by complex steps.
struct reference_statistics {
  std::vector<double> se;
  std::vector<double> correlation;  // n x n by column
};
reference_statistics reference(const core::fit_context& ctx, const model_result& r) {
  const auto n = static_cast<std::size_t>(r.n);
  std::vector<double> a(n * n, 0.0);
  for (int k = 0; k < ctx.rows; ++k) {
    const auto row = static_cast<std::size_t>(k);
    std::vector<double> j(n);
    for (std::size_t c = 0; c < n; ++c) {
      std::array<cplx, 5> p{};
      for (std::size_t q = 0; q < n; ++q)
        p[q] = r.p[q];
      constexpr double h = 1e-30;
      p[c] += cplx(0.0, h);
      j[c] = -table_rate(r.model, ctx.xtmp[row], ctx.x2tmp[row], p).imag() / h;
    }
    for (std::size_t c = 0; c < n; ++c) {
      for (std::size_t q = 0; q < n; ++q)
        a[q + c * n] += j[q] * j[c];
    }
  }
  std::vector<double> inv = a;
  invertmat(inv, r.n);  // checked against the identity on its own
  reference_statistics out;
  const double variance = r.ssr / (ctx.rows - r.n);
  for (std::size_t i = 0; i < n; ++i)
    out.se.push_back(std::sqrt(inv[i + i * n] * variance));
  for (std::size_t c = 0; c < n; ++c) {
    for (std::size_t q = 0; q < n; ++q)
      out.correlation.push_back(inv[q + c * n] / std::sqrt(inv[q + q * n] * inv[c + c * n]));
  }
  return out;
}

// The example fitted with all ten models, once for all tests.
const finished_run& example_all_models() {
  static const finished_run run = fit_file(example, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  return run;
}

// The exact t of the 24 rows' degrees of freedom (from tables), not a value rounded
// to two decimals.
double exact_t(int n) {
  return n == 3 ? 2.0796138 : n == 4 ? 2.0859634 : 2.0930241;
}

TEST(ExactStatistics, TheExamplesErrorsAgreeWithAnIndependentExactJacobian) {
  constexpr double agreement = 1e-6;
  const finished_run& run = example_all_models();
  int compared = 0;
  for (const auto& r : run.record.fitted) {
    // Fits against a box end leave a nearly singular matrix whose inverse the
    // damping of the diagonal moves; the comparison takes the interior fits.
    if (!r.at_bound.empty()) continue;
    ASSERT_TRUE(r.se_produced) << "model " << r.model;
    // Nothing held: the errors shown outside the report are these.
    EXPECT_TRUE(r.se_free_produced);
    EXPECT_EQ(r.se_free, r.se) << "model " << r.model;
    EXPECT_EQ(r.held, decltype(r.held){}) << "model " << r.model;
    const auto ref = reference(*run.ctx, r);
    for (std::size_t i = 0; i < static_cast<std::size_t>(r.n); ++i) {
      EXPECT_TRUE(support::rel_near(r.se[i], ref.se[i], agreement))
          << "model " << r.model << " parameter " << i + 1;
      EXPECT_NEAR(r.cl[i] / r.se[i], exact_t(r.n), 1e-6) << "model " << r.model;
      for (std::size_t j = 0; j < static_cast<std::size_t>(r.n); ++j) {
        const std::size_t at = i + j * static_cast<std::size_t>(r.n);
        EXPECT_NEAR(r.correlation[at], ref.correlation[at], agreement) << "model " << r.model;
      }
    }
    if (compared++ == 0) {
      // The errors come from the point alone: a result whose earlier statistics
      // failed gets them, and says so.
      model_result again = r;
      again.se_produced = false;
      again.se.fill(0.0);
      run.ctx->model = run.ctx->mdl_number = r.model;
      exact_statistics(*run.ctx, again);
      EXPECT_TRUE(again.se_produced);
      EXPECT_EQ(again.se, r.se);
    }
  }
  EXPECT_GE(compared, 3);
}

// Standard errors of fit r with the parameters at a box end held there: J by complex
// steps along the free parameters only (model 8's b held at a moves with a, db =
// (b / a) da), the variance SSR / (N - n) of the whole fit. NaN for held parameters.
std::vector<double> held_reference(const core::fit_context& ctx, const model_result& r) {
  const auto n = static_cast<std::size_t>(r.n);
  std::vector<bool> held(n, false);
  bool b_follows_a = false;
  for (const auto& hit : r.at_bound) {
    held[static_cast<std::size_t>(hit.index - 1)] = true;
    b_follows_a = b_follows_a || (r.model == 8 && hit.index == 5 && hit.upper);
  }
  b_follows_a = b_follows_a && !held[3];
  std::vector<std::size_t> free;
  for (std::size_t c = 0; c < n; ++c) {
    if (!held[c]) free.push_back(c);
  }
  const std::size_t m = free.size();
  std::vector<double> a(m * m, 0.0);
  for (int k = 0; k < ctx.rows; ++k) {
    const auto row = static_cast<std::size_t>(k);
    std::vector<double> j(m);
    for (std::size_t c = 0; c < m; ++c) {
      std::array<cplx, 5> p{};
      for (std::size_t q = 0; q < n; ++q)
        p[q] = r.p[q];
      constexpr double h = 1e-30;
      p[free[c]] += cplx(0.0, h);
      if (b_follows_a && free[c] == 3) p[4] += cplx(0.0, h * r.p[4] / r.p[3]);
      j[c] = -table_rate(r.model, ctx.xtmp[row], ctx.x2tmp[row], p).imag() / h;
    }
    for (std::size_t c = 0; c < m; ++c) {
      for (std::size_t q = 0; q < m; ++q)
        a[q + c * m] += j[q] * j[c];
    }
  }
  invertmat(a, static_cast<int>(m));
  std::vector<double> se(n, NAN);
  for (std::size_t c = 0; c < m; ++c)
    se[free[c]] = std::sqrt(a[c + c * m] * r.ssr / (ctx.rows - r.n));
  return se;
}

// Fits with parameters at box ends (the example's, and model 8 held at b = a on data
// of model 7): those parameters have no error outside the report, and the others'
// errors are those of the exact Jacobian over the free parameters alone. The
// report's errors stay as they were.
TEST(ExactStatistics, ErrorsOfFitsAtABoxEndHoldTheParametersThereFixed) {
  constexpr double agreement = 1e-6;
  std::vector<const finished_run*> runs{&example_all_models()};
  for (const auto& run : model7_data_fitted_by_7_and_8().runs)
    runs.push_back(&run);
  int compared = 0;
  int b_held_at_a = 0;
  for (const finished_run* run : runs) {
    for (const auto& r : run->record.fitted) {
      if (r.at_bound.empty()) continue;
      const std::string where = "model " + std::to_string(r.model);
      ASSERT_TRUE(r.se_free_produced) << where;
      EXPECT_TRUE(r.se_produced) << where;  // the report still prints its own
      const auto ref = held_reference(*run->ctx, r);
      for (std::size_t i = 0; i < static_cast<std::size_t>(r.n); ++i) {
        const bool at_end = std::any_of(r.at_bound.begin(), r.at_bound.end(), [&](const auto& hit) {
          return hit.index == static_cast<int>(i) + 1;
        });
        EXPECT_EQ(r.held[i], at_end) << where << " parameter " << i + 1;
        if (at_end) {
          EXPECT_TRUE(std::isnan(r.se_free[i])) << where << " parameter " << i + 1;
          EXPECT_TRUE(std::isnan(r.cl_free[i])) << where << " parameter " << i + 1;
          continue;
        }
        EXPECT_TRUE(support::rel_near(r.se_free[i], ref[i], agreement))
            << where << " parameter " << i + 1 << ": " << r.se_free[i] << " vs " << ref[i];
        EXPECT_NEAR(r.cl_free[i] / r.se_free[i], exact_t(r.n), 1e-6) << where;
      }
      ++compared;
      if (r.model == 8 && r.held[4] && !r.held[3]) ++b_held_at_a;
    }
  }
  EXPECT_GE(compared, 8);
  EXPECT_GE(b_held_at_a, 3);
}

// `text` with [S] and [I] multiplied by cs and the rates by cr.
std::string rescaled(const std::string& text, double cs, double cr) {
  return edited_rows(text, [&](int, double& s, double& i, double& v) {
    s *= cs;
    i *= cs;
    v *= cr;
  });
}

TEST(ExactStatistics, RescalingTheUnitsScalesTheParametersAndNothingElse) {
  constexpr double same = 1e-6;
  support::temp_dir dir;
  // Data sets whose fits stay off the ends of Km, Vmax and Ki, with the models
  // fitted to them.
  struct data_set {
    std::string text;
    std::vector<int> models;
  };
  const std::vector<data_set> sets{
      {support::read_file(example), {1, 2, 3, 4, 6, 9}},
      {support::model_data(4, {100, 1, 40, 4}, 0.01, 3), {1, 2, 4, 5, 10}},
      {support::model_data(8, {100, 1, 40, 0.5, 0.2}, 0.01, 8), {2, 3, 6, 8}}};
  const std::vector<std::pair<int, int>> powers{{3, -3}, {-3, 3},  {3, 3}, {-3, -3},
                                                {2, 1},  {-1, -2}, {0, 2}};
  for (std::size_t d = 0; d < sets.size(); ++d) {
    const auto base_path = dir.write("base.in", rescaled(sets[d].text, 1.0, 1.0));
    const auto base = fit_file(base_path, sets[d].models);
    for (const auto& [k, m] : powers) {
      const double cs = std::pow(10.0, k);
      const double cr = std::pow(10.0, m);
      const auto path = dir.write("scaled.in", rescaled(sets[d].text, cs, cr));
      const auto scaled = fit_file(path, sets[d].models);
      const std::string where =
          "set " + std::to_string(d) + " k " + std::to_string(k) + " m " + std::to_string(m);
      ASSERT_EQ(scaled.record.fitted.size(), base.record.fitted.size());
      for (std::size_t f = 0; f < base.record.fitted.size(); ++f) {
        const auto& b = base.record.fitted[f];
        const auto& s = scaled.record.fitted[f];
        const std::array<double, 5> factor{cs, cr, cs, 1.0, 1.0};
        for (std::size_t i = 0; i < static_cast<std::size_t>(b.n); ++i) {
          EXPECT_TRUE(support::rel_near(s.p[i], b.p[i] * factor[i], same))
              << where << " model " << b.model << " parameter " << i + 1;
          EXPECT_TRUE(support::rel_near(s.se[i] / s.p[i], b.se[i] / b.p[i], same))
              << where << " model " << b.model << " relative error " << i + 1;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(b.n * b.n); ++i)
          EXPECT_NEAR(s.correlation[i], b.correlation[i], same) << where << " model " << b.model;
      }
      ASSERT_EQ(scaled.record.ranking.size(), base.record.ranking.size());
      for (std::size_t r = 0; r < base.record.ranking.size(); ++r) {
        EXPECT_EQ(scaled.record.ranking[r].index, base.record.ranking[r].index) << where;
        EXPECT_NEAR(scaled.record.ranking[r].weight, base.record.ranking[r].weight, same) << where;
      }
    }
  }
}

}  // namespace
}  // namespace inhibra::fit
