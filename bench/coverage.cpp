// Do the 95 % limits hold the truth about 95 % of the time? Simulated data sets of
// three designs (the example's 6 [S] x 4 [I] with a linear mixed model, a 7 x 4 grid
// with a mixed model toward uncompetitive, and a hyperbolic specific model), each
// with constant and with proportional noise, are fitted with the generating model the
// way a user following the program's advice would: with equal weights first, then
// with relative weights when the residual diagnostics advise them. Per cell the
// program prints how often the symmetric and the profile limits of Km, Vmax, Ki and
// a contain the true value, and how often relative weights were advised.
//
//   coverage [sets per cell, default 200] [threads, default 2]
//
// Not a test: it takes minutes, and its numbers are reported, not asserted.
#include <unistd.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fit/ezfit.hpp"
#include "fit/residual_diagnostics.hpp"
#include "models/model_library.hpp"

#include "simulated_sets.hpp"

namespace {

using namespace inhibra;

struct design {
  const char* name;
  int model;
  std::array<double, 4> truth;  // Km, Vmax, Ki, a
  std::vector<double> substrate;
  std::vector<double> inhibitor;
};

const std::array<design, 3> designs{{
    {"example 6x4, model 4",
     4,
     {215.0, 0.17, 88.0, 1.8},
     {50, 100, 200, 333, 500, 700},
     {0, 100, 200, 400}},
    {"grid 7x4, model 3",
     3,
     {100.0, 1.0, 50.0, 0.3},
     {10, 20, 40, 80, 160, 320, 640},
     {0, 25, 75, 200}},
    {"hyperbolic 6x4, model 5",
     5,
     {100.0, 1.0, 20.0, 8.0},
     {25, 50, 100, 200, 400, 800},
     {0, 50, 150, 400}},
}};

enum class noise { constant, proportional };
constexpr double noise_size = 0.015;  // 1.5 % of the rate, or of the mean rate

struct tally {
  std::array<std::atomic<int>, 4> symmetric{};
  std::array<std::atomic<int>, 4> profile{};
  std::atomic<int> fitted{0};
  std::atomic<int> advised_relative{0};
};

std::string data_text(const design& d, noise kind, unsigned seed) {
  core::fit_context ctx;
  ctx.model = d.model;
  std::array<double, core::max_par> p{};
  std::copy(d.truth.begin(), d.truth.end(), p.begin());
  double mean = 0.0;
  for (const double i : d.inhibitor) {
    for (const double s : d.substrate)
      mean += models::func(ctx, s, i, 0, p);
  }
  mean /= static_cast<double>(d.inhibitor.size() * d.substrate.size());
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::string text;
  char line[96];
  for (const double i : d.inhibitor) {
    for (const double s : d.substrate) {
      const double v = models::func(ctx, s, i, 0, p);
      const double sigma = kind == noise::proportional ? noise_size * v : noise_size * mean;
      std::snprintf(line, sizeof line, "%.6g %.6g %.17g\n", s, i, v + sigma * gauss(rng));
      text += line;
    }
  }
  return text;
}

fit::model_result fit_once(const std::string& path, int model, core::error_model errors) {
  auto ctx = std::make_unique<core::fit_context>();
  ctx->selected_models[static_cast<std::size_t>(model - 1)] = true;
  ctx->error_switch = errors;
  std::string name = path;
  std::ostringstream console;
  fit::run_record record;
  if (fit::ezfit(*ctx, name, console, &record) != core::run_status::success ||
      record.fitted.empty()) {
    std::fprintf(stderr, "coverage: the fit of %s failed\n", path.c_str());
    std::exit(1);
  }
  return record.fitted.front();
}

void one_set(const design& d, noise kind, unsigned seed, const std::filesystem::path& folder,
             tally& t) {
  const auto path = (folder / ("set" + std::to_string(seed) + ".in")).string();
  {
    std::ofstream out(path, std::ios::binary);
    out << data_text(d, kind, seed);
  }
  fit::model_result r = fit_once(path, d.model, core::error_model::equal);
  if (r.diagnostics.advises_relative()) {
    ++t.advised_relative;
    r = fit_once(path, d.model, core::error_model::relative);
  }
  ++t.fitted;
  for (std::size_t j = 0; j < 4; ++j) {
    const double truth = d.truth[j];
    if (r.se_produced && std::abs(r.p[j] - truth) <= r.cl[j]) ++t.symmetric[j];
    if (r.profiled && r.profile[j].low <= truth && truth <= r.profile[j].high) ++t.profile[j];
  }
  std::filesystem::remove(path);
  std::filesystem::remove(std::filesystem::path(path).replace_extension(".out"));
}

}  // namespace

int main(int argc, char** argv) {
  const int sets = argc > 1 ? std::atoi(argv[1]) : 200;
  const int threads = argc > 2 ? std::atoi(argv[2]) : 2;
  if (sets < 1 || threads < 1) {
    std::fprintf(stderr, "usage: coverage [sets per cell] [threads]\n");
    return 2;
  }
  const std::filesystem::path folder = bench::private_folder("coverage");
  std::printf(
      "%d sets per cell; noise %.1f %% of the rate (proportional) or of the mean rate "
      "(constant)\n",
      sets, 100.0 * noise_size);
  std::printf("%-26s %-12s %8s | %-27s | %-27s\n", "design", "noise", "relative",
              "symmetric Km Vmax Ki a (%)", "profile Km Vmax Ki a (%)");
  for (const design& d : designs) {
    for (const noise kind : {noise::constant, noise::proportional}) {
      tally t;
      bench::on_threads(sets, threads, [&](int k) {
        one_set(d, kind, static_cast<unsigned>(1000 + k), folder, t);
      });
      const double n = t.fitted.load();
      auto pct = [&](const std::atomic<int>& c) { return 100.0 * c.load() / n; };
      std::printf("%-26s %-12s %7.1f%% | %5.1f %5.1f %5.1f %5.1f   | %5.1f %5.1f %5.1f %5.1f\n",
                  d.name, kind == noise::constant ? "constant" : "proportional",
                  pct(t.advised_relative), pct(t.symmetric[0]), pct(t.symmetric[1]),
                  pct(t.symmetric[2]), pct(t.symmetric[3]), pct(t.profile[0]), pct(t.profile[1]),
                  pct(t.profile[2]), pct(t.profile[3]));
      std::fflush(stdout);
    }
  }
  std::filesystem::remove_all(folder);
  return 0;
}
