#pragma once
// Outcome of a run, as the desktop program and inhibra-fit report it.

namespace inhibra::core {

enum class run_status : int {
  success = 0,
  file_not_found = 1,   // the data file does not exist
  file_not_opened = 2,  // the data file or the results file could not be opened
  file_rejected = 3,    // rows, columns, curve sizes or curve count out of limits
  // The run needs another model: the desktop answers with the model library, as it
  // does for 5 and 6. This driver never returns it; the desktop keeps its answer.
  see_model_library = 4,
  too_many_parameters = 5,  // too many parameters or too few data points for a model
  model_not_usable = 6,     // the model cannot be used with the file's columns
  // The data file is not laid out as the program reads it: the desktop answers with
  // the example data file. This driver never returns it; the desktop keeps its answer.
  see_example_file = 7,
  model_undefined = 99,  // a model check refused the column count or the model number
  interrupted = 128,     // a stop was asked for; the run ended between two models and
                         // its results file was not written
};

[[nodiscard]] constexpr int code(run_status s) {
  return static_cast<int>(s);
}

}  // namespace inhibra::core
