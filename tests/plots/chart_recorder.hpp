#pragma once
// A front end that keeps a copy of every chart shown and the order of the calls; a
// window opened for a chart has the chart's number (from 1) as its handle.
#include <string>
#include <vector>

#include "plotengine/pplot.hpp"
#include "support/recording_frontend.hpp"

namespace inhibra::plots::testing {

class chart_recorder : public support::recording_frontend {
 public:
  void show_plot(const plotengine::pplot& plot) override { record(plot, "plot"); }
  int show_plot_async(const plotengine::pplot& plot) override {
    record(plot, "open");
    return static_cast<int>(charts.size());
  }
  void close_plot(int handle) override { events.push_back("close " + std::to_string(handle)); }
  void idle(int milliseconds) override { events.push_back("idle " + std::to_string(milliseconds)); }
  void refresh() override { events.emplace_back("refresh"); }

  std::vector<plotengine::pplot> charts;
  std::vector<std::string> events;

 private:
  void record(const plotengine::pplot& plot, const char* event) {
    charts.push_back(plot);
    events.emplace_back(event);
  }
};

}  // namespace inhibra::plots::testing
