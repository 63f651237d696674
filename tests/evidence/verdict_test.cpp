#include "evidence/verdict.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <sstream>

#include "evidence/detail/family_membership.hpp"
#include "evidence/run_evidence.hpp"
#include "fit/ezfit.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::evidence {
namespace {

// A fitted model as the run leaves it, with profile limits of every parameter.
model_result fitted(int model, std::array<double, 5> p, std::array<profile_limit, 5> limits = {}) {
  model_result r;
  r.model = model;
  r.n = models::model_info(model)->parameters;
  std::copy(p.begin(), p.end(), r.p.begin());
  r.profiled = true;
  std::copy(limits.begin(), limits.end(), r.profile.begin());
  r.ssr = 1e-4;
  return r;
}

std::vector<textbook_row> weights(const std::vector<model_result>& fitted,
                                  const std::vector<double>& w) {
  std::vector<textbook_row> rows;
  for (std::size_t k = 0; k < fitted.size(); ++k)
    rows.push_back({static_cast<int>(k + 1), fitted[k].model, 0.0, 0.0, w[k], 0.0});
  return rows;
}

// The sentence for typical runs, pinned word for word: every number in it is one the
// program shows (family weights, profile limits, Ki). No design: no suggestion.
TEST(Verdict, SentenceForTypicalRuns) {
  const profile_limit km{180, 250, false, false};
  const profile_limit vmax{0.15, 0.2, false, false};
  const profile_limit ki{27.4, 51.2, false, false};
  struct typical {
    const char* name;
    std::vector<model_result> fitted;
    std::vector<double> weight;
    std::string sentence;
  };
  const std::vector<typical> cases{
      {"one family named, the other question not asked",
       {fitted(4, {215, 0.17, 37.6, 3.1}, {km, vmax, ki, {1.8, 6.0, false, false}}),
        fitted(2, {215, 0.17, 90}, {km, vmax, ki}), fitted(1, {215, 0.17, 20}, {km, vmax, ki})},
       {0.95, 0.04, 0.01},
       "Mixed inhibition, favouring the free enzyme (family weight 0.95); complete or partial: "
       "only complete models were fitted (models 4, 2, 1); a = 3.1 in model 4 (95 % profile "
       "limits 1.8 to 6): they exclude 1 and infinity; model 4: Ki = 37.6 (27.4 to 51.2)."},
      {"a's limits reach 1: not told apart from noncompetitive",
       {fitted(4, {215, 0.17, 37.6, 1.4}, {km, vmax, ki, {1.0, 2.5, true, false}}),
        fitted(3, {215, 0.17, 90, 0.5}, {km, vmax, ki, {0.3, 0.8, false, false}})},
       {0.93, 0.07},
       "Noncompetitive inhibition (family weight 0.93); complete or partial: only complete "
       "models were fitted (models 4, 3); model 4: Ki = 37.6 (27.4 to 51.2)."},
      {"weights too close",
       {fitted(2, {215, 0.17, 37.6}, {km, vmax, ki}),
        fitted(3, {215, 0.17, 90, 0.5}, {km, vmax, ki, {0.3, 0.8, false, false}})},
       {0.6, 0.4},
       "Where the inhibitor acts: noncompetitive and mixed, favouring the enzyme-substrate "
       "complex cannot be told apart (weights 0.60 and 0.40); complete or partial: only complete "
       "models were fitted (models 2, 3); model 2: Ki = 37.6 (27.4 to 51.2)."},
      {"partial, b away from 0",
       {fitted(6, {215, 0.17, 37.6, 0.3}, {km, vmax, ki, {0.2, 0.4, false, false}}),
        fitted(2, {215, 0.17, 90}, {km, vmax, ki})},
       {0.97, 0.03},
       "Partial inhibition (family weight 0.97); where the inhibitor acts: only noncompetitive "
       "models were fitted (models 6, 2); b = 0.3 in model 6 (95 % profile limits 0.2 to 0.4): "
       "they exclude 0, partial inhibition; model 6: Ki = 37.6 (27.4 to 51.2)."},
  };
  for (const auto& c : cases) {
    const verdict v = reach_verdict(c.fitted, weights(c.fitted, c.weight), {}, {});
    EXPECT_TRUE(v.available) << c.name;
    EXPECT_EQ(v.sentence, c.sentence) << c.name;
    EXPECT_FALSE(v.next.available) << c.name;
  }
}

TEST(Verdict, SaysWhatIsMissingInstead) {
  const std::vector<model_result> one{fitted(4, {215, 0.17, 37.6, 3.1})};
  const verdict alone = reach_verdict(one, weights(one, {1.0}), {}, {});
  EXPECT_FALSE(alone.available);
  EXPECT_EQ(alone.sentence, "No verdict: it needs two or more fitted models (1 fitted).");
  const std::vector<model_result> same{fitted(4, {215, 0.17, 37.6, 3.1}),
                                       fitted(4, {215, 0.17, 37.6, 3.1})};
  const verdict one_family = reach_verdict(same, weights(same, {0.5, 0.5}), {}, {});
  EXPECT_FALSE(one_family.available);
  EXPECT_NE(one_family.missing.find("fit models of other families"), std::string::npos);
}

// Each model's textbook family follows from where its a and b come from; only the
// general model's depends on its fitted a and b.
TEST(SiteFamily, OfEachModel) {
  using enum site_family;
  const site_family expected[] = {competitive,    noncompetitive, complex, free_enzyme, competitive,
                                  noncompetitive, complex,        complex, free_enzyme};
  for (int model = 1; model <= 9; ++model) {
    for (const auto& [a, b] : {std::pair{0.5, 0.5}, std::pair{3.0, 2.0}})
      EXPECT_EQ(site_of(model, a, b), expected[model - 1]) << model;
  }
  EXPECT_EQ(site_of(10, 0.5, 0.5), complex);
  EXPECT_EQ(site_of(10, 3.0, 0.5), free_enzyme);
  EXPECT_EQ(site_of(10, 0.5, 2.0), general);
}

TEST(TwoDigits, RoundsToTwoSignificantDigits) {
  const std::pair<double, double> cases[] = {
      {687.0, 690.0}, {1449.0, 1400.0}, {0.04249, 0.042}, {95.0, 95.0}, {0.0, 0.0}};
  for (const auto& [v, rounded] : cases)
    EXPECT_NEAR(two_digits(v), rounded, 1e-12 * std::abs(rounded)) << v;
}

// Data simulated from three of the models (a generous 8 x 6 design, 1 % proportional
// noise, fixed seeds), all ten models fitted: the verdict names the generating
// families, and its suggested measurement lies on the searched grid.
TEST(Verdict, NamesTheFamiliesOfTheModelThatMadeTheData) {
  struct truth {
    int model;
    std::array<double, 5> p;
    site_family site;
    mode_family mode;
  };
  const truth cases[] = {
      {4, {100, 1, 50, 4.0, 0}, site_family::free_enzyme, mode_family::complete},
      {6, {100, 1, 50, 0.3, 0}, site_family::noncompetitive, mode_family::partial},
      {8, {100, 1, 50, 0.6, 0.2}, site_family::complex, mode_family::partial},
  };
  const double substrate[] = {12.5, 25, 50, 100, 200, 400, 800, 1600};
  const double inhibitor[] = {0, 25, 50, 100, 200, 400};
  for (const auto& c : cases) {
    core::fit_context rates;
    rates.model = c.model;
    models::parameter_vector p{};
    std::copy(c.p.begin(), c.p.end(), p.begin());
    std::mt19937 rng(2000);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::string text;
    char line[96];
    for (const double i : inhibitor) {
      for (const double s : substrate) {
        const double v = models::func(rates, s, i, 0, p) * (1.0 + 0.01 * gauss(rng));
        std::snprintf(line, sizeof line, "%.6g %.6g %.17g\n", s, i, v);
        text += line;
      }
    }
    support::temp_dir dir;
    std::string name = dir.write("sim.in", text);
    auto ctx = std::make_unique<core::fit_context>();
    ctx->selected_models.fill(true);
    std::ostringstream console;
    fit::run_record record;
    ASSERT_EQ(fit::ezfit(*ctx, name, console, &record), core::run_status::success);
    const verdict v = weigh_evidence(record).mechanism;
    ASSERT_TRUE(v.site.named) << c.model << ": " << v.sentence;
    ASSERT_TRUE(v.mode.named) << c.model << ": " << v.sentence;
    EXPECT_EQ(*v.site.named, c.site) << v.sentence;
    EXPECT_EQ(*v.mode.named, c.mode) << v.sentence;
    ASSERT_TRUE(v.next.available) << v.sentence;
    EXPECT_GE(v.next.s, 12.5 / 2 * 0.95);
    EXPECT_LE(v.next.s, 1600.0 * 2 * 1.05);
    EXPECT_LE(v.next.i, 800.0 * 1.05);
    EXPECT_EQ(v.next.s, two_digits(v.next.s));
  }
}

}  // namespace
}  // namespace inhibra::evidence
