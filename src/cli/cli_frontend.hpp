#pragma once
// The person's side of a headless run: boxes become lines on the error stream,
// prefixed by the box title; pauses are skipped; charts go to a callback (written
// to image files, or dropped); window titles become progress lines when wanted.
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

#include "core/frontend.hpp"

namespace inhibra::cli {

class cli_frontend : public core::frontend {
 public:
  using plot_sink = std::function<void(const plotengine::pplot&)>;

  // `err` receives the messages; `lock` serialises lines of runs in parallel.
  cli_frontend(std::ostream& err, std::mutex& lock) : err_(err), lock_(lock) {}

  // Charts shown during the run go here (none when empty).
  void set_plot_sink(plot_sink sink) { sink_ = std::move(sink); }
  // Progress lines "<label>: computing model #M" on the error stream.
  void set_progress(std::string label) { progress_ = std::move(label); }
  // Messages name the file they are about: "Warning: <file>: <text>" (when several
  // files are fitted at once).
  void set_file_label(std::string file) { file_ = std::move(file); }

  void message(core::box_kind kind, std::string_view text) override;
  void set_title(std::string_view text) override;
  void idle(int) override {}
  void refresh() override {}
  void show_plot(const plotengine::pplot& plot) override;

 private:
  void write_line(const std::string& line);

  std::ostream& err_;
  std::mutex& lock_;
  plot_sink sink_;
  std::string progress_;
  std::string file_;
};

}  // namespace inhibra::cli
