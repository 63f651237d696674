#pragma once
// inhibra-fit --check: read and check data files without fitting or writing.
#include <ostream>
#include <string>
#include <vector>

#include "core/frontend.hpp"

namespace inhibra::cli {

// Checks one file with the messages and status of a run that stops on it; on
// success prints "FILE: rows=N curves=K per-curve=n1,n2,... columns=C" to `out`.
// Returns the run status.
int check_file(const std::string& file, core::frontend& fe, std::ostream& out);

}  // namespace inhibra::cli
