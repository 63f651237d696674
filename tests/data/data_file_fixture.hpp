#pragma once
// What the data-file tests share: a fresh folder, a recording front end and a
// context per test, and small data texts.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data/data_file.hpp"
#include "support/recording_frontend.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::data {

using core::box_kind;
using core::run_status;

// `curves` blocks of `rows` rows each, [I] = 0, 100, 200, ...
inline std::string grid(int curves, int rows, double step = 100.0) {
  std::string text;
  for (int c = 0; c < curves; ++c) {
    for (int r = 0; r < rows; ++r) {
      text += std::to_string(50 * (r + 1)) + " " + std::to_string(c * step) + " " +
              std::to_string(0.1 / (c + 1) * (r + 1)) + "\n";
    }
  }
  return text;
}

// Data lines 1 to 6 of one curve with `row` as line 4.
inline std::string with_line_4(const std::string& row) {
  return "50 0 0.032\n100 0 0.055\n200 0 0.08\n" + row + "\n500 0 0.116\n700 0 0.13\n";
}

inline const std::string aborted = "* * * ERROR: RUN ABORTED * * *";

class DataFile : public ::testing::Test {
 protected:
  DataFile() : ctx(std::make_unique<core::fit_context>()) { ctx->fe = &fe; }

  data_read run(const std::string& content, bool with_results = true) {
    const auto path = dir.write("case.in", content);
    return run_path(path, with_results);
  }
  data_read run_path(const std::string& path, bool with_results = true) {
    fe.boxes.clear();
    return read_data_file(*ctx, path, with_results ? &results : nullptr, console);
  }
  // The boxes shown for `content`, which must be refused.
  std::vector<std::string> refusal(const std::string& content) {
    EXPECT_EQ(run(content).status, run_status::file_rejected) << content.substr(0, 80);
    return fe.texts();
  }
  // What a refused run says on the console after its boxes.
  std::string closing_line() const { return " RESULTS FILE " + dir.file("case.out") + "\n"; }

  support::temp_dir dir;
  support::recording_frontend fe;
  std::unique_ptr<core::fit_context> ctx;
  output_file results;
  std::ostringstream console;
};

}  // namespace inhibra::data
