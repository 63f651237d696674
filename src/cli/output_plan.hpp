#pragma once
// The files one inhibra-fit call will write, settled before any fitting: every
// input's results file (and, with --plots, the names of its plot files) must be its
// own. An input whose results file is the results file of an earlier input, or the
// data file of another input, is refused, and so is one whose plot names would be
// those of an earlier input.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace inhibra::cli {

struct planned_input {
  std::string data_name;     // the data file name, normalised
  std::string results_name;  // its results file
  std::string plot_stem;     // plot files are <plot_stem>-<what>.<format>; empty without plots
  std::string refusal;       // why the input is not fitted; empty when it is
};

// Turns a folder name ("" for the current folder) into the folder it reaches, so that
// two spellings of one folder compare equal.
using folder_resolver = std::function<std::string(const std::string& folder)>;

// The folder as the file system reaches it: absolute, with links resolved as far as
// the folders exist.
[[nodiscard]] std::string folder_on_disk(const std::string& folder);

// The name as `resolve` reaches it: its resolved folder and its last component.
[[nodiscard]] std::string resolved_name(const std::string& name, const folder_resolver& resolve);

// The plan for `files` (names as given). Plot stems are the data file's stem, with
// the name of its folder in front ("a-Data") when two inputs share a stem.
[[nodiscard]] std::vector<planned_input> plan_outputs(const std::vector<std::string>& files,
                                                      bool plots, const folder_resolver& resolve);

// The data or results file of the plan that a file written at `name` would replace,
// if any (for --json FILE).
[[nodiscard]] std::optional<std::string> replaced_input(const std::string& name,
                                                        const std::vector<planned_input>& plan,
                                                        const folder_resolver& resolve);

}  // namespace inhibra::cli
