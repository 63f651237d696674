#pragma once
// Runs the built inhibra-fit as a separate process and collects what it printed.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.hpp"

namespace inhibra::cli {

struct process_result {
  int status = -1;
  std::string out;
  std::string err;
};

// A fixed report date, so that results files can be compared byte for byte.
inline constexpr const char* fixed_date = "SOURCE_DATE_EPOCH=1700000000";

// Runs `inhibra-fit args` through the shell; `setup` comes first (variables,
// "ulimit -f 8;"). Standard output and error are kept outside `dir`, so that the
// folder holds only what the run wrote.
inline process_result run_fit(const std::string& args, const support::temp_dir& dir,
                              const std::string& setup = fixed_date) {
  const support::temp_dir streams;
  const std::string out_file = streams.file("stdout.txt");
  const std::string err_file = streams.file("stderr.txt");
  const std::string command = "cd \"" + dir.path().string() + "\" && " + setup + " \"" +
                              INHIBRA_FIT_EXE + "\" " + args + " >\"" + out_file + "\" 2>\"" +
                              err_file + "\" </dev/null";
  const int raw = std::system(command.c_str());
  process_result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = support::read_file(out_file);
  r.err = support::read_file(err_file);
  return r;
}

inline std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

}  // namespace inhibra::cli
