#pragma once
// What the Import Table dialog shows of a data table, and what it gives back: the
// first rows of the file, the reading offered (the one chosen last time for the same
// header row, else the one worked out from the table), a description of any reading
// (its curves, their [I] and rows, the units, or the reader's message), and the
// table request a confirmed reading becomes. The readings chosen are remembered per
// header row, as "<reading>\t<header row>" texts, most recent first.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/table_request.hpp"
#include "data/data_file.hpp"
#include "toolkit/import_table_dialog.hpp"

namespace inhibra::shell {

// Rows of the file the dialog shows, and readings remembered at most.
inline constexpr std::size_t import_preview_rows = 10;
inline constexpr std::size_t remembered_readings = 20;
// The settings key of the remembered readings.
inline constexpr std::string_view readings_key = "import/readings";

// The text a header row is known by: its cells joined by " | "; empty when the first
// row holds nothing but numbers (a table without a header row has nothing to be
// known by).
[[nodiscard]] std::string header_key(const std::vector<data::table_row>& rows);

// A reading as text, "wide" or "long S=2,I=1,v=4", and back; nullopt for any other text.
[[nodiscard]] std::string reading_text(const toolkit::import_mapping& m);
[[nodiscard]] std::optional<toolkit::import_mapping> reading_of(std::string_view text);

// The reading remembered for the header row `key`, if any.
[[nodiscard]] std::optional<toolkit::import_mapping> remembered_reading(
    const std::vector<std::string>& kept, std::string_view key);
// `kept` with the reading of `key` in front (an earlier one for the same key goes),
// cut to remembered_readings entries. An empty key changes nothing.
[[nodiscard]] std::vector<std::string> with_reading(std::vector<std::string> kept,
                                                    std::string_view key,
                                                    const toolkit::import_mapping& m);

// The request that reads a file as a table with the reading `m`, whatever its name.
[[nodiscard]] core::table_request request_for(const toolkit::import_mapping& m);

// What reading `cells` with `m` gives, held to the limits of a run (rates, curves,
// rates per curve), so that a reading the dialog accepts is one a run can fit.
[[nodiscard]] toolkit::import_outcome describe_reading(const data::table_cells& cells,
                                                       const toolkit::import_mapping& m);

// The dialog's view of the table file `file` cut into `cells`, offering the reading
// remembered in `kept` for its header row, else the one worked out from the table.
[[nodiscard]] toolkit::import_table_view import_view(
    const std::string& file, const std::shared_ptr<const data::table_cells>& cells,
    const std::vector<std::string>& kept);

}  // namespace inhibra::shell
