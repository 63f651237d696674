// How often does the verdict name the mechanism that made the data? For each of the
// ten models, data sets are simulated from known parameters on a generous design
// (8 [S] x 6 [I], [S] from Km/8 to 16 Km, [I] from 0 to 8 Ki) with 1 % proportional
// noise, all ten models are fitted with relative weights (the noise's error model)
// and profile limits, and the
// verdict is compared with the generating model's families: where the inhibitor acts
// (model 10's own point, a = 0.5 and b = 2, lies in no other model's range: "general
// modifier") and whether the inhibition is complete or partial. Per model the program
// prints how often each question was answered with the right family, with a wrong
// one, or left open ("cannot be told apart"), and how often both were right.
//
//   verdict_rates [sets per model, default 50] [threads, default 2]
//   (VERDICT_RATES_MODEL=M: model M alone; VERDICT_RATES_SHOW=1: print each miss)
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

#include "evidence/run_evidence.hpp"
#include "fit/ezfit.hpp"
#include "models/model_library.hpp"

#include "simulated_sets.hpp"

namespace {

using namespace inhibra;

struct generator {
  int model;
  std::array<double, 5> truth;  // Km, Vmax, Ki, then a (model 6: b) and b
  evidence::site_family site;
  evidence::mode_family mode;
};

const std::array<generator, 10> generators{{
    {1, {100, 1, 50, 0, 0}, evidence::site_family::competitive, evidence::mode_family::complete},
    {2, {100, 1, 50, 0, 0}, evidence::site_family::noncompetitive, evidence::mode_family::complete},
    {3, {100, 1, 50, 0.3, 0}, evidence::site_family::complex, evidence::mode_family::complete},
    {4, {100, 1, 50, 4.0, 0}, evidence::site_family::free_enzyme, evidence::mode_family::complete},
    {5, {100, 1, 50, 5.0, 0}, evidence::site_family::competitive, evidence::mode_family::partial},
    {6,
     {100, 1, 50, 0.3, 0},
     evidence::site_family::noncompetitive,
     evidence::mode_family::partial},
    {7, {100, 1, 50, 0.3, 0}, evidence::site_family::complex, evidence::mode_family::partial},
    {8, {100, 1, 50, 0.6, 0.2}, evidence::site_family::complex, evidence::mode_family::partial},
    {9, {100, 1, 50, 4.0, 0.3}, evidence::site_family::free_enzyme, evidence::mode_family::partial},
    {10, {100, 1, 50, 0.5, 2.0}, evidence::site_family::general, evidence::mode_family::partial},
}};

constexpr std::array<double, 8> substrate{12.5, 25, 50, 100, 200, 400, 800, 1600};
constexpr std::array<double, 6> inhibitor{0, 25, 50, 100, 200, 400};
constexpr double noise = 0.01;  // relative

struct tally {
  std::array<std::atomic<int>, 3> site{};  // right, wrong, open
  std::array<std::atomic<int>, 3> mode{};
  std::atomic<int> both{0};
  std::atomic<int> sets{0};
};

std::string data_text(const generator& g, unsigned seed) {
  core::fit_context ctx;
  ctx.model = g.model;
  std::array<double, core::max_par> p{};
  std::copy(g.truth.begin(), g.truth.end(), p.begin());
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::string text;
  char line[96];
  for (const double i : inhibitor) {
    for (const double s : substrate) {
      const double v = models::func(ctx, s, i, 0, p);
      std::snprintf(line, sizeof line, "%.6g %.6g %.17g\n", s, i, v * (1.0 + noise * gauss(rng)));
      text += line;
    }
  }
  return text;
}

template <typename Family>
int judged(const evidence::answer<Family>& a, Family truth) {
  if (!a.named) return 2;
  return *a.named == truth ? 0 : 1;
}

void one_set(const generator& g, unsigned seed, const std::filesystem::path& folder, tally& t) {
  const auto path =
      (folder / ("m" + std::to_string(g.model) + "-" + std::to_string(seed) + ".in")).string();
  {
    std::ofstream out(path, std::ios::binary);
    out << data_text(g, seed);
  }
  auto ctx = std::make_unique<core::fit_context>();
  ctx->selected_models.fill(true);
  // The noise is proportional to the rate: relative weights are its error model.
  ctx->error_switch = core::error_model::relative;
  std::string name = path;
  std::ostringstream console;
  fit::run_record record;
  if (fit::ezfit(*ctx, name, console, &record) != core::run_status::success) {
    std::fprintf(stderr, "verdict_rates: the fit of %s failed\n", path.c_str());
    std::exit(1);
  }
  const evidence::verdict mechanism = evidence::weigh_evidence(record).mechanism;
  const int site = judged(mechanism.site, g.site);
  const int mode = judged(mechanism.mode, g.mode);
  ++t.site[static_cast<std::size_t>(site)];
  ++t.mode[static_cast<std::size_t>(mode)];
  if (site == 0 && mode == 0) ++t.both;
  ++t.sets;
  if (std::getenv("VERDICT_RATES_SHOW") != nullptr && (site != 0 || mode != 0))
    std::fprintf(stderr, "model %d seed %u: %s\n", g.model, seed, mechanism.sentence.c_str());
  std::filesystem::remove(path);
  std::filesystem::remove(std::filesystem::path(path).replace_extension(".out"));
}

}  // namespace

int main(int argc, char** argv) {
  const int sets = argc > 1 ? std::atoi(argv[1]) : 50;
  const int threads = argc > 2 ? std::atoi(argv[2]) : 2;
  if (sets < 1 || threads < 1) {
    std::fprintf(stderr, "usage: verdict_rates [sets per model] [threads]\n");
    return 2;
  }
  const std::filesystem::path folder = bench::private_folder("verdict_rates");
  std::printf("%d sets per model, %.0f %% proportional noise, 8 [S] x 6 [I]\n", sets,
              100.0 * noise);
  std::printf("%-6s | %-22s | %-22s | %s\n", "model", "site right/wrong/open %",
              "mode right/wrong/open %", "both right %");
  // VERDICT_RATES_MODEL=M: that generating model alone; VERDICT_RATES_SHOW: each
  // verdict that missed, on standard error.
  const char* only = std::getenv("VERDICT_RATES_MODEL");
  for (const generator& g : generators) {
    if (only != nullptr && std::atoi(only) != g.model) continue;
    tally t;
    bench::on_threads(sets, threads,
                      [&](int k) { one_set(g, static_cast<unsigned>(2000 + k), folder, t); });
    const double n = t.sets.load();
    auto pct = [&](const std::atomic<int>& c) { return 100.0 * c.load() / n; };
    std::printf("%-6d | %6.0f %6.0f %6.0f   | %6.0f %6.0f %6.0f   | %6.0f\n", g.model,
                pct(t.site[0]), pct(t.site[1]), pct(t.site[2]), pct(t.mode[0]), pct(t.mode[1]),
                pct(t.mode[2]), pct(t.both));
    std::fflush(stdout);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
