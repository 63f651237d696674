#pragma once
// Axis scaling of the chart engine: per-axis setup and tick information, the
// rounding of tick spans to 1, 2 or 5 times a power of ten, tick-label formats,
// the linear and logarithmic value-to-pixel mappings and the tick iterators.
// All arithmetic is in single precision, so ranges, ticks and pixel positions come
// out the same on every machine.
#include <cstdint>
#include <string>

namespace inhibra::plotengine {

inline constexpr float log_floor = 1e-10f;               // smallest value a log axis shows
inline constexpr float min_range = 1e-20f;               // narrower ranges are refused
inline constexpr float exponent_cap = 1e10f;             // cap of exponents in log mappings
inline constexpr float round_span_failure = -1.234567f;  // round_span's "cannot round"

// A rectangle in pixels.
struct prect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const prect&, const prect&) = default;
};

// Tick marks and tick labels of one axis.
struct tick_info {
  bool auto_ticks = true;        // spacing from the range and the plot size
  bool auto_tick_sizes = true;   // mark lengths from the plot size and the font
  int tick_division = 1;         // minor ticks per major tick span
  float major_tick_span = 1.0f;  // value distance between major ticks
  int major_tick_length = 1;     // pixels
  int minor_tick_length = 1;     // pixels
  std::string format = "%.0f";   // printf-style format of the labels

  // Rounds a positive span to 1, 2 or 5 times a power of ten; round_span_failure
  // for a span that is not positive or cannot be brought into 1..10.
  [[nodiscard]] static float round_span(float x);
  // The label format for ticks `span` apart: "%.1e" for very large or very small
  // spans, "%.0f" from 1 to 10000, else as many decimals as it takes to reach 1.
  [[nodiscard]] static std::string make_format_string(float span);
};

// Caps the major mark at half the font height and makes the minor mark half of it.
void set_tick_sizes(int font_height, tick_info& info);

// One axis: range, its automatic bounds, direction and mapping.
struct axis_setup {
  float minimum = 0.0f;
  float maximum = 0.0f;
  bool auto_minimum = true;
  bool auto_maximum = true;
  bool ascending = true;     // the minimum lies at the start of the screen range
  bool logarithmic = false;  // logarithmic mapping and ticks
  int decade_limit = -1;     // log axis: when positive, minimum = maximum / base^limit
  float log_base = 10.0f;
  tick_info ticks;

  // Fixed range; both bounds stop being automatic.
  void set_range(float lo, float hi) {
    minimum = lo;
    maximum = hi;
    auto_minimum = auto_maximum = false;
  }
  // Both bounds from the data.
  void set_auto() { auto_minimum = auto_maximum = true; }
};

// Rounds onto the powers of `base` (values below log_floor count as log_floor).
[[nodiscard]] float round_down(float x, float base);
[[nodiscard]] float round_up(float x, float base);

// value -> pixel on a linear axis.
struct lin_trafo {
  float offset = 0.0f;
  float slope = 0.0f;
  [[nodiscard]] float transform(float value) const { return value * slope + offset; }
  // pixel -> value; 0 when the mapping is flat.
  [[nodiscard]] float transform_back(float pixel) const;
};

// value -> pixel on a logarithmic axis.
struct log_trafo {
  float offset = 0.0f;
  float slope = 0.0f;
  float base = 10.0f;
  float factor = 1.0f;  // applied to the logarithm; 1 for every chart
  [[nodiscard]] float transform(float value) const;
  // pixel -> value, with the exponent capped at exponent_cap; 0 when flat.
  [[nodiscard]] float transform_back(float pixel) const;
};

// The mapping of one axis onto the screen range s0..s1; false for a range that is
// too narrow (the axis cannot be drawn).
[[nodiscard]] bool calculate_lin_transformation(float s0, float s1, const axis_setup& axis,
                                                lin_trafo& trafo);
[[nodiscard]] bool calculate_log_transformation(float s0, float s1, const axis_setup& axis,
                                                log_trafo& trafo);

// Either mapping, chosen by the axis.
struct axis_trafo {
  bool logarithmic = false;
  lin_trafo lin;
  log_trafo log;
  [[nodiscard]] float transform(float value) const {
    return logarithmic ? log.transform(value) : lin.transform(value);
  }
  [[nodiscard]] float transform_back(float pixel) const {
    return logarithmic ? log.transform_back(pixel) : lin.transform_back(pixel);
  }
};

// Ticks of a linear axis: every minor span from the first multiple at or above
// the minimum up to the maximum; every tick_division-th one is major.
class lin_tick_iterator {
 public:
  // Tick spacing for a value range shown over about `guess` major spans; `ortho` is
  // the screen size across the axis (for the mark lengths). False when it cannot.
  [[nodiscard]] static bool init_from_ranges(float range, float ortho, float guess,
                                             tick_info& info);
  // A linear axis runs exactly over its data: the bounds stay as they are.
  [[nodiscard]] static bool adjust_range(float& minimum, float& maximum);
  // Positions the iterator at the first tick of the axis.
  [[nodiscard]] bool init(const axis_setup& axis);
  // The next tick; false when there is none.
  [[nodiscard]] bool get_next_tick(float& value, bool& is_major, std::string& format);

 private:
  float current_ = 0.0f;
  float minor_span_ = 0.0f;
  float maximum_ = 0.0f;
  std::int64_t index_ = 0;
  int division_ = 1;
  std::string format_;
};

// Ticks of a logarithmic axis: 1, 2, ..., 9, 10, 20, ... (for base 10), majors at
// the powers of the base.
class log_tick_iterator {
 public:
  [[nodiscard]] static bool init_from_ranges(float range, float ortho, float guess,
                                             const axis_setup& axis, tick_info& info);
  // Widens the bounds to whole powers of the base (and applies the decade limit).
  [[nodiscard]] static bool adjust_range(const axis_setup& axis, float& minimum, float& maximum);
  [[nodiscard]] bool init(const axis_setup& axis);
  [[nodiscard]] bool get_next_tick(float& value, bool& is_major, std::string& format);

 private:
  float current_ = 0.0f;
  float minor_span_ = 0.0f;
  float maximum_ = 0.0f;
  float base_ = 10.0f;
  std::int64_t index_ = 0;
};

// Either iterator, chosen by the axis.
class tick_iterator {
 public:
  [[nodiscard]] static bool init_from_ranges(const axis_setup& axis, float range, float ortho,
                                             float guess, tick_info& info);
  [[nodiscard]] static bool adjust_range(const axis_setup& axis, float& minimum, float& maximum);
  [[nodiscard]] bool init(const axis_setup& axis);
  [[nodiscard]] bool get_next_tick(float& value, bool& is_major, std::string& format);

 private:
  bool logarithmic_ = false;
  lin_tick_iterator lin_;
  log_tick_iterator log_;
};

// A tick label: `value` written with a format made by make_format_string
// ("%.<d>f" or "%.<d>e"); any other format falls back to the shortest text.
// A label that would read as minus zero drops its sign.
[[nodiscard]] std::string format_tick_label(const std::string& format, float value);

}  // namespace inhibra::plotengine
