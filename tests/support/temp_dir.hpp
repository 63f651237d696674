#pragma once
// A fresh folder per test, removed afterwards, with a helper to write files into it.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

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

// Copies the source tree's examples/<example> into the folder as `name` (the
// example of that name unless another is given) and returns its path.
inline std::string copy_example(const temp_dir& dir, const std::string& name,
                                const std::string& example = "") {
  const std::string path = dir.file(name);
  std::filesystem::copy_file(
      std::string(INHIBRA_SOURCE_DIR) + "/examples/" + (example.empty() ? name : example), path);
  return path;
}

// Everything in a folder, hidden files included, by relative path: the bytes of each
// regular file, the target of each link, "<folder>" or "<other>" for the rest. Two
// snapshots compare equal when nothing was written, renamed or left behind.
inline std::map<std::string, std::string> snapshot(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const auto name = entry.path().lexically_relative(folder).string();
    const auto status = entry.symlink_status();
    if (fs::is_symlink(status)) {
      out[name] = "<link to " + fs::read_symlink(entry.path()).string() + ">";
    } else if (fs::is_regular_file(status)) {
      out[name] = read_file(entry.path().string());
    } else {
      out[name] = fs::is_directory(status) ? "<folder>" : "<other>";
    }
  }
  return out;
}

// The names in a folder (hidden ones included), sorted.
inline std::vector<std::string> file_names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace inhibra::support
