#pragma once
// The files one inhibra-fit call will write, settled before any fitting: every
// input's results file (and, with --plots, the names of its plot files) must be its
// own. An input whose results file is the results file of an earlier input, or the
// data file of another input, is refused, and so is one whose plot names would be
// those of an earlier input or whose plot file would replace an input's data file.
// An input whose files cannot be written where they belong is refused too, before
// anything is fitted.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/model_list.hpp"

namespace inhibra::cli {

// Where plot files go, how they are named and drawn: <dir>/<stem>-model07-xy.png for
// the plot of each fit, <dir>/<stem>-best-xy.png (-residuals, -kmapp, -mc50,
// -lineweaver-burk, -dixon) for the best model. Empty dir: no plot files.
struct plot_output {
  std::string dir;
  std::string format = "png";
  double width_inches = 0.0;         // 0: 800 x 600 pixels at 96 dpi
  double height_inches = 0.0;        // 0: three quarters of the width
  int dpi = 96;                      // pixels per inch (PNG, BMP) and the layout's resolution
  std::string concentration_unit{};  // on the axes and the legend; empty: none
  std::string rate_unit{};
  bool residuals_against_rate = false;  // the residual plot's x axis: fitted rate, not [S]
  // The rate plot shows replicates as their mean and SD, not a dot each.
  bool mean_sd = false;
};

// The picture's size in pixels at plots.dpi: 800 x 600 without a width.
struct picture_pixels {
  int width = 800;
  int height = 600;
};
[[nodiscard]] picture_pixels picture_size(const plot_output& plots);

// "<dir>/<stem>-<what>.<format>".
[[nodiscard]] std::string plot_file_name(const plot_output& plots, const std::string& stem,
                                         std::string_view what);

// "model07-xy": what the plot of model 7's fit is called.
[[nodiscard]] std::string model_plot_kind(int model);

// What may be drawn for an input: "model07-xy" for each selected model, then
// "best-xy", "best-residuals", "best-kmapp", "best-mc50", "best-lineweaver-burk" and
// "best-dixon".
[[nodiscard]] std::vector<std::string> plot_kinds(const model_selection& models);

struct planned_input {
  std::string data_name;     // the data file name, normalised
  std::string results_name;  // its results file
  std::string plot_stem;     // plot files are <plot_stem>-<what>.<format>; empty without plots
  std::vector<std::string> plot_files;  // every plot file the input may write
  std::string refusal;                  // why the input is not fitted; empty when it is
};

// Turns a folder name ("" for the current folder) into the folder it reaches, so that
// two spellings of one folder compare equal.
using folder_resolver = std::function<std::string(const std::string& folder)>;

// The folder as the file system reaches it: absolute, with links resolved as far as
// the folders exist.
[[nodiscard]] std::string folder_on_disk(const std::string& folder);

// The name as `resolve` reaches it: its resolved folder and its last component.
[[nodiscard]] std::string resolved_name(const std::string& name, const folder_resolver& resolve);

// The plan for `files` (names as given), with plot files of the selected `models`
// when plots.dir is set. Plot stems are the data file's stem, with the name of its
// folder in front ("a-Data") when two inputs share a stem.
[[nodiscard]] std::vector<planned_input> plan_outputs(const std::vector<std::string>& files,
                                                      const plot_output& plots,
                                                      const model_selection& models,
                                                      const folder_resolver& resolve);

// Why a file cannot be written at a name ("" when it can): data::write_refusal on disk.
using write_check = std::function<std::string(const std::string& name)>;

// Refuses each input not yet refused whose results file or one of whose plot files
// `check` refuses; the refusal names the file, the folder and the reason.
void refuse_unwritable(std::vector<planned_input>& plan, const write_check& check);

// The data, results or plot file of the plan that a file written at `name` would
// replace, if any (for --json FILE).
[[nodiscard]] std::optional<std::string> replaced_input(const std::string& name,
                                                        const std::vector<planned_input>& plan,
                                                        const folder_resolver& resolve);

}  // namespace inhibra::cli
