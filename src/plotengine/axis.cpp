#include "plotengine/axis.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace inhibra::plotengine {

namespace {

// floor(v + 0.5) as an int; values beyond the int range (or NaN) are clamped so that
// no conversion is undefined.
int round_int(float v) {
  const float r = std::floor(v + 0.5f);
  if (!(r > -1e9f)) return r != r ? 0 : -1000000000;
  if (r > 1e9f) return 1000000000;
  return static_cast<int>(r);
}

// log of `v` (floored at log_floor) to `base`, times the mapping's factor.
float log_lambda(float v, float base, float factor) {
  return factor * (std::log10(std::max(v, log_floor)) / std::log10(base));
}

// Mark lengths from the screen size across the axis.
void auto_tick_lengths(float ortho, tick_info& info) {
  info.minor_tick_length = std::max(round_int(ortho * 0.01f), 1);
  info.major_tick_length = std::max(round_int(ortho * 0.02f), info.minor_tick_length + 1);
}

bool usable_base(float base) {
  return base > 1.0f && std::isfinite(base);
}

// Safety net for the searches below; valid axes need at most base-1 steps.
constexpr int max_start_steps = 100000;

}  // namespace

float tick_info::round_span(float x) {
  if (!(x > 0.0f)) return round_span_failure;
  float m = x;
  int e = 0;
  while (m > 10.0f) {
    const float next = m / 10.0f;
    if (next == m) return round_span_failure;  // infinity does not shrink
    m = next;
    ++e;
  }
  while (m < 1.0f) {
    m *= 10.0f;
    --e;
  }
  const float k = std::floor(m + 0.5f);
  float digit = 0.0f;
  if (k == 1.0f) {
    digit = 1.0f;
  } else if (k >= 2.0f && k <= 4.0f) {
    digit = 2.0f;
  } else if (k >= 5.0f && k <= 9.0f) {
    digit = 5.0f;
  } else if (k == 10.0f) {
    digit = 1.0f;
    ++e;
  } else {
    return round_span_failure;
  }
  // A negative power divides, so that spans like 0.05 are the nearest single-precision
  // value of the decimal number.
  if (e < 0) return digit / std::pow(10.0f, static_cast<float>(-e));
  return digit * std::pow(10.0f, static_cast<float>(e));
}

std::string tick_info::make_format_string(float span) {
  float a = std::fabs(span);
  if (a > 10000.0f || a < 0.001f) return "%.1e";
  if (a >= 1.0f && a <= 10000.0f) return "%.0f";
  int d = 0;
  while (a < 1.0f) {
    a *= 10.0f;
    ++d;
  }
  return "%." + std::to_string(d) + "f";
}

void set_tick_sizes(int font_height, tick_info& info) {
  const int half = round_int(static_cast<float>(font_height) * 0.5f);
  if (info.major_tick_length > half) info.major_tick_length = half;
  info.minor_tick_length = round_int(static_cast<float>(info.major_tick_length) * 0.5f);
}

float round_down(float x, float base) {
  return std::pow(base, std::floor(std::log10(std::max(x, log_floor)) / std::log10(base)));
}

float round_up(float x, float base) {
  return std::pow(base, std::ceil(std::log10(std::max(x, log_floor)) / std::log10(base)));
}

float lin_trafo::transform_back(float pixel) const {
  if (slope == 0.0f) return 0.0f;
  return (pixel - offset) / slope;
}

float log_trafo::transform(float value) const {
  return log_lambda(value, base, factor) * slope + offset;
}

float log_trafo::transform_back(float pixel) const {
  if (slope == 0.0f || factor == 0.0f) return 0.0f;
  float exponent = (pixel - offset) / slope / factor;
  if (exponent > exponent_cap) exponent = exponent_cap;
  return std::pow(base, exponent);
}

