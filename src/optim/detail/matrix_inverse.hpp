#pragma once
// In-place inversion of small dense matrices (stored column by column with a
// leading dimension) by LU decomposition with partial pivoting: the pivot of a
// column is its entry of largest magnitude on or below the diagonal, the first
// one on ties.
#include <span>

namespace inhibra::optim {

// Largest order either routine inverts (the order of the subproblem work matrix).
inline constexpr int max_inverse_order = 50;

// a(1..n, 1..n) is replaced by its inverse. A 1 x 1 matrix is replaced by its
// reciprocal unless it is 0, which is left as it is. Larger matrices are not
// checked: a singular one yields infinities or NaNs. 1 <= n <= max_inverse_order
// (n < 1 does nothing).
void mb01bd(std::span<double> a, int n, int lda);

enum class inverse_status : int { inverted = 0, singular = 1, order_not_positive = 2 };

// The same task by a column-wise (left-looking) elimination whose inner products
// are formed by sdsdot. A pivot that is exactly 0 stops the work (status
// singular; a then holds partial results); n < 1 gives order_not_positive.
[[nodiscard]] inverse_status mb01cd2(std::span<double> a, int n, int lda);

}  // namespace inhibra::optim
