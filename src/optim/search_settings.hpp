#pragma once
// The settings by which a caller tells the value-only searches what to do beyond
// the plain method: the simplex's restarts and the coordinates of a shape search.
// Plain data, so that a table of problems (the fit's model catalogue) can hold them.

namespace inhibra::optim {

// What the simplex does while its spread is still large, during iterations 1 to 19.
enum class simplex_restarts {
  none,                    // nothing
  shape_search,            // golden_ab_search while the spread exceeds ftol
  shape_and_random_search  // golden_ab_search, dorunrun (15 runs), golden_ab_search
                           // while the spread exceeds ftol or is exactly 0
};

// The coordinates a shape search visits, first..last (1-based; none when last <
// first), and its number of passes (0: the search does nothing at all).
struct shape_search {
  int first = 1;
  int last = 0;
  int passes = 0;
};

}  // namespace inhibra::optim