bool calculate_lin_transformation(float s0, float s1, const axis_setup& axis, lin_trafo& trafo) {
  const float width = axis.maximum - axis.minimum;
  if (!(width >= min_range)) return false;
  const float scale = (s1 - s0) / width;
  if (axis.ascending) {
    trafo.slope = scale;
    trafo.offset = s0 - axis.minimum * scale;
  } else {
    trafo.slope = -scale;
    trafo.offset = s1 + axis.minimum * scale;
  }
  return true;
}

bool calculate_log_transformation(float s0, float s1, const axis_setup& axis, log_trafo& trafo) {
  if (!usable_base(axis.log_base)) return false;
  trafo.base = axis.log_base;
  const float lo = log_lambda(axis.minimum, trafo.base, trafo.factor);
  const float hi = log_lambda(axis.maximum, trafo.base, trafo.factor);
  if (!(hi - lo >= min_range)) return false;
  const float scale = (s1 - s0) / (hi - lo);
  if (axis.ascending) {
    trafo.slope = scale;
    trafo.offset = s0 - lo * scale;
  } else {
    trafo.slope = -scale;
    trafo.offset = s1 + lo * scale;
  }
  return true;
}

// ---- linear ticks -------------------------------------------------------------------

bool lin_tick_iterator::init_from_ranges(float range, float ortho, float guess, tick_info& info) {
  if (!(guess > min_range)) return false;
  const float span = tick_info::round_span(range / guess);
  if (span < 0.0f) return false;
  info.tick_division = 5;
  info.major_tick_span = range / span < 1.0f ? range : span;
  if (info.auto_tick_sizes) auto_tick_lengths(ortho, info);
  info.format = tick_info::make_format_string(info.major_tick_span);
  return true;
}

bool lin_tick_iterator::adjust_range(float& /*minimum*/, float& /*maximum*/) {
  return true;
}

bool lin_tick_iterator::init(const axis_setup& axis) {
  division_ = axis.ticks.tick_division;
  if (division_ < 1) return false;
  minor_span_ = axis.ticks.major_tick_span / static_cast<float>(division_);
  const float first = std::ceil(axis.minimum / minor_span_);
  if (!std::isfinite(first) || std::fabs(first) > 1e15f) return false;
  index_ = static_cast<std::int64_t>(first);
  current_ = minor_span_ * static_cast<float>(index_);
  maximum_ = axis.maximum;
  format_ = axis.ticks.format;
  return true;
}

bool lin_tick_iterator::get_next_tick(float& value, bool& is_major, std::string& format) {
  if (current_ > 1.0001f * maximum_) return false;
  value = current_;
  is_major = index_ % division_ == 0;
  format = format_;
  current_ += minor_span_;
  ++index_;
  return true;
}

// ---- logarithmic ticks --------------------------------------------------------------

bool log_tick_iterator::init_from_ranges(float /*range*/, float ortho, float guess,
                                         const axis_setup& axis, tick_info& info) {
  if (!(guess > min_range)) return false;
  // A base this close to 1 has no whole minor steps between its powers.
  if (!usable_base(axis.log_base) || round_int(axis.log_base - 1.0f) < 1) return false;
  info.major_tick_span = axis.log_base - 1.0f;
  info.tick_division = round_int(axis.log_base - 1.0f);
  if (info.auto_tick_sizes) auto_tick_lengths(ortho, info);
  info.format = "%.1e";
  return true;
}

bool log_tick_iterator::adjust_range(const axis_setup& axis, float& minimum, float& maximum) {
  const float base = axis.log_base;
  if (!usable_base(base)) return false;
  const float decades = std::pow(base, static_cast<float>(axis.decade_limit));
  if (axis.decade_limit > 0) minimum = maximum / decades;
  if (minimum == 0.0f) {
    if (maximum != 0.0f) return false;
    minimum = log_floor;
    maximum = 1.0f;
  }
  if (minimum < 0.0f || !(maximum > 0.0f)) return false;
  minimum = round_down(minimum * 1.0001f, base);
  maximum = round_up(maximum * 0.9999f, base);
  if (minimum < log_floor) minimum = log_floor;
  if (axis.decade_limit > 0) minimum = maximum / decades;
  return true;
}

