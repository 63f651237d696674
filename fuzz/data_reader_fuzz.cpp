// Arbitrary bytes as a data file. The reader must end in order (the data accepted,
// or refused with its message), and what it accepts must be what the file says:
// within the limits, every value finite and equal to the number written (three
// comma-separated fields, or the first three blank-separated words), no row that
// holds a control byte, a decimal comma or a fourth comma field.
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numeric>
#include <regex>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "data/data_file.hpp"

namespace {

using namespace inhibra;

// Every box must say something.
struct checking_frontend : core::frontend {
  void message(core::box_kind, std::string_view text) override {
    if (text.empty()) std::abort();
  }
  void set_title(std::string_view) override {}
  void idle(int) override {}
  void refresh() override {}
  void show_plot(const plotengine::pplot&) override {}
};

// The data file lives in memory (a memfd, reached through a link in a private
// folder), so that a run costs no disk writes; the folder goes when the fuzzer ends.
std::string folder;
int memory_file = -1;

void remove_folder() {
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

const std::string& data_path() {
  static const std::string path = [] {
    folder = (std::filesystem::temp_directory_path() / "inhibra-fuzz-XXXXXX").string();
    memory_file = memfd_create("case.in", MFD_CLOEXEC);
    if (mkdtemp(folder.data()) == nullptr || memory_file < 0) std::abort();
    std::atexit(remove_folder);
    std::filesystem::create_symlink("/proc/self/fd/" + std::to_string(memory_file),
                                    folder + "/case.in");
    return folder + "/case.in";
  }();
  return path;
}

void write_case(const std::string& text) {
  (void)data_path();  // sets the file up on first use
  if (ftruncate(memory_file, 0) != 0 ||
      pwrite(memory_file, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    std::abort();
  }
}

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

// Lines end at a line feed, or, in a file without one, at a carriage return.
std::vector<std::string> lines_of(std::string text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  const char end =
      text.find('\n') == std::string::npos && text.find('\r') != std::string::npos ? '\r' : '\n';
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line, end);)
    lines.push_back(line);
  return lines;
}

// What may follow a row's values after a comma: more commas and blanks, then nothing
// or a note.
bool closing_commas(const std::string& rest) {
  // [\s\S]: a note may hold a CR, which "." does not match.
  static const std::regex closing("^[ \t\r]*,[, \t\r]*([#!'\"][\\s\\S]*)?$");
  return std::regex_match(rest, closing);
}

// The value a plain row's word stands for, read independently of the reader.
double plain_value(std::string word) {
  std::replace(word.begin(), word.end(), 'd', 'e');
  std::replace(word.begin(), word.end(), 'D', 'e');
  char* end = nullptr;
  const double v = std::strtod(word.c_str(), &end);
  require(end == word.c_str() + word.size(), "accepted word is not a number");
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  write_case(text);

  checking_frontend fe;
  auto ctx = std::make_unique<core::fit_context>();
  ctx->fe = &fe;
  std::ostringstream console;
  const auto read = data::read_data_file(*ctx, data_path(), nullptr, console);
  require(
      read.status == core::run_status::success || read.status == core::run_status::file_rejected,
      "a regular file is accepted or refused");
  if (read.status != core::run_status::success) return 0;

  const int rows = ctx->idat;
  require(rows >= 3 && rows <= core::max_rows, "row limits");
  require(ctx->idatasets >= 1 && ctx->idatasets <= core::max_curves, "curve limits");
  const auto counts = std::span(ctx->id2).first(static_cast<std::size_t>(ctx->idatasets));
  require(std::accumulate(counts.begin(), counts.end(), 0) == rows, "curves cover the rows");
  require(
      std::all_of(counts.begin(), counts.end(), [](int c) { return c >= core::min_curve_rows; }),
      "curve sizes");

  const auto lines = lines_of(text);
  require(lines.size() >= static_cast<std::size_t>(rows), "rows come from lines");
  for (std::size_t k = 0; k < static_cast<std::size_t>(rows); ++k) {
    const std::array<double, 3> values{ctx->substrate[k], ctx->inhibitor[k], ctx->rate[k]};
    require(std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); }),
            "finite values");
    const std::string& line = lines[k];
    require(line.size() <= data::max_line_length, "line length");
    require(std::none_of(line.begin(), line.end(),
                         [](char c) {
                           const auto u = static_cast<unsigned char>(c);
                           return (u < 0x20 && c != '\t' && c != '\r') || u == 0x7f;
                         }),
            "no control byte in an accepted row");
    // The values as the row writes them: three comma-separated fields, or else the
    // first three blank-separated words, none of which may hold a comma.
    static const std::regex comma_row(
        "^[ \t\r]*([^ \t\r,]+)[ \t\r]*,[ \t\r]*([^ \t\r,]+)[ \t\r]*,[ \t\r]*([^ \t\r,]+)"
        "[ \t\r]*");
    std::vector<std::string> w;
    std::smatch m;
    if (std::regex_search(line, m, comma_row)) {
      const std::string rest = m.suffix().str();
      require(rest.empty() || rest.front() != ',' || closing_commas(rest), "no fourth comma field");
      w = {m[1].str(), m[2].str(), m[3].str()};
    } else {
      // operator>> splits at blanks, tabs and CR alike; no other control is left here.
      std::istringstream words(line);
      for (std::string word; w.size() < 3 && words >> word;)
        w.push_back(word);
      require(w.size() == 3, "three values");
      // A third value may be followed by the commas that close a spreadsheet row.
      const auto comma = w[2].find(',');
      if (comma != std::string::npos) {
        std::string rest;
        std::getline(words, rest);
        require(closing_commas(w[2].substr(comma) + rest), "only closing commas after a value");
        w[2].erase(comma);
      }
      require(std::none_of(w.begin(), w.end(),
                           [](const std::string& x) { return x.find(',') != std::string::npos; }),
              "no comma inside a blank-separated value");
    }
    for (std::size_t i = 0; i < 3; ++i)
      require(plain_value(w[i]) == values[i], "value as written");
  }
  return 0;
}
