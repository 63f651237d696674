#pragma once
// What the desktop program remembers between sessions, kept with QSettings: plain
// keys with text, whole-number and text-list values. The store is the person's own
// settings of the program, or a named INI file (tests use a temporary one, so they
// never read or change the person's settings).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QSettings;

namespace inhibra::toolkit {

class settings_file {
 public:
  // The person's settings of the program (organisation and program "Inhibra").
  settings_file();
  // The INI file at `path`, created when something is stored.
  explicit settings_file(const std::string& path);
  ~settings_file();
  settings_file(const settings_file&) = delete;
  settings_file& operator=(const settings_file&) = delete;

  [[nodiscard]] bool contains(std::string_view key) const;
  [[nodiscard]] std::string text(std::string_view key, std::string_view fallback = {}) const;
  [[nodiscard]] int number(std::string_view key, int fallback) const;
  [[nodiscard]] std::vector<std::string> texts(std::string_view key) const;

  void set_text(std::string_view key, std::string_view value);
  void set_number(std::string_view key, int value);
  void set_texts(std::string_view key, const std::vector<std::string>& values);

  // Writes what was stored to disk now (it is also written when the object ends).
  void sync();

 private:
  std::unique_ptr<QSettings> store_;
};

}  // namespace inhibra::toolkit
