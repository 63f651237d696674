#pragma once
// The rows of a data file, as the data reader leaves them. The reader is their one
// writer; while models are fitted they are read, apart from the working columns,
// which the driver restores from the untouched copies before every model.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/capacities.hpp"

namespace inhibra::core {

struct observations {
  std::array<double, max_rows> substrate{};  // [S] of row k (index k-1)
  std::array<double, max_rows> inhibitor{};  // [I] of row k
  std::array<double, max_rows> rate{};       // measured rate of row k

  // Untouched copies of the columns as read; the driver restores the arrays above
  // from them before every model.
  std::array<double, max_rows> xtmp{};
  std::array<double, max_rows> x2tmp{};
  std::array<double, max_rows> ytmp{};

  std::int32_t rows = 0;                       // N, observations in use
  std::int32_t columns = 0;                    // columns on the first data line
  std::int32_t idat = 0;                       // rows read
  std::int32_t idatasets = 0;                  // curves (at most 10 stored)
  std::array<std::int32_t, max_curves> id2{};  // rows per curve, file order

  // How the report names the rows the reader dropped because the person left them
  // out ("4", or a table's cell "C7").
  std::vector<std::string> rows_left_out;
};

}  // namespace inhibra::core
