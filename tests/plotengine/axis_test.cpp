#include "plotengine/axis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace inhibra::plotengine {
namespace {

struct tick {
  float value;
  bool major;
  std::string format;
};

template <class Iterator>
std::vector<tick> all_ticks(const axis_setup& axis) {
  Iterator it;
  EXPECT_TRUE(it.init(axis));
  std::vector<tick> out;
  tick t{};
  while (out.size() < 200 && it.get_next_tick(t.value, t.major, t.format))
    out.push_back(t);
  return out;
}

axis_setup axis_over(float lo, float hi, bool logarithmic = false) {
  axis_setup axis;
  axis.minimum = lo;
  axis.maximum = hi;
  axis.logarithmic = logarithmic;
  return axis;
}

// A logarithmic axis over [lo, hi] with a tick every step of each decade.
axis_setup log_axis(float lo, float hi) {
  axis_setup axis = axis_over(lo, hi, true);
  axis.ticks.major_tick_span = 9.0f;
  axis.ticks.tick_division = 9;
  return axis;
}

TEST(RoundSpan, GivesOneTwoOrFiveTimesAPowerOfTenOrRefuses) {
  const std::pair<float, float> cases[] = {
      {17.6f, 20.0f},
      {0.034f, 0.02f},
      {7.4f, 5.0f},
      {9.6f, 10.0f},
      {1.0f, 1.0f},
      {4.4f, 2.0f},
      {4.6f, 5.0f},
      {10.0f, 10.0f},  // mantissa 10 -> 1 of the next power
      {0.96f, 1.0f},   // 9.6 rounds up to 10
      {3.0e6f, 2.0e6f},
      {0.04f, 0.02f},  // the mantissa 4 falls in the 2-4 band
      {0.0f, round_span_failure},
      {-3.0f, round_span_failure},
      {std::numeric_limits<float>::infinity(), round_span_failure},
      {std::nanf(""), round_span_failure},
  };
  for (const auto& [span, want] : cases)
    EXPECT_EQ(tick_info::round_span(span), want) << span;
}

TEST(MakeFormatString, DecimalsFollowTheSpan) {
  const std::pair<float, const char*> cases[] = {
      {20000.0f, "%.1e"},
      {10001.0f, "%.1e"},
      {10000.0f, "%.0f"},
      {1.0f, "%.0f"},
      {0.25f, "%.1f"},
      {0.5f, "%.1f"},
      {-0.5f, "%.1f"},
      {0.05f, "%.2f"},
      {0.002f, "%.3f"},
      {0.0009f, "%.1e"},
      // 0.01 is a little below one hundredth in single precision; ten times it is
      // still below 0.1, so it takes three multiplications to reach 1.
      {0.01f, "%.3f"},
  };
  for (const auto& [span, want] : cases)
    EXPECT_EQ(tick_info::make_format_string(span), want) << span;
}

TEST(TickLabel, WritesTheFormatsTheAxesMake) {
  EXPECT_EQ(format_tick_label("%.0f", 20.0f), "20");
  EXPECT_EQ(format_tick_label("%.2f", 0.05f), "0.05");
  EXPECT_EQ(format_tick_label("%.1e", 20000.0f), "2.0e+04");
  EXPECT_EQ(format_tick_label("%.1f", -0.04f), "0.0");  // no minus zero
  EXPECT_EQ(format_tick_label("%.1f", -0.4f), "-0.4");
  EXPECT_EQ(format_tick_label("%d", 12.5f), "12.5");  // not an axis format: shortest text
}

TEST(TickSizes, MarksFitTheFont) {
  tick_info info;
  info.major_tick_length = 10;
  set_tick_sizes(16, info);
  EXPECT_EQ(info.major_tick_length, 8);
  EXPECT_EQ(info.minor_tick_length, 4);
  info.major_tick_length = 5;
  set_tick_sizes(15, info);  // half of 15 rounds to 8: no cap
  EXPECT_EQ(info.major_tick_length, 5);
  EXPECT_EQ(info.minor_tick_length, 3);  // 2.5 rounds up
}

TEST(LinearTicks, ShortRangesMarkFloorsAndRefusals) {
  tick_info info;
  // 0.3 / 0.5 = 0.6 rounds to the span 0.5, longer than the range itself.
  ASSERT_TRUE(lin_tick_iterator::init_from_ranges(0.3f, 100.0f, 0.5f, info));
  EXPECT_EQ(info.major_tick_span, 0.3f);
  EXPECT_EQ(info.format, "%.1f");

  ASSERT_TRUE(lin_tick_iterator::init_from_ranges(10.0f, 20.0f, 5.0f, info));
  EXPECT_EQ(info.minor_tick_length, 1);  // round(0.2) = 0, raised to 1
  EXPECT_EQ(info.major_tick_length, 2);  // round(0.4) = 0, raised to minor + 1
  info.auto_tick_sizes = false;
  info.minor_tick_length = info.major_tick_length = 7;
  ASSERT_TRUE(lin_tick_iterator::init_from_ranges(10.0f, 400.0f, 5.0f, info));
  EXPECT_EQ(info.major_tick_length, 7);

  EXPECT_FALSE(lin_tick_iterator::init_from_ranges(10.0f, 100.0f, 1e-21f, info));
  EXPECT_FALSE(lin_tick_iterator::init_from_ranges(0.0f, 100.0f, 5.0f, info));
  float lo = 3.0f, hi = 4.0f;
  EXPECT_TRUE(lin_tick_iterator::adjust_range(lo, hi));
  EXPECT_EQ(lo, 3.0f);
  EXPECT_EQ(hi, 4.0f);
}

TEST(LinearTicks, NegativeStartCountsMajorsFromZero) {
  axis_setup axis = axis_over(-7.0f, 7.0f);
  axis.ticks.major_tick_span = 5.0f;
  axis.ticks.tick_division = 5;
  const auto ticks = all_ticks<lin_tick_iterator>(axis);
  ASSERT_EQ(ticks.size(), 15u);
  EXPECT_EQ(ticks.front().value, -7.0f);
  EXPECT_EQ(ticks.back().value, 7.0f);
  std::vector<float> majors;
  for (const auto& t : ticks)
    if (t.major) majors.push_back(t.value);
  EXPECT_EQ(majors, (std::vector<float>{-5.0f, 0.0f, 5.0f}));
}

TEST(LogRange, RoundsOutwardsToPowersOfTheBase) {
  struct range_case {
    float base;
    int decade_limit;
    float lo, hi;
    bool ok;
    float want_lo, want_hi;
  };
  const range_case cases[] = {
      {10.0f, -1, 3.0f, 470.0f, true, 1.0f, 1000.0f},
      {10.0f, 2, 3.0f, 470.0f, true, 10.0f, 1000.0f},  // minimum fixed from the maximum
      {10.0f, -1, 0.0f, 0.0f, true, 1e-10f, 1.0f},
      {10.0f, -1, 0.0f, 5.0f, false, 0.0f, 0.0f},
      {10.0f, -1, -1.0f, 5.0f, false, 0.0f, 0.0f},
      {10.0f, -1, 2.0f, 0.0f, false, 0.0f, 0.0f},
      {2.0f, -1, 3.0f, 20.0f, true, 2.0f, 32.0f},
      {1.0f, -1, 3.0f, 20.0f, false, 0.0f, 0.0f},  // no powers to round to
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.base << " " << c.lo << " " << c.hi);
    axis_setup axis = axis_over(0.0f, 0.0f, true);
    axis.decade_limit = c.decade_limit;
    axis.log_base = c.base;
    float lo = c.lo, hi = c.hi;
    ASSERT_EQ(log_tick_iterator::adjust_range(axis, lo, hi), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(lo, c.want_lo);
    EXPECT_EQ(hi, c.want_hi);
  }
}

TEST(LogTicks, OneTo1000) {
  axis_setup axis = log_axis(1.0f, 1000.0f);
  axis.ticks = {};
  ASSERT_TRUE(log_tick_iterator::init_from_ranges(3.0f, 400.0f, 10.0f, axis, axis.ticks));
  EXPECT_EQ(axis.ticks.major_tick_span, 9.0f);
  EXPECT_EQ(axis.ticks.tick_division, 9);
  EXPECT_EQ(axis.ticks.format, "%.1e");
  const auto ticks = all_ticks<log_tick_iterator>(axis);
  std::vector<float> want;
  for (float decade : {1.0f, 10.0f, 100.0f})
    for (int k = 1; k <= 9; ++k)
      want.push_back(decade * float(k));
  want.push_back(1000.0f);
  ASSERT_EQ(ticks.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(ticks[i].value, want[i]);
    EXPECT_EQ(ticks[i].major, i % 9 == 0) << want[i];  // the powers of ten
    EXPECT_EQ(ticks[i].format, "%.0f");
  }
}

TEST(LogTicks, StartBelowAMinimumThatIsNotAPowerAndRefuseZero) {
  const auto ticks = all_ticks<log_tick_iterator>(log_axis(300.0f, 20000.0f));
  ASSERT_FALSE(ticks.empty());
  // The largest step of the decade that is short of the minimum.
  EXPECT_EQ(ticks.front().value, 200.0f);
  EXPECT_EQ(ticks.back().value, 20000.0f);
  EXPECT_EQ(ticks.back().format, "%.1e");  // above 10000

  axis_setup from_zero = log_axis(0.0f, 10.0f);
  log_tick_iterator it;
  EXPECT_FALSE(it.init(from_zero));
  EXPECT_FALSE(log_tick_iterator::init_from_ranges(1.0f, 100.0f, 0.0f, from_zero, from_zero.ticks));
}

// Screen ranges 50..550 (linear, 0..110) and 0..300 (logarithmic, 1..1000), either way.
TEST(Transformation, BothDirectionsAndBothOrders) {
  axis_setup lin = axis_over(0.0f, 110.0f);
  axis_setup log = log_axis(1.0f, 1000.0f);
  for (const bool ascending : {true, false}) {
    SCOPED_TRACE(ascending);
    lin.ascending = log.ascending = ascending;  // descending: the minimum at the end
    lin_trafo t;
    ASSERT_TRUE(calculate_lin_transformation(50.0f, 550.0f, lin, t));
    EXPECT_EQ(t.transform(0.0f), ascending ? 50.0f : 550.0f);
    EXPECT_EQ(t.transform(110.0f), ascending ? 550.0f : 50.0f);
    EXPECT_FLOAT_EQ(t.transform_back(500.0f), ascending ? 99.0f : 11.0f);
    log_trafo lt;
    ASSERT_TRUE(calculate_log_transformation(0.0f, 300.0f, log, lt));
    EXPECT_FLOAT_EQ(lt.transform(10.0f), ascending ? 100.0f : 200.0f);
    EXPECT_FLOAT_EQ(lt.transform(1000.0f), ascending ? 300.0f : 0.0f);
    EXPECT_FLOAT_EQ(lt.transform_back(200.0f), ascending ? 100.0f : 10.0f);
  }
  log_trafo lt;
  ASSERT_TRUE(calculate_log_transformation(0.0f, 300.0f, log_axis(1.0f, 1000.0f), lt));
  EXPECT_FLOAT_EQ(lt.transform(0.0f), -1000.0f);  // values below 1e-10 count as 1e-10
}

TEST(Transformation, RefusesNarrowRanges) {
  axis_setup axis = axis_over(5.0f, 5.0f);
  lin_trafo t;
  EXPECT_FALSE(calculate_lin_transformation(0.0f, 100.0f, axis, t));
  axis.maximum = std::nanf("");
  EXPECT_FALSE(calculate_lin_transformation(0.0f, 100.0f, axis, t));
  log_trafo lt;
  EXPECT_FALSE(calculate_log_transformation(0.0f, 100.0f, log_axis(10.0f, 10.0f), lt));
  EXPECT_EQ(lin_trafo{}.transform_back(3.0f), 0.0f);  // flat mapping
  EXPECT_EQ(log_trafo{}.transform_back(3.0f), 0.0f);
}

}  // namespace
}  // namespace inhibra::plotengine
