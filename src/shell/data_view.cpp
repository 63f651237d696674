#include "shell/data_view.hpp"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>

#include <fmt/format.h>

#include "core/fit_context.hpp"
#include "data/data_file.hpp"
#include "plots/figure_style.hpp"

namespace inhibra::shell {

namespace {

// Keeps what the reader says instead of showing it.
class collected_messages final : public core::frontend {
 public:
  void message(core::box_kind kind, std::string_view text) override {
    std::string line = std::string(core::box_title(kind)) + ": " + std::string(text);
    if (std::find(lines.begin(), lines.end(), line) == lines.end())
      lines.push_back(std::move(line));
  }
  void set_title(std::string_view /*text*/) override {}
  void idle(int /*milliseconds*/) override {}
  void refresh() override {}
  void show_plot(const plotengine::pplot& /*plot*/) override {}

  std::vector<std::string> lines;
};

std::string number_text(double value) {
  return fmt::format("{:.6g}", value);
}

}  // namespace

data_view read_data_view(const std::string& file, const core::table_request& how,
                         const std::set<int>& left_out) {
  auto ctx = std::make_unique<core::fit_context>();
  collected_messages said;
  ctx->fe = &said;
  ctx->table = how;
  std::ostringstream console;
  const data::data_read read = data::read_data_file(*ctx, file, nullptr, console);

  data_view view;
  const std::string name = std::filesystem::path(read.data_name).filename().string();
  const int rows = std::clamp(ctx->idat, 0, core::max_rows);
  for (int k = 0; k < rows; ++k) {
    const auto i = static_cast<std::size_t>(k);
    view.rows.push_back({ctx->substrate[i], ctx->inhibitor[i], ctx->rate[i]});
  }
  const bool readable = read.status == core::run_status::success;
  auto row_of = [&](int k) {
    const auto i = static_cast<std::size_t>(k);
    toolkit::data_pane_row row;
    row.place = k + 1;
    row.source = data::row_source(read, i);
    row.values = {number_text(view.rows[i][0]), number_text(view.rows[i][1]),
                  number_text(view.rows[i][2])};
    row.used = !left_out.contains(k + 1);
    return row;
  };
  if (readable) {
    int next = 0;
    for (int c = 0; c < ctx->idatasets; ++c) {
      const auto ci = static_cast<std::size_t>(c);
      toolkit::data_pane_curve curve;
      curve.title = fmt::format("Curve {}: [I] = {}", c + 1,
                                number_text(ctx->inhibitor[static_cast<std::size_t>(next)]));
      const plotengine::rgb colour = plots::curve_colors[ci];
      curve.colour = {colour.red, colour.green, colour.blue};
      for (int r = 0; r < ctx->id2[ci] && next < rows; ++r)
        curve.rows.push_back(row_of(next++));
      view.contents.curves.push_back(std::move(curve));
    }
    view.contents.heading = fmt::format("{}: {} rows in {} {}", name, rows, ctx->idatasets,
                                        ctx->idatasets == 1 ? "curve" : "curves");
  } else {
    // The rows read, if any, without curves: the file cannot be fitted as it is.
    toolkit::data_pane_curve all;
    for (int k = 0; k < rows; ++k)
      all.rows.push_back(row_of(k));
    if (!all.rows.empty()) view.contents.curves.push_back(std::move(all));
    view.contents.heading = name + ": cannot be fitted as it is";
  }
  view.contents.notes = said.lines;
  return view;
}

}  // namespace inhibra::shell
