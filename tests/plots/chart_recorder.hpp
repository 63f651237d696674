#pragma once
// A front end that keeps a copy of every chart shown and the order of the calls.
#include <string>
#include <vector>

#include "plotengine/pplot.hpp"
#include "support/recording_frontend.hpp"

namespace inhibra::plots::testing {

class chart_recorder : public support::recording_frontend {
 public:
  void show_plot(const plotengine::pplot& plot) override {
    charts.push_back(plot);
    events.emplace_back("plot");
    recording_frontend::show_plot(plot);
  }
  int show_plot_async(const plotengine::pplot& plot) override {
    charts.push_back(plot);
    events.emplace_back("open");
    return recording_frontend::show_plot_async(plot);
  }
  void close_plot(int handle) override {
    events.push_back("close " + std::to_string(handle));
    recording_frontend::close_plot(handle);
  }
  void idle(int milliseconds) override {
    events.push_back("idle " + std::to_string(milliseconds));
    recording_frontend::idle(milliseconds);
  }
  void refresh() override {
    events.emplace_back("refresh");
    recording_frontend::refresh();
  }

  std::vector<plotengine::pplot> charts;
  std::vector<std::string> events;
};

}  // namespace inhibra::plots::testing
