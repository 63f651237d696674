#pragma once
// A fresh folder per test, removed afterwards, with a helper to write files into it.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace inhibra::support {

class temp_dir {
 public:
  temp_dir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("inhibra-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~temp_dir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::string file(std::string_view name) const { return (path_ / name).string(); }

  // Writes `content` byte for byte and returns the file's path.
  std::string write(std::string_view name, std::string_view content) const {
    const auto p = file(name);
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }

 private:
  std::filesystem::path path_;
};

// Reads a whole file byte for byte.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace inhibra::support
