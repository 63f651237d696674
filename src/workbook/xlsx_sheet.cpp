#include "workbook/xlsx_sheet.hpp"

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <zip.h>
#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include "strings/text.hpp"

namespace inhibra::workbook {

namespace {

// Parts larger than this are refused before they are read: a sheet of data for at
// most 1000 rates is a small fraction of it.
constexpr zip_uint64_t max_part_bytes = 64ull * 1024 * 1024;
// The sheet's rows and columns kept; cells beyond are refused.
constexpr int max_sheet_rows = 100000;
constexpr int max_sheet_columns = 16384;  // XFD, the last column a sheet can have
// Cells held in all (the rows are as wide as their last value): bounds the memory a
// sheet with a value far to the right of many rows could take.
constexpr std::size_t max_held_cells = 2'000'000;

struct archive_closer {
  void operator()(zip_t* z) const { zip_discard(z); }
};
using archive = std::unique_ptr<zip_t, archive_closer>;

struct entry_closer {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

enum class part_fault { none, missing, too_large, unreadable };

struct part {
  QByteArray bytes;
  part_fault fault = part_fault::none;
};

// The bytes of one part of the archive.
part read_part(zip_t* z, const std::string& name) {
  part out;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat(z, name.c_str(), 0, &st) != 0 || (st.valid & ZIP_STAT_SIZE) == 0) {
    out.fault = part_fault::missing;
    return out;
  }
  if (st.size > max_part_bytes) {
    out.fault = part_fault::too_large;
    return out;
  }
  const std::unique_ptr<zip_file_t, entry_closer> file(zip_fopen(z, name.c_str(), 0));
  if (!file) {
    out.fault = part_fault::unreadable;
    return out;
  }
  out.bytes.resize(static_cast<qsizetype>(st.size));
  zip_uint64_t done = 0;
  while (done < st.size) {
    const zip_int64_t n = zip_fread(file.get(), out.bytes.data() + done, st.size - done);
    if (n <= 0) {
      out.fault = part_fault::unreadable;
      return out;
    }
    done += static_cast<zip_uint64_t>(n);
  }
  return out;
}

std::string text_of(const QString& s) {
  return s.toStdString();
}

// The sheets of the workbook in their order: name and relationship id.
struct sheet_entry {
  std::string name;
  std::string relation;
};

std::vector<sheet_entry> sheets_of(const QByteArray& workbook, bool& damaged) {
  std::vector<sheet_entry> sheets;
  QXmlStreamReader xml(workbook);
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
      sheet_entry e;
      e.name = text_of(xml.attributes().value(QLatin1String("name")).toString());
      for (const auto& a : xml.attributes()) {
        if (a.name() == QLatin1String("id")) e.relation = text_of(a.value().toString());
      }
      sheets.push_back(std::move(e));
    }
  }
  damaged = xml.hasError();
  return sheets;
}

// Relationship id -> the part it names, as a path inside the archive.
std::map<std::string, std::string> relations_of(const QByteArray& rels, bool& damaged) {
  std::map<std::string, std::string> targets;
  QXmlStreamReader xml(rels);
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("Relationship")) {
      std::string target = text_of(xml.attributes().value(QLatin1String("Target")).toString());
      // Targets are relative to xl/ unless they start at the archive's root.
      target = target.starts_with('/') ? target.substr(1) : "xl/" + target;
      targets[text_of(xml.attributes().value(QLatin1String("Id")).toString())] = target;
    }
  }
  damaged = xml.hasError();
  return targets;
}

// The text of the element the reader is on (an <si> or <is>): its <t> pieces joined,
// without the phonetic guides (<rPh>) of East Asian text.
std::string rich_text(QXmlStreamReader& xml) {
  QString text;
  const QString end = xml.name().toString();
  int phonetic = 0;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      if (xml.name() == QLatin1String("rPh")) ++phonetic;
      if (xml.name() == QLatin1String("t") && phonetic == 0) text += xml.readElementText();
    } else if (xml.isEndElement()) {
      if (xml.name() == QLatin1String("rPh")) --phonetic;
      if (xml.name() == end) break;
    }
  }
  return text_of(text);
}

std::vector<std::string> shared_strings_of(const QByteArray& bytes, bool& damaged) {
  std::vector<std::string> strings;
  QXmlStreamReader xml(bytes);
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("si"))
      strings.push_back(rich_text(xml));
  }
  damaged = xml.hasError();
  return strings;
}

