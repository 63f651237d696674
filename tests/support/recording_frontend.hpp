#pragma once
// A front end that keeps every call, for assertions.
#include <string>
#include <vector>

#include "core/frontend.hpp"

namespace inhibra::support {

struct recorded_box {
  core::box_kind kind;
  std::string text;
};

class recording_frontend : public core::frontend {
 public:
  void message(core::box_kind kind, std::string_view text) override {
    boxes.push_back({kind, std::string(text)});
  }
  void set_title(std::string_view text) override { titles.emplace_back(text); }
  void idle(int milliseconds) override { idles.push_back(milliseconds); }
  void refresh() override {}
  void show_plot(const plotengine::pplot& plot) override { plots.push_back(&plot); }

  // The texts of the boxes, in order, for compact assertions.
  [[nodiscard]] std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes)
      out.push_back(b.text);
    return out;
  }

  std::vector<recorded_box> boxes;
  std::vector<std::string> titles;
  std::vector<int> idles;
  std::vector<const plotengine::pplot*> plots;  // valid only during the call
};

}  // namespace inhibra::support
