#pragma once
// Writes small .xlsx workbooks for the tests: the parts a workbook needs (content
// types, the workbook and its relationships), one part per sheet and, when given,
// the shared strings.
#include <zip.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace inhibra::workbook {

struct test_sheet {
  std::string name;
  std::string xml;  // the <sheetData> element's content
};

inline std::string sheet_part(const std::string& rows) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<sheetData>" +
         rows + "</sheetData></worksheet>";
}

// Writes `parts` (name, content) into a zip archive at `path`.
inline void write_archive(const std::string& path,
                          const std::vector<std::pair<std::string, std::string>>& parts) {
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (z == nullptr) throw std::runtime_error("cannot create " + path);
  for (const auto& [name, content] : parts) {
    zip_source_t* source = zip_source_buffer(z, content.data(), content.size(), 0);
    if (source == nullptr || zip_file_add(z, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(source);
      zip_discard(z);
      throw std::runtime_error("cannot add " + name);
    }
  }
  if (zip_close(z) != 0) {
    zip_discard(z);
    throw std::runtime_error("cannot write " + path);
  }
}

// A workbook of `sheets` in their order; `shared` is the <sst> content, none when empty.
inline void write_workbook(const std::string& path, const std::vector<test_sheet>& sheets,
                           const std::string& shared = "") {
  std::string book =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>";
  std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  std::vector<std::pair<std::string, std::string>> parts;
  for (std::size_t k = 0; k < sheets.size(); ++k) {
    const std::string n = std::to_string(k + 1);
    book += "<sheet name=\"" + sheets[k].name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "worksheet\" Target=\"worksheets/sheet" +
            n + ".xml\"/>";
    parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheet_part(sheets[k].xml));
  }
  book += "</sheets></workbook>";
  rels += "</Relationships>";
  parts.emplace_back("[Content_Types].xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Types "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>");
  parts.emplace_back("xl/workbook.xml", book);
  parts.emplace_back("xl/_rels/workbook.xml.rels", rels);
  if (!shared.empty()) {
    parts.emplace_back("xl/sharedStrings.xml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sst "
                       "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                           shared + "</sst>");
  }
  write_archive(path, parts);
}

}  // namespace inhibra::workbook
