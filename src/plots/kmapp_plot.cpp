#include "plots/kmapp_plot.hpp"

#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

constexpr double infinite_a = 4.5e15;  // model 1: the ES complex binds no inhibitor
constexpr plotengine::rgb blue{0, 0, 255};
constexpr int title_field = 150;

std::string kmapp_title(const std::string& model_name) {
  const std::string title = std::string(strings::trim_both(model_name)) +
                            "\r\n( Catalytic Down \\, Specific Up /, Constant Ratio [S]/[I]= 5 )";
  return strings::pad(title, title_field);
}

std::optional<plotengine::pplot> chart_for(const core::fit_context& ctx) {
  std::vector<double> inhibitor, kmapp;
  if (!kmapp_curve(ctx.model, ctx.variables, inhibitor, kmapp)) return std::nullopt;
  auto h = build_kmapp_plot(ctx.strmdl, inhibitor, kmapp, kmapp_points);
  return std::move(h->chart);
}

}  // namespace

bool kmapp_factor(int model, std::span<const double> variables, double& a) {
  switch (model) {
    case 1:
      a = infinite_a;
      return true;
    case 2:
    case 6:  // model 6's P4 is b; its a is 1
      a = 1.0;
      return true;
    case 3:
    case 4:
    case 5:
    case 7:
    case 8:
    case 9:
    case 10:
      a = variables.size() >= 4 ? variables[3] : 0.0;
      return true;
    default:
      return false;
  }
}

bool kmapp_curve(int model, std::span<const double> variables, std::vector<double>& inhibitor,
                 std::vector<double>& kmapp) {
  double a = 0.0;
  if (variables.size() < 3 || !kmapp_factor(model, variables, a)) return false;
  const double km = variables[0];
  const double ki = variables[2];
  inhibitor.assign(kmapp_points, 0.0);
  kmapp.assign(kmapp_points, 0.0);
  for (int i = 1; i <= kmapp_points; ++i) {
    const double s = static_cast<double>(i) * km / 5.0;
    const double inh = s / 5.0;
    const double r = s / inh;
    inhibitor[static_cast<std::size_t>(i - 1)] = inh;
    kmapp[static_cast<std::size_t>(i - 1)] = (s / (r * ki) + 1.0) * km / (s / (r * a * ki) + 1.0);
  }
  return true;
}

plot_handle build_kmapp_plot(const std::string& model_name, std::span<const double> inhibitor,
                             std::span<const double> kmapp, int n) {
  const auto count = std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)),
                                           std::min(inhibitor.size(), kmapp.size()));
  const auto xs = inhibitor.first(count);
  const auto ys = kmapp.first(count);
  auto h = initialize_plot();
  set_xlinear(h);
  set_ylinear(h);
  set_xautoscale(h);
  set_yautoscale(h);
  set_title(h, kmapp_title(model_name));
  add_unlabelled_series(h, xs, ys, series_big_dot, blue);
  add_unlabelled_series(h, xs, ys, series_line, blue);
  set_ylabel(h, "Kmapp");
  set_xlabel(h, "[INHIBITOR]");
  return h;
}

void plot_kmapp_vs_i(const core::fit_context& ctx, std::span<const double> inhibitor,
                     std::span<const double> kmapp, int n) {
  auto h = build_kmapp_plot(ctx.strmdl, inhibitor, kmapp, n);
  show_and_destroy(h, ctx.fe);
}

void lin_kmapp_i_plot(const core::fit_context& ctx) {
  if (ctx.model < 1 || ctx.model > 4) return;
  std::vector<double> inhibitor, kmapp;
  if (!kmapp_curve(ctx.model, ctx.variables, inhibitor, kmapp)) return;
  plot_kmapp_vs_i(ctx, inhibitor, kmapp, kmapp_points);
  if (ctx.fe != nullptr) ctx.fe->idle(500);
}

void hyper_kmapp_i_plot(const core::fit_context& ctx) {
  if (ctx.model < 5 || ctx.model > 10) return;
  std::vector<double> inhibitor, kmapp;
  if (!kmapp_curve(ctx.model, ctx.variables, inhibitor, kmapp)) return;
  if (ctx.fe != nullptr) ctx.fe->idle(500);
  plot_kmapp_vs_i(ctx, inhibitor, kmapp, kmapp_points);
}

std::optional<plotengine::pplot> kmapp_chart(const core::fit_context& ctx) {
  if (ctx.model < 1 || ctx.model > 10) return std::nullopt;
  return chart_for(ctx);
}

}  // namespace inhibra::plots