// "B12" -> row 12, column 2; nullopt for anything else.
struct cell_place {
  int row = 0;
  int column = 0;
};
std::optional<cell_place> place_of(const std::string& ref) {
  cell_place p;
  std::size_t k = 0;
  for (; k < ref.size() && ref[k] >= 'A' && ref[k] <= 'Z'; ++k) {
    p.column = p.column * 26 + (ref[k] - 'A' + 1);
    if (p.column > max_sheet_columns) return std::nullopt;
  }
  if (k == 0 || k == ref.size()) return std::nullopt;
  for (; k < ref.size(); ++k) {
    if (ref[k] < '0' || ref[k] > '9') return std::nullopt;
    p.row = p.row * 10 + (ref[k] - '0');
    if (p.row > 1048576) return std::nullopt;
  }
  if (p.row == 0) return std::nullopt;
  return p;
}

std::string sheet_list(const std::vector<sheet_entry>& sheets) {
  std::string list;
  for (const auto& s : sheets)
    list += (list.empty() ? "\"" : ", \"") + strings::printable(s.name) + "\"";
  return list;
}

// The value of the cell element the reader is on: <v> for numbers, shared strings,
// formulas' results; <is> for inline strings. Nothing when the cell has neither.
std::optional<std::string> cell_value(QXmlStreamReader& xml) {
  std::optional<std::string> value;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isEndElement() && xml.name() == QLatin1String("c")) break;
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("v")) {
      value = text_of(xml.readElementText());
    } else if (xml.name() == QLatin1String("is")) {
      value = rich_text(xml);
    }
  }
  return value;
}

// The steps of reading one sheet share the archive, the file's name as a message
// shows it and the result being built; a step that fails leaves its message in
// out.error (and no rows) and returns false or nothing.
struct sheet_reader {
  core::sheet_cells& out;
  const std::string& shown;
  zip_t* z;

  [[nodiscard]] std::string part_error(const std::string& name, part_fault fault) const {
    return shown + ": the workbook part " + name +
           (fault == part_fault::missing     ? " is missing: the file is not an .xlsx workbook"
            : fault == part_fault::too_large ? " is too large to hold data for a fit"
                                             : " cannot be read: the workbook is damaged");
  }

  [[nodiscard]] std::string damaged(const std::string& name) const {
    return shown + ": the workbook part " + name + " is not well-formed XML";
  }

  // The part that holds the sheet named `sheet` (the first sheet when empty); sets
  // out.sheet to the sheet's name.
  std::optional<std::string> sheet_part_name(const std::string& sheet);

  // The workbook's shared strings (none when it has no such part).
  bool read_shared_strings(std::vector<std::string>& shared);

  bool refuse(std::string message) {
    out.error = std::move(message);
    out.rows.clear();
    return false;
  }

  // Puts `value` into its cell `at`; `held` counts the cells held in out.rows.
  bool store(const cell_place& at, std::string value, std::size_t& held);

  // The cells of the sheet's part `target` into out.rows.
  void read_cells(const std::string& target, const std::vector<std::string>& shared);
};

std::optional<std::string> sheet_reader::sheet_part_name(const std::string& sheet) {
  const part workbook = read_part(z, "xl/workbook.xml");
  if (workbook.fault != part_fault::none) {
    out.error = part_error("xl/workbook.xml", workbook.fault);
    return std::nullopt;
  }
  bool bad = false;
  const auto sheets = sheets_of(workbook.bytes, bad);
  if (bad) {
    out.error = damaged("xl/workbook.xml");
    return std::nullopt;
  }
  if (sheets.empty()) {
    out.error = shown + ": the workbook has no sheets";
    return std::nullopt;
  }
  const sheet_entry* chosen = &sheets.front();
  if (!sheet.empty()) {
    chosen = nullptr;
    for (const auto& s : sheets) {
      if (s.name == sheet) chosen = &s;
    }
    if (chosen == nullptr) {
      out.error = shown + " has no sheet named \"" + strings::printable(sheet) +
                  "\"; its sheets are " + sheet_list(sheets);
      return std::nullopt;
    }
  }
  out.sheet = chosen->name;

  const part rels = read_part(z, "xl/_rels/workbook.xml.rels");
  if (rels.fault != part_fault::none) {
    out.error = part_error("xl/_rels/workbook.xml.rels", rels.fault);
    return std::nullopt;
  }
  const auto targets = relations_of(rels.bytes, bad);
  if (bad) {
    out.error = damaged("xl/_rels/workbook.xml.rels");
    return std::nullopt;
  }
  const auto target = targets.find(chosen->relation);
  if (target == targets.end()) {
    out.error = shown + ": the sheet \"" + strings::printable(chosen->name) +
                "\" names no part of the workbook";
    return std::nullopt;
  }
  return target->second;
}

