#include "fit/model_comparison.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "core/one_based.hpp"

namespace inhibra::fit {

void aicc(int N, int n, double R, double SSR, double& AICc) {
  if (N <= n) {
    // No degrees of freedom left: the criterion is undefined and the fit ranks last.
    AICc = aicc_cap;
    return;
  }
  const std::int32_t n_squared = N * N;
  const std::int32_t dof = N - n;
  const double f0 =
      static_cast<double>(2 * n_squared - 2 * N) / static_cast<double>(dof * dof) - 0.96875;
  double f = std::trunc(10.0 * f0 + 0.5) / 10.0;
  if (f > 5.0) f = 5.0;
  AICc = static_cast<double>(N) * std::log(SSR / static_cast<double>(N)) +
         (R + f) * static_cast<double>(n) * static_cast<double>(N) / static_cast<double>(dof);
  if (AICc > aicc_cap) AICc = aicc_cap;
}

double ratio_sum(int n, std::span<const double> p, std::span<const double> se, bool se_produced) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    sum += se_produced ? std::fmin(se[k] / p[k], 2.0) : 2.0;
  }
  return sum;
}

int poorly_determined_count(int n, std::span<const double> p, std::span<const double> se,
                            bool se_produced) {
  if (!se_produced) return n;
  int count = 0;
  for (int i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (poorly_determined(se[k], p[k])) ++count;
  }
  return count;
}

void dsort(std::span<double> values, std::span<double> carried, int count, int kind) {
  if (count < 2) return;
  if (kind != 1 && kind != 2 && kind != -1 && kind != -2) return;
  const bool carry = (kind == 2 || kind == -2);
  const core::vec1 v(values.first(static_cast<std::size_t>(count)));
  const core::vec1 c =
      carry ? core::vec1(carried.first(static_cast<std::size_t>(count))) : core::vec1();
  // Descending order is ascending order of the negated values.
  if (kind < 0) {
    for (int q = 1; q <= count; ++q)
      v(q) = -v(q);
  }
  auto exchange = [&](int a, int b) {
    std::swap(v(a), v(b));
    if (carry) std::swap(c(a), c(b));
  };

  // Pending segments (lower, upper); the larger part of a split waits here while
  // the smaller is sorted, so 21 entries hold far more than 2^21 values.
  std::array<int, 21> lower_stack{};
  std::array<int, 21> upper_stack{};
  int m = 1;
  int i = 1;
  int j = count;
  double r = 0.375;

  enum class step { segment_start, partition, pop, check_size, insertion };
  step next = step::segment_start;
  int k = 0;
  int l = 0;
  double t = 0.0;
  double tc = 0.0;
  for (;;) {
    switch (next) {
      case step::segment_start:
        if (i == j) {
          next = step::pop;
          break;
        }
        if (r <= 0.5898437) {
          r = r + 0.0390625;
        } else {
          r = r - 0.21875;
        }
        next = step::partition;
        break;

      case step::partition: {
        // Median of the first, a middle and the last value becomes the split value t.
        k = i;
        const int p = i + static_cast<int>((j - i) * r);
        t = v(p);
        if (v(i) > t) {
          exchange(p, i);
          t = v(p);
        }
        l = j;
        if (v(j) < t) {
          exchange(p, j);
          t = v(p);
          if (v(i) > t) {
            exchange(p, i);
            t = v(p);
          }
        }
        for (;;) {
          do {
            --l;
          } while (v(l) > t);
          do {
            ++k;
          } while (v(k) < t);
          if (k > l) break;
          exchange(l, k);
        }
        const auto slot = static_cast<std::size_t>(m - 1);
        if (l - i > j - k) {
          lower_stack[slot] = i;
          upper_stack[slot] = l;
          i = k;
        } else {
          lower_stack[slot] = k;
          upper_stack[slot] = j;
          j = l;
        }
        ++m;
        next = step::check_size;
        break;
      }

      case step::pop: {
        --m;
        if (m == 0) {
          if (kind < 0) {
            for (int q = 1; q <= count; ++q)
              v(q) = -v(q);
          }
          return;
        }
        const auto slot = static_cast<std::size_t>(m - 1);
        i = lower_stack[slot];
        j = upper_stack[slot];
        next = step::check_size;
        break;
      }

      case step::check_size:
        if (j - i >= 1) {
          next = step::partition;
        } else if (i == 1) {
          next = step::segment_start;
        } else {
          // A short segment that does not start the array: the value before it is no
          // larger than any in it, which stops the insertion below.
          i = i - 1;
          next = step::insertion;
        }
        break;

      case step::insertion:
        i = i + 1;
        if (i == j) {
          next = step::pop;
          break;
        }
        t = v(i + 1);
        if (carry) tc = c(i + 1);
        if (v(i) > t) {
          k = i;
          do {
            v(k + 1) = v(k);
            if (carry) c(k + 1) = c(k);
            k = k - 1;
          } while (t < v(k));
          v(k + 1) = t;
          if (carry) c(k + 1) = tc;
        }
        break;
    }
  }
}

std::vector<ranking_row> rank_models(std::span<double> raic, std::span<double> ridx, int count) {
  std::vector<ranking_row> rows;
  if (count < 1) return rows;
  const auto size = static_cast<std::size_t>(count);
  // Sort keys: a NaN criterion ranks behind every number.
  std::vector<double> key(size);
  std::vector<double> position(size);
  for (std::size_t q = 0; q < size; ++q) {
    key[q] = std::isnan(raic[q]) ? std::numeric_limits<double>::infinity() : raic[q];
    position[q] = static_cast<double>(q + 1);
  }
  dsort(key, position, count, 2);
  const std::vector<double> aic_in(raic.begin(), raic.begin() + static_cast<std::ptrdiff_t>(size));
  const std::vector<double> idx_in(ridx.begin(), ridx.begin() + static_cast<std::ptrdiff_t>(size));
  for (std::size_t q = 0; q < size; ++q) {
    const auto from = static_cast<std::size_t>(position[q]) - 1;
    raic[q] = aic_in[from];
    ridx[q] = idx_in[from];
  }

  const double aic_min = key[0];
  std::vector<double> w(size);
  double sum = 0.0;
  for (std::size_t q = 0; q < size; ++q) {
    w[q] = std::exp(-0.5 * (key[q] - aic_min));
    sum += w[q];
  }
  for (std::size_t q = 0; q < size; ++q)
    w[q] = w[q] / sum;

  rows.resize(size);
  for (std::size_t q = 0; q < size; ++q) {
    if (std::abs(w[q]) <= weight_floor) w[q] = weight_floor;
    ranking_row& row = rows[q];
    row.index = static_cast<int>(ridx[q]);
    row.aicc = raic[q];
    row.delta = raic[q] - raic[0];
    row.weight = w[q];
    row.ler = std::log10(w[0] / w[q]);
    if (row.ler <= 1.0) {
      row.marker = "**";
    } else if (row.ler < 2.0) {
      row.marker = "* ";
    } else {
      row.marker = "  ";
    }
  }
  return rows;
}

}  // namespace inhibra::fit
