// The headless front end writes every message and console line to the error stream,
// whole lines only, each naming its file when a label is set.
#include "cli/cli_frontend.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <sstream>

namespace inhibra::cli {
namespace {

TEST(CliFrontend, ConsoleLinesAreLabelledAndAnUnfinishedLastLineIsKept) {
  std::ostringstream err;
  std::mutex lock;
  {
    cli_frontend fe(err, lock);
    fe.set_file_label("a.in");
    fe.console() << " -\n\nFILE_COLUMN_COUNT - Warning.\n";
    fe.message(core::box_kind::warning, "first\r\nsecond");
    fe.console() << "no newline";
    EXPECT_EQ(
        err.str(),
        "a.in:  -\na.in: \na.in: FILE_COLUMN_COUNT - Warning.\nWarning: a.in: first\nsecond\n");
  }
  EXPECT_TRUE(err.str().ends_with("second\na.in: no newline\n")) << err.str();
  // Without a label console lines pass unchanged.
  err.str("");
  cli_frontend fe(err, lock);
  fe.console() << " -\nFILE_COLUMN_COUNT - Warning.\n";
  EXPECT_EQ(err.str(), " -\nFILE_COLUMN_COUNT - Warning.\n");
}

}  // namespace
}  // namespace inhibra::cli
