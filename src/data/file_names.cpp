#include "data/file_names.hpp"

#include <filesystem>
#include <system_error>

#include "strings/text.hpp"

namespace inhibra::data {

namespace {

// Start of the last path component.
std::size_t last_component(std::string_view name) {
  const auto slash = name.find_last_of('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

split_name split_folder(std::string_view name) {
  const std::size_t start = last_component(name);
  return {std::string(name.substr(0, start)), std::string(name.substr(start))};
}

std::string normalise_data_name(std::string_view raw) {
  const std::string_view name = strings::trim(strings::adjustl(raw));
  const std::size_t start = last_component(name);
  const std::string_view leaf = name.substr(start);
  if (leaf.find('.') != std::string_view::npos) return std::string(name);
  return std::string(name.substr(0, start)) + strings::delete_blanks(leaf) + ".in";
}

std::string data_file_name(std::string_view raw) {
  const std::string as_given(strings::trim_both(raw));
  std::error_code ec;
  const auto status = std::filesystem::status(as_given, ec);
  if (!as_given.empty() && std::filesystem::exists(status) &&
      !std::filesystem::is_directory(status)) {
    return as_given;
  }
  return normalise_data_name(raw);
}

namespace {

// The last component's extension after its last ".", in capitals; empty for none.
std::string extension(std::string_view name) {
  const std::string_view leaf = name.substr(last_component(name));
  const auto dot = leaf.find_last_of('.');
  return dot == std::string_view::npos ? std::string() : strings::to_upper(leaf.substr(dot + 1));
}

}  // namespace

bool is_table_name(std::string_view data_name) {
  const std::string ext = extension(data_name);
  return ext == "CSV" || ext == "TSV" || ext == "TAB" || ext == "XLSX";
}

bool is_workbook_name(std::string_view data_name) {
  return extension(data_name) == "XLSX";
}

std::string results_name(std::string_view data_name) {
  const std::size_t start = last_component(data_name);
  const auto dot = data_name.find_last_of('.');
  if (dot == std::string_view::npos || dot < start) return std::string(data_name) + ".out";
  return std::string(data_name.substr(0, dot + 1)) + "out";
}

}  // namespace inhibra::data
