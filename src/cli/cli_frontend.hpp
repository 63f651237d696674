#pragma once
// The person's side of a headless run: boxes become lines on the error stream,
// prefixed by the box title; pauses are skipped.
#include <mutex>
#include <ostream>

#include "fit/frontend.hpp"

namespace inhibra::cli {

class cli_frontend : public fit::frontend {
 public:
  // `err` receives the messages; `lock` serialises lines of runs in parallel.
  cli_frontend(std::ostream& err, std::mutex& lock) : err_(err), lock_(lock) {}

  void message(fit::box_kind kind, std::string_view text) override;
  void set_title(std::string_view) override {}
  void idle(int) override {}
  void refresh() override {}
  void show_plot(const plotengine::pplot&) override {}

 private:
  std::ostream& err_;
  std::mutex& lock_;
};

}  // namespace inhibra::cli