bool sheet_reader::read_shared_strings(std::vector<std::string>& shared) {
  bool bad = false;
  const part strings_part = read_part(z, "xl/sharedStrings.xml");
  if (strings_part.fault == part_fault::none) {
    shared = shared_strings_of(strings_part.bytes, bad);
    if (bad) {
      out.error = damaged("xl/sharedStrings.xml");
      return false;
    }
  } else if (strings_part.fault != part_fault::missing) {
    out.error = part_error("xl/sharedStrings.xml", strings_part.fault);
    return false;
  }
  return true;
}

bool sheet_reader::store(const cell_place& at, std::string value, std::size_t& held) {
  if (at.row > max_sheet_rows) {
    return refuse(shown + ": the sheet holds values below row " +
                  strings::int_text(max_sheet_rows) + ", more than data for a fit can need");
  }
  auto& cells_row = out.rows.size() < static_cast<std::size_t>(at.row)
                        ? (out.rows.resize(static_cast<std::size_t>(at.row)), out.rows.back())
                        : out.rows[static_cast<std::size_t>(at.row - 1)];
  if (cells_row.size() < static_cast<std::size_t>(at.column)) {
    held += static_cast<std::size_t>(at.column) - cells_row.size();
    if (held > max_held_cells) {
      return refuse(shown + ": the sheet holds more cells than data for a fit can need");
    }
    cells_row.resize(static_cast<std::size_t>(at.column));
  }
  cells_row[static_cast<std::size_t>(at.column - 1)] = std::move(value);
  return true;
}

void sheet_reader::read_cells(const std::string& target, const std::vector<std::string>& shared) {
  const part sheet_part = read_part(z, target);
  if (sheet_part.fault != part_fault::none) {
    out.error = part_error(target, sheet_part.fault);
    return;
  }
  QXmlStreamReader xml(sheet_part.bytes);
  std::size_t held = 0;  // cells held in out.rows
  int row = 0;           // the row being read (1-based)
  int column = 0;        // the last cell's column in it
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("row")) {
      const auto r = xml.attributes().value(QLatin1String("r"));
      row = r.isEmpty() ? row + 1 : r.toInt();
      column = 0;
      continue;
    }
    if (xml.name() != QLatin1String("c")) continue;
    const std::string ref = text_of(xml.attributes().value(QLatin1String("r")).toString());
    const std::string type = text_of(xml.attributes().value(QLatin1String("t")).toString());
    cell_place at{row, column + 1};
    if (!ref.empty()) {
      const auto p = place_of(ref);
      if (!p) {
        refuse(shown + ": the sheet names a cell \"" + strings::printable(ref) +
               "\" that is not a cell of a sheet");
        return;
      }
      at = *p;
    }
    row = at.row;
    column = at.column;
    if (at.row < 1 || at.column < 1 || at.column > max_sheet_columns) {
      refuse(shown + ": a cell of the sheet lies outside it");
      return;
    }
    std::optional<std::string> value = cell_value(xml);
    if (!value) continue;
    if (type == "s") {
      bool ok = false;
      const auto index = QString::fromStdString(*value).toLongLong(&ok);
      if (!ok || index < 0 || static_cast<std::size_t>(index) >= shared.size()) {
        refuse(shown + ": the cell " + strings::printable(ref) +
               " names a shared string the workbook does not hold");
        return;
      }
      value = shared[static_cast<std::size_t>(index)];
    } else if (type == "b") {
      value = *value == "1" ? "TRUE" : "FALSE";
    }
    if (value->empty()) continue;
    if (!store(at, std::move(*value), held)) return;
  }
  if (xml.hasError()) {
    out.error = damaged(target);
    out.rows.clear();
  }
}

}  // namespace

core::sheet_cells read_xlsx_sheet(const std::string& file, const std::string& sheet) {
  core::sheet_cells out;
  const std::string shown = strings::printable(file);
  int error_code = 0;
  const archive z(zip_open(file.c_str(), ZIP_RDONLY, &error_code));
  if (!z) {
    out.error = shown + " is not an .xlsx workbook (it cannot be opened as a zip archive)";
    return out;
  }
  sheet_reader reader{out, shown, z.get()};
  const std::optional<std::string> target = reader.sheet_part_name(sheet);
  if (!target) return out;
  std::vector<std::string> shared;
  if (!reader.read_shared_strings(shared)) return out;
  reader.read_cells(*target, shared);
  return out;
}

}  // namespace inhibra::workbook
