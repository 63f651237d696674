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
std::vector<tick> all_ticks(Iterator& it, int limit = 200) {
  std::vector<tick> out;
  tick t{};
  while (static_cast<int>(out.size()) < limit && it.get_next_tick(t.value, t.major, t.format))
    out.push_back(t);
  return out;
}

TEST(RoundSpan, GivesOneTwoOrFiveTimesAPowerOfTen) {
  EXPECT_EQ(tick_info::round_span(17.6f), 20.0f);
  EXPECT_EQ(tick_info::round_span(0.034f), 0.02f);
  EXPECT_EQ(tick_info::round_span(7.4f), 5.0f);
  EXPECT_EQ(tick_info::round_span(9.6f), 10.0f);
  EXPECT_EQ(tick_info::round_span(1.0f), 1.0f);
  EXPECT_EQ(tick_info::round_span(4.4f), 2.0f);
  EXPECT_EQ(tick_info::round_span(4.6f), 5.0f);
  EXPECT_EQ(tick_info::round_span(10.0f), 10.0f);    // mantissa 10 -> 1 of the next power
  EXPECT_EQ(tick_info::round_span(0.96f), 1.0f);     // 9.6 rounds up to 10
  EXPECT_EQ(tick_info::round_span(3.0e6f), 2.0e6f);  // 3 -> 2
}

TEST(RoundSpan, FourHundredthsRoundToTwo) {
  // The mantissa 4 falls in the 2-4 band, like 0.034 does.
  EXPECT_EQ(tick_info::round_span(0.04f), 0.02f);
}

TEST(RoundSpan, RefusesWhatCannotBeRounded) {
  EXPECT_EQ(tick_info::round_span(0.0f), -1.234567f);
  EXPECT_EQ(tick_info::round_span(-3.0f), round_span_failure);
  EXPECT_EQ(tick_info::round_span(std::numeric_limits<float>::infinity()), round_span_failure);
  EXPECT_EQ(tick_info::round_span(std::nanf("")), round_span_failure);
}

TEST(MakeFormatString, DecimalsFollowTheSpan) {
  EXPECT_EQ(tick_info::make_format_string(20000.0f), "%.1e");
  EXPECT_EQ(tick_info::make_format_string(10001.0f), "%.1e");
  EXPECT_EQ(tick_info::make_format_string(10000.0f), "%.0f");
  EXPECT_EQ(tick_info::make_format_string(1.0f), "%.0f");
  EXPECT_EQ(tick_info::make_format_string(0.25f), "%.1f");
  EXPECT_EQ(tick_info::make_format_string(0.5f), "%.1f");
  EXPECT_EQ(tick_info::make_format_string(-0.5f), "%.1f");
  EXPECT_EQ(tick_info::make_format_string(0.05f), "%.2f");
  EXPECT_EQ(tick_info::make_format_string(0.002f), "%.3f");
  EXPECT_EQ(tick_info::make_format_string(0.0009f), "%.1e");
}

