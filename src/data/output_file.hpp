#pragma once
// A file written whole or not at all. The text goes to a new temporary file in the
// folder of its final name; commit() makes it durable and moves it into place with
// one rename. Until then an earlier file of that name stays as it was, and a file
// that is never committed (a failed or interrupted run) leaves nothing behind. A
// symbolic link at the final name is replaced by the new file, never written
// through; a folder, pipe or device there is refused.
#include <array>
#include <ostream>
#include <streambuf>
#include <string>

namespace inhibra::data {

class output_file : public std::ostream {
 public:
  output_file();
  ~output_file() override;  // discards a file that was not committed
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  // Creates the temporary file for `final_name`. False when it cannot be created
  // or when something other than a regular file or a symbolic link stands at the
  // final name; error() says why.
  [[nodiscard]] bool open(const std::string& final_name);
  [[nodiscard]] bool is_open() const { return buffer_.fd >= 0; }

  // Writes out what is buffered, makes the file durable and renames it into place.
  // False when any write, the flush, the close or the rename failed (error() says
  // why); the temporary file is then removed and an earlier file left untouched.
  [[nodiscard]] bool commit();
  // Removes the temporary file; the final name is not touched.
  void discard();

  // True once a write has failed: the file will not be committed.
  [[nodiscard]] bool failed() const { return buffer_.error != 0 || bad(); }
  // The first failure in the system's words ("No space left on device").
  [[nodiscard]] std::string error() const;
  [[nodiscard]] const std::string& final_name() const { return final_name_; }
  [[nodiscard]] const std::string& temporary_name() const { return temporary_name_; }

 private:
  // A stream buffer on a file descriptor that keeps the first write error.
  struct descriptor_buffer : std::streambuf {
    int fd = -1;
    int error = 0;  // errno of the first failed write
    std::array<char, 16384> space{};

    descriptor_buffer() { empty(); }
    void empty() { setp(space.data(), space.data() + space.size()); }
    bool drain();
    int_type overflow(int_type c) override;
    int sync() override { return drain() ? 0 : -1; }
  };

  void fail(const std::string& what, int error_number);

  descriptor_buffer buffer_;
  std::string final_name_;
  std::string temporary_name_;
  std::string error_;
};

}  // namespace inhibra::data
