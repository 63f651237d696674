#pragma once
// The look shared by the result charts: the curve colours and marker shapes, and the
// axis titles (their units are added by with_units in figure_units.hpp).
#include <array>
#include <string_view>

#include "core/capacities.hpp"
#include "plotengine/pplot.hpp"

namespace inhibra::plots {

// The colour of curve k (index k-1), shared by its markers and its line: the
// Okabe-Ito palette, whose eight colours stay apart for readers with the common
// colour-vision deficiencies. Yellow, faint on white, comes last; curves 9 and 10
// repeat the second and third colours and are told apart by their markers.
inline constexpr std::array<plotengine::rgb, core::max_curves> curve_colors{{
    {0, 0, 0},        // black
    {230, 159, 0},    // orange
    {86, 180, 233},   // sky blue
    {0, 158, 115},    // bluish green
    {0, 114, 178},    // blue
    {213, 94, 0},     // vermillion
    {204, 121, 167},  // reddish purple
    {240, 228, 66},   // yellow
    {230, 159, 0},    // orange again
    {86, 180, 233},   // sky blue again
}};

// The marker of curve k (index k-1): a different shape for every curve.
inline constexpr std::array<plotengine::marker_shape, core::max_curves> curve_markers{{
    plotengine::marker_shape::circle,
    plotengine::marker_shape::square,
    plotengine::marker_shape::triangle_up,
    plotengine::marker_shape::diamond,
    plotengine::marker_shape::triangle_down,
    plotengine::marker_shape::pentagon,
    plotengine::marker_shape::hexagon,
    plotengine::marker_shape::triangle_left,
    plotengine::marker_shape::triangle_right,
    plotengine::marker_shape::star,
}};

// Lines and points that belong to no curve (a single model curve, the zero line).
inline constexpr plotengine::rgb ink{0, 0, 0};
inline constexpr plotengine::rgb reference_grey{110, 110, 110};

// Axis titles of the result charts.
inline constexpr std::string_view substrate_title = "[S]";
inline constexpr std::string_view inhibitor_title = "[I]";
inline constexpr std::string_view rate_title = "Rate v";
inline constexpr std::string_view fitted_rate_title = "Fitted rate";
inline constexpr std::string_view residual_title = "Observed \xe2\x88\x92 fitted";  // a minus sign
inline constexpr std::string_view kmapp_title_text = "Km,app";
inline constexpr std::string_view mc50_title = "MC50";
inline constexpr std::string_view reciprocal_substrate_title = "1/[S]";
inline constexpr std::string_view reciprocal_rate_title = "1/v";

}  // namespace inhibra::plots
