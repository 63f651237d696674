#pragma once
// Drawing a chart's series inside its axes (lines cut to the plot, markers, bars and
// crosses), and their samples in the legend.
#include "plotengine/painter.hpp"
#include "plotengine/pplot.hpp"

namespace inhibra::plotengine {

// The centre of the pixel a coordinate falls in: crisp one-pixel lines.
[[nodiscard]] float snap(float v);

// Draws series s by its drawer through the pass's mappings, kept to the plot area;
// the caller sets its colour and the painter's clip.
void draw_series(painter& p, const series& s, const chart_pass& pass);

// The legend's sample of series s: `w` wide from x, centred on the height cy.
void draw_swatch(painter& p, const series& s, float x, float cy, float w);

}  // namespace inhibra::plotengine