bool log_tick_iterator::init(const axis_setup& axis) {
  base_ = axis.log_base;
  if (!usable_base(base_) || axis.ticks.tick_division < 1) return false;
  minor_span_ = axis.ticks.major_tick_span / static_cast<float>(axis.ticks.tick_division);
  const float log_base = std::log10(base_);
  float k = 0.0f;
  if (axis.minimum >= log_floor) {
    k = std::floor(std::log10(axis.minimum) / log_base);
  } else {
    if (axis.minimum <= 0.0f) return false;
    k = std::floor(-10.0f / log_base);
  }
  if (!std::isfinite(k)) return false;
  const float unit = std::pow(base_, k);
  current_ = unit;
  index_ = 0;
  for (int steps = 0; steps < max_start_steps; ++steps) {
    if (!(current_ + minor_span_ * unit <= axis.minimum * 0.9999f)) break;
    current_ += minor_span_ * unit;
    ++index_;
  }
  maximum_ = axis.maximum;
  return true;
}

bool log_tick_iterator::get_next_tick(float& value, bool& is_major, std::string& format) {
  if (current_ > 1.0001f * maximum_) return false;
  value = current_;
  format = tick_info::make_format_string(current_);
  const float l = std::log10(std::max(current_, log_floor)) / std::log10(base_);
  const float j = std::floor(l);
  is_major = std::fabs(l - j) < 0.0001f;
  current_ += minor_span_ * std::pow(base_, j);
  ++index_;
  return true;
}

// ---- either -------------------------------------------------------------------------

bool tick_iterator::init_from_ranges(const axis_setup& axis, float range, float ortho, float guess,
                                     tick_info& info) {
  return axis.logarithmic ? log_tick_iterator::init_from_ranges(range, ortho, guess, axis, info)
                          : lin_tick_iterator::init_from_ranges(range, ortho, guess, info);
}

bool tick_iterator::adjust_range(const axis_setup& axis, float& minimum, float& maximum) {
  return axis.logarithmic ? log_tick_iterator::adjust_range(axis, minimum, maximum)
                          : lin_tick_iterator::adjust_range(minimum, maximum);
}

bool tick_iterator::init(const axis_setup& axis) {
  logarithmic_ = axis.logarithmic;
  return logarithmic_ ? log_.init(axis) : lin_.init(axis);
}

bool tick_iterator::get_next_tick(float& value, bool& is_major, std::string& format) {
  return logarithmic_ ? log_.get_next_tick(value, is_major, format)
                      : lin_.get_next_tick(value, is_major, format);
}

// ---- labels -------------------------------------------------------------------------

std::string format_tick_label(const std::string& format, float value) {
  char buf[96];
  int digits = -1;
  char conversion = 0;
  if (format.size() >= 4 && format[0] == '%' && format[1] == '.') {
    const char* first = format.data() + 2;
    const char* last = format.data() + format.size() - 1;
    int d = 0;
    const auto [end, ec] = std::from_chars(first, last, d);
    if (ec == std::errc() && end == last && d >= 0 && d <= 20 && (*last == 'f' || *last == 'e')) {
      digits = d;
      conversion = *last;
    }
  }
  if (digits < 0) {
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string();
  }
  const int len = conversion == 'f'
                      ? std::snprintf(buf, sizeof buf, "%.*f", digits, static_cast<double>(value))
                      : std::snprintf(buf, sizeof buf, "%.*e", digits, static_cast<double>(value));
  if (len < 0) return {};
  std::string text(buf, static_cast<std::size_t>(std::min<int>(len, sizeof buf - 1)));
  if (!text.empty() && text[0] == '-') {
    const auto mantissa_end = text.find('e');
    const auto mantissa =
        text.substr(1, mantissa_end == std::string::npos ? std::string::npos : mantissa_end - 1);
    if (mantissa.find_first_not_of("0.") == std::string::npos) text.erase(0, 1);
  }
  return text;
}

}  // namespace inhibra::plotengine
