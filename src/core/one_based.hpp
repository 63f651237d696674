#pragma once
// Small 1-based views over contiguous storage, so that numerical kernels read like
// their formulas (v(i) for i = 1..n, a(i, j) column by column with a leading
// dimension) without pointer arithmetic tricks. They never own memory.
#include <cassert>
#include <cstddef>
#include <span>

namespace inhibra::core {

template <class T>
class basic_vec1 {
 public:
  constexpr basic_vec1() = default;
  constexpr explicit basic_vec1(std::span<T> data) : data_(data) {}
  constexpr T& operator()(int i) const {
    assert(i >= 1 && static_cast<std::size_t>(i) <= data_.size());
    return data_[static_cast<std::size_t>(i - 1)];
  }
  [[nodiscard]] constexpr int size() const { return static_cast<int>(data_.size()); }
  [[nodiscard]] constexpr std::span<T> span() const { return data_; }

 private:
  std::span<T> data_;
};

template <class T>
class basic_mat1 {
 public:
  constexpr basic_mat1() = default;
  // ld: leading dimension (rows of the storage); element (i, j) sits at (i-1) + (j-1)*ld.
  constexpr basic_mat1(std::span<T> data, int ld) : data_(data), ld_(ld) {}
  constexpr T& operator()(int i, int j) const {
    assert(i >= 1 && i <= ld_ && j >= 1);
    const auto k = static_cast<std::size_t>(i - 1) +
                   static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(ld_);
    assert(k < data_.size());
    return data_[k];
  }
  [[nodiscard]] constexpr int ld() const { return ld_; }
  [[nodiscard]] constexpr std::span<T> span() const { return data_; }

 private:
  std::span<T> data_;
  int ld_ = 1;
};

using vec1 = basic_vec1<double>;
using cvec1 = basic_vec1<const double>;
using ivec1 = basic_vec1<int>;
using mat1 = basic_mat1<double>;
using cmat1 = basic_mat1<const double>;

}  // namespace inhibra::core
