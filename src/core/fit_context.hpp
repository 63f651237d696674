#pragma once
// One data file being fitted: its rows, the person's settings for the run, the
// working state of the model being fitted and what the run leaves for the plots,
// each part a type of its own with one writer (see each header), plus the seams to
// the person watching and to a stop asked from outside. A stage that needs only
// some parts takes those, `const` where it only reads them; the whole context goes
// where a stage really spans the parts. One context per data file: two contexts in
// two threads fit two files at once.
#include <atomic>
#include <string_view>

#include "core/frontend.hpp"
#include "core/model_state.hpp"
#include "core/observations.hpp"
#include "core/run_results.hpp"
#include "core/run_settings.hpp"

namespace inhibra::core {

struct fit_context : observations, run_settings, model_state, run_results {
  // The person watching; null means nobody (messages are dropped).
  frontend* fe = nullptr;

  // A stop asked from outside the run (a signal, a closing window). When it points
  // at a value other than 0, the run ends before its next model and leaves no
  // results file; null: never.
  const std::atomic<int>* stop = nullptr;
};

// Shows a box through the context's front end, if it has one.
inline void show_message(const fit_context& ctx, box_kind kind, std::string_view text) {
  if (ctx.fe != nullptr) ctx.fe->message(kind, text);
}

}  // namespace inhibra::core
