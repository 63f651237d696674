#pragma once
// inhibra-fit's data-table options: how tables are to be read, what --check tells
// of a table it read, and --convert, which writes a table in the native format.
#include <optional>
#include <ostream>
#include <string>

#include "cli/options.hpp"
#include "core/fit_context.hpp"
#include "core/table_request.hpp"
#include "data/data_file.hpp"

namespace inhibra::cli {

// The table request of the command line (--table, --columns, --layout, --sheet), with
// the workbook reader this program has. False with the message in `error` when
// --columns is not understood.
[[nodiscard]] bool table_request_of(const options& opt, core::table_request& out,
                                    std::string& error);

// Why the table options of the command line cannot stand, or nothing. --columns and
// --layout say how a table is read, so a file read in the native format (a name
// without a table's ending, no --table) would silently leave them out; --sheet is
// left out by any file that is not a workbook. A person who gives them means them:
// a call that would drop one for some file is refused before anything is read, and
// the message says to add --table or fit that file in another call.
[[nodiscard]] std::optional<std::string> unused_table_options(const options& opt);

// What a table held and how it was read, for --check: lines indented by two blanks
// (layout and separator, columns, units, curves, replicates, empty cells). `ctx`
// holds the observations as read.
[[nodiscard]] std::string table_lines(const data::data_read& read, const core::observations& ctx);

// The native data file of the observations in `ctx`: one row a line ([S], [I] and
// the rate, each written so that it reads back as the same number), then note lines
// naming the table it came from and the units of its header row.
[[nodiscard]] std::string native_text(const core::observations& ctx, const data::axis_units& units,
                                      const std::string& source);

// --convert: reads opt.convert as a table and writes it to opt.output (or the
// table's name ending in .in) whole or not at all; an existing file is left as it
// is. Messages go to `err`. Returns the exit status.
[[nodiscard]] int convert_table(const options& opt, const core::table_request& request,
                                std::ostream& err);

}  // namespace inhibra::cli
