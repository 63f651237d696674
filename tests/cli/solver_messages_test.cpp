// What the numerical stages tell the person when the data defeat them: the solver
// library's own log never reaches the terminal, and each trouble is one warning
// that names the model.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/run_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

const std::string example =
    support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in");

// The example's rows, each rewritten by `row` from its three fields.
template <typename Row>
std::string rewritten_rows(Row row) {
  std::istringstream in(example);
  std::string line;
  std::string out;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string s, i, v;
    if (!(fields >> s >> i >> v)) break;
    out += row(s, i, v) + "\n";
  }
  return out;
}

// True when a line begins like the solver library's log lines: a severity letter and
// eight digits of date ("W20261207 04:20:52.868 residual_block.cc:129]").
bool has_library_log_line(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 10 || std::string("IWEF").find(line[0]) == std::string::npos) continue;
    bool digits = true;
    for (std::size_t k = 1; k <= 8; ++k)
      digits = digits && line[k] >= '0' && line[k] <= '9';
    if (digits && line[9] == ' ') return true;
  }
  return false;
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

struct trouble_case {
  const char* what;
  std::string data;
  const char* models;
  std::string warning;  // the warning every model of the run gets exactly once
};

TEST(SolverMessages, TroubleIsOneWarningPerModelAndNoLibraryLog) {
  const trouble_case cases[] = {
      {"concentrations near the largest number", rewritten_rows([](auto& s, auto& i, auto& v) {
         return s + "e302 " + i + "e302 " + v;  // [S] and [I] times 10^302
       }),
       "1,2", ": the refinement met parameter values where the rates cannot be computed"},
      {"every rate 0", rewritten_rows([](auto& s, auto& i, auto&) { return s + " " + i + " 0"; }),
       "1,2", ": Mat Inversion: Matrix diagonal = 0! The data do not determine its parameters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    support::temp_dir dir;
    dir.write("d.in", c.data);
    const auto r = run_fit(std::string("-q -m ") + c.models + " d.in", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    // No line in the solver library's log format ("W20261207 04:20:52.868 ...").
    EXPECT_FALSE(has_library_log_line(r.err)) << r.err.substr(0, 2000);
    EXPECT_LT(r.err.size(), 8000u) << r.err.substr(0, 2000);
    for (const int model : {1, 2}) {
      EXPECT_EQ(count_of(r.err, "Warning: Model " + std::to_string(model) + c.warning), 1u)
          << r.err;
    }
    EXPECT_EQ(count_of(r.err, "Error:"), 0u) << r.err;
    EXPECT_FALSE(support::read_file(dir.file("d.out")).empty());
  }
}

}  // namespace
}  // namespace inhibra::cli
