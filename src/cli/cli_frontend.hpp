#pragma once
// The person's side of a headless run: boxes become lines on the error stream,
// prefixed by the box title; pauses are skipped; charts go to a callback (written
// to image files, or dropped); window titles become progress lines when wanted.
// Standard output is left to what the command was asked for.
#include <functional>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

#include "core/frontend.hpp"
#include "strings/text.hpp"

namespace inhibra::cli {

class cli_frontend : public core::frontend {
 public:
  using plot_sink = std::function<void(const plotengine::pplot&)>;

  // `err` receives the messages; `lock` serialises lines of runs in parallel.
  cli_frontend(std::ostream& err, std::mutex& lock);
  ~cli_frontend() override;
  cli_frontend(const cli_frontend&) = delete;
  cli_frontend& operator=(const cli_frontend&) = delete;

  // Charts shown during the run go here (none when empty).
  void set_plot_sink(plot_sink sink) { sink_ = std::move(sink); }
  // Progress lines "<label>: computing model #M" on the error stream.
  void set_progress(const std::string& label) { progress_ = strings::printable(label); }
  // Messages name the file they are about: "Warning: <file>: <text>" (when several
  // files are fitted at once). Control characters of the names are shown as \xNN, so
  // that a name never sends an escape sequence to the terminal or breaks a line.
  void set_file_label(const std::string& file) { file_ = strings::printable(file); }

  // The data reader's console lines ("FILE_COLUMN_COUNT - Warning."): each whole
  // line goes to the error stream, after "<file>: " when a file label is set.
  [[nodiscard]] std::ostream& console() { return console_; }

  void message(core::box_kind kind, std::string_view text) override;
  void set_title(std::string_view text) override;
  void idle(int) override {}
  void refresh() override {}
  void show_plot(const plotengine::pplot& plot) override;

 private:
  // Collects characters into lines and hands each finished line on.
  class line_buffer : public std::streambuf {
   public:
    explicit line_buffer(cli_frontend& owner) : owner_(owner) {}
    void finish();  // hands on an unfinished last line

   protected:
    int_type overflow(int_type c) override;

   private:
    cli_frontend& owner_;
    std::string line_;
  };

  void write_line(const std::string& line);
  void console_line(const std::string& line);

  std::ostream& err_;
  std::mutex& lock_;
  plot_sink sink_;
  std::string progress_;
  std::string file_;
  line_buffer console_buffer_{*this};
  std::ostream console_{&console_buffer_};
};

}  // namespace inhibra::cli