TEST(MakeFormatString, WorksInSinglePrecision) {
  // 0.01 is a little below one hundredth in single precision; ten times it is
  // still below 0.1, so it takes three multiplications to reach 1.
  EXPECT_EQ(tick_info::make_format_string(0.01f), "%.3f");
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

TEST(LinearTicks, ZeroTo110OverSixAndAQuarterSpans) {
  axis_setup axis;
  axis.minimum = 0.0f;
  axis.maximum = 110.0f;
  ASSERT_TRUE(lin_tick_iterator::init_from_ranges(110.0f, 400.0f, 6.25f, axis.ticks));
  EXPECT_EQ(axis.ticks.major_tick_span, 20.0f);
  EXPECT_EQ(axis.ticks.tick_division, 5);
  EXPECT_EQ(axis.ticks.format, "%.0f");
  EXPECT_EQ(axis.ticks.minor_tick_length, 4);  // 1 % of 400
  EXPECT_EQ(axis.ticks.major_tick_length, 8);  // 2 % of 400

  lin_tick_iterator it;
  ASSERT_TRUE(it.init(axis));
  const auto ticks = all_ticks(it);
  ASSERT_EQ(ticks.size(), 28u);  // 0, 4, ..., 108; 112 lies beyond 1.0001 * 110
  for (std::size_t i = 0; i < ticks.size(); ++i) {
    EXPECT_EQ(ticks[i].value, 4.0f * float(i));
    EXPECT_EQ(ticks[i].major, i % 5 == 0) << ticks[i].value;
    EXPECT_EQ(ticks[i].format, "%.0f");
  }
}

TEST(LinearTicks, RangeShorterThanTheSpanIsOneMajorSpan) {
  tick_info info;
  // 0.3 / 0.5 = 0.6 rounds to the span 0.5, longer than the range itself.
  ASSERT_TRUE(lin_tick_iterator::init_from_ranges(0.3f, 100.0f, 0.5f, info));
  EXPECT_EQ(info.major_tick_span, 0.3f);
  EXPECT_EQ(info.format, "%.1f");
}

TEST(LinearTicks, MarkLengthsHaveFloors) {
  tick_info info;
  ASSERT_TRUE(lin_tick_iterator::init_from_ranges(10.0f, 20.0f, 5.0f, info));
  EXPECT_EQ(info.minor_tick_length, 1);  // round(0.2) = 0, raised to 1
  EXPECT_EQ(info.major_tick_length, 2);  // round(0.4) = 0, raised to minor + 1
  info.auto_tick_sizes = false;
  info.minor_tick_length = info.major_tick_length = 7;
  ASSERT_TRUE(lin_tick_iterator::init_from_ranges(10.0f, 400.0f, 5.0f, info));
  EXPECT_EQ(info.major_tick_length, 7);
}

TEST(LinearTicks, NegativeStartCountsMajorsFromZero) {
  axis_setup axis;
  axis.minimum = -7.0f;
  axis.maximum = 7.0f;
  axis.ticks.major_tick_span = 5.0f;
  axis.ticks.tick_division = 5;
  lin_tick_iterator it;
  ASSERT_TRUE(it.init(axis));
  const auto ticks = all_ticks(it);
  ASSERT_EQ(ticks.size(), 15u);
  EXPECT_EQ(ticks.front().value, -7.0f);
  EXPECT_EQ(ticks.back().value, 7.0f);
  std::vector<float> majors;
  for (const auto& t : ticks)
    if (t.major) majors.push_back(t.value);
  EXPECT_EQ(majors, (std::vector<float>{-5.0f, 0.0f, 5.0f}));
}

TEST(LinearTicks, RefusesATinyGuessOrAnUnroundableSpan) {
  tick_info info;
  EXPECT_FALSE(lin_tick_iterator::init_from_ranges(10.0f, 100.0f, 1e-21f, info));
  EXPECT_FALSE(lin_tick_iterator::init_from_ranges(0.0f, 100.0f, 5.0f, info));
  float lo = 3.0f, hi = 4.0f;
  EXPECT_TRUE(lin_tick_iterator::adjust_range(lo, hi));
  EXPECT_EQ(lo, 3.0f);
  EXPECT_EQ(hi, 4.0f);
}

TEST(LogRange, ThreeTo470BecomesOneTo1000) {
  axis_setup axis;
  axis.logarithmic = true;
  float lo = 3.0f, hi = 470.0f;
  ASSERT_TRUE(log_tick_iterator::adjust_range(axis, lo, hi));
  EXPECT_EQ(lo, 1.0f);
  EXPECT_EQ(hi, 1000.0f);
}

TEST(LogRange, ZeroAndNegativeBounds) {
  axis_setup axis;
  axis.logarithmic = true;
  float lo = 0.0f, hi = 0.0f;
  ASSERT_TRUE(log_tick_iterator::adjust_range(axis, lo, hi));
  EXPECT_EQ(lo, 1e-10f);
  EXPECT_EQ(hi, 1.0f);
  lo = 0.0f, hi = 5.0f;
  EXPECT_FALSE(log_tick_iterator::adjust_range(axis, lo, hi));
  lo = -1.0f, hi = 5.0f;
  EXPECT_FALSE(log_tick_iterator::adjust_range(axis, lo, hi));
  lo = 2.0f, hi = 0.0f;
  EXPECT_FALSE(log_tick_iterator::adjust_range(axis, lo, hi));
}

TEST(LogRange, DecadeLimitFixesTheMinimumFromTheMaximum) {
  axis_setup axis;
  axis.logarithmic = true;
  axis.decade_limit = 2;
  float lo = 3.0f, hi = 470.0f;
  ASSERT_TRUE(log_tick_iterator::adjust_range(axis, lo, hi));
  EXPECT_EQ(hi, 1000.0f);
  EXPECT_EQ(lo, 10.0f);
}

TEST(LogRange, OtherBases) {
  axis_setup axis;
  axis.logarithmic = true;
  axis.log_base = 2.0f;
  float lo = 3.0f, hi = 20.0f;
  ASSERT_TRUE(log_tick_iterator::adjust_range(axis, lo, hi));
  EXPECT_EQ(lo, 2.0f);
  EXPECT_EQ(hi, 32.0f);
  axis.log_base = 1.0f;  // no powers to round to
  EXPECT_FALSE(log_tick_iterator::adjust_range(axis, lo, hi));
}

TEST(LogTicks, OneTo1000) {
  axis_setup axis;
  axis.logarithmic = true;
  axis.minimum = 1.0f;
  axis.maximum = 1000.0f;
  ASSERT_TRUE(log_tick_iterator::init_from_ranges(3.0f, 400.0f, 10.0f, axis, axis.ticks));
  EXPECT_EQ(axis.ticks.major_tick_span, 9.0f);
  EXPECT_EQ(axis.ticks.tick_division, 9);
  EXPECT_EQ(axis.ticks.format, "%.1e");
  log_tick_iterator it;
  ASSERT_TRUE(it.init(axis));
  const auto ticks = all_ticks(it);
  std::vector<float> want;
  for (float decade : {1.0f, 10.0f, 100.0f})
    for (int k = 1; k <= 9; ++k)
      want.push_back(decade * float(k));
  want.push_back(1000.0f);
  ASSERT_EQ(ticks.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(ticks[i].value, want[i]);
    const bool power =
        want[i] == 1.0f || want[i] == 10.0f || want[i] == 100.0f || want[i] == 1000.0f;
    EXPECT_EQ(ticks[i].major, power) << want[i];
    EXPECT_EQ(ticks[i].format, "%.0f");
  }
}

TEST(LogTicks, StartBelowAMinimumThatIsNotAPower) {
  axis_setup axis;
  axis.logarithmic = true;
  axis.minimum = 300.0f;
  axis.maximum = 20000.0f;
  axis.ticks.major_tick_span = 9.0f;
  axis.ticks.tick_division = 9;
  log_tick_iterator it;
  ASSERT_TRUE(it.init(axis));
  const auto ticks = all_ticks(it);
  ASSERT_FALSE(ticks.empty());
  // The largest step of the decade that is short of the minimum.
  EXPECT_EQ(ticks.front().value, 200.0f);
  EXPECT_EQ(ticks.back().value, 20000.0f);
  EXPECT_EQ(ticks.back().format, "%.1e");  // above 10000
}

TEST(LogTicks, RefusesNonPositiveMinimum) {
  axis_setup axis;
  axis.logarithmic = true;
  axis.minimum = 0.0f;
  axis.maximum = 10.0f;
  axis.ticks.major_tick_span = 9.0f;
  axis.ticks.tick_division = 9;
  log_tick_iterator it;
  EXPECT_FALSE(it.init(axis));
  EXPECT_FALSE(log_tick_iterator::init_from_ranges(1.0f, 100.0f, 0.0f, axis, axis.ticks));
}

TEST(Transformation, LinearBothDirections) {
  axis_setup axis;
  axis.minimum = 0.0f;
  axis.maximum = 110.0f;
  lin_trafo t;
  ASSERT_TRUE(calculate_lin_transformation(50.0f, 550.0f, axis, t));
  EXPECT_EQ(t.transform(0.0f), 50.0f);
  EXPECT_EQ(t.transform(110.0f), 550.0f);
  EXPECT_FLOAT_EQ(t.transform(55.0f), 300.0f);
  EXPECT_FLOAT_EQ(t.transform_back(300.0f), 55.0f);

  axis.ascending = false;  // the minimum at the end of the screen range
  ASSERT_TRUE(calculate_lin_transformation(50.0f, 550.0f, axis, t));
  EXPECT_EQ(t.transform(0.0f), 550.0f);
  EXPECT_EQ(t.transform(110.0f), 50.0f);
  EXPECT_FLOAT_EQ(t.transform_back(500.0f), 11.0f);
}

TEST(Transformation, RefusesNarrowRanges) {
  axis_setup axis;
  axis.minimum = axis.maximum = 5.0f;
  lin_trafo t;
  EXPECT_FALSE(calculate_lin_transformation(0.0f, 100.0f, axis, t));
  axis.maximum = std::nanf("");
  EXPECT_FALSE(calculate_lin_transformation(0.0f, 100.0f, axis, t));
  axis.logarithmic = true;
  axis.minimum = axis.maximum = 10.0f;
  log_trafo lt;
  EXPECT_FALSE(calculate_log_transformation(0.0f, 100.0f, axis, lt));
  EXPECT_EQ(lin_trafo{}.transform_back(3.0f), 0.0f);  // flat mapping
  EXPECT_EQ(log_trafo{}.transform_back(3.0f), 0.0f);
}

TEST(Transformation, LogarithmicBothDirections) {
  axis_setup axis;
  axis.logarithmic = true;
  axis.minimum = 1.0f;
  axis.maximum = 1000.0f;
  log_trafo t;
  ASSERT_TRUE(calculate_log_transformation(0.0f, 300.0f, axis, t));
  EXPECT_FLOAT_EQ(t.transform(10.0f), 100.0f);
  EXPECT_FLOAT_EQ(t.transform(1000.0f), 300.0f);
  EXPECT_FLOAT_EQ(t.transform_back(200.0f), 100.0f);
  EXPECT_FLOAT_EQ(t.transform(0.0f), -1000.0f);  // values below 1e-10 count as 1e-10
  axis.ascending = false;
  ASSERT_TRUE(calculate_log_transformation(0.0f, 300.0f, axis, t));
  EXPECT_FLOAT_EQ(t.transform(1.0f), 300.0f);
  EXPECT_FLOAT_EQ(t.transform(1000.0f), 0.0f);
}

TEST(Rounding, PowersOfTheBase) {
  EXPECT_EQ(round_down(3.0f, 10.0f), 1.0f);
  EXPECT_EQ(round_up(3.0f, 10.0f), 10.0f);
  EXPECT_FLOAT_EQ(round_down(0.0f, 10.0f), 1e-10f);  // floored at the smallest value
  EXPECT_EQ(round_up(5.0f, 2.0f), 8.0f);
}

}  // namespace
}  // namespace inhibra::plotengine
