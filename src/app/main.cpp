// inhibra: the desktop program.
#include <QApplication>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "data/data_file.hpp"
#include "fit/fit_context.hpp"
#include "shell/desktop.hpp"

namespace {

// Until the fit driver is connected here, a run reads and checks the data file and
// writes a short results file that says what was found.
inhibra::fit::run_status check_only(inhibra::fit::fit_context& ctx, std::string& data_file) {
  using namespace inhibra;
  std::ostringstream console;
  std::ofstream results;
  const auto read = data::read_data_file(ctx, data_file, &results, console);
  if (read.status != fit::run_status::success) return read.status;
  data_file = read.data_name;
  std::string per_curve;
  for (int c = 0; c < ctx.idatasets; ++c) {
    per_curve += (c > 0 ? "," : "") + std::to_string(ctx.id2[static_cast<std::size_t>(c)]);
  }
  results << "\r\n\r\n INHIBRA - DATA FILE CHECK\r\n\r\n Data file: " << read.data_name
          << "\r\n Rows: " << ctx.idat << "   Curves: " << ctx.idatasets
          << "   Rows per curve: " << per_curve
          << "\r\n\r\n Model fitting is not part of this build yet.\r\n";
  ctx.global_mdl_count = 1;
  return fit::run_status::success;
}

}  // namespace

int main(int argc, char** argv) {
  inhibra::shell::termination_signals termination;  // before any thread exists
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Inhibra"));
  auto ctx = std::make_unique<inhibra::fit::fit_context>();
  inhibra::shell::services services;
  services.run = check_only;
  return inhibra::shell::run_desktop(app, termination, *ctx, std::move(services));
}
